// How the tools reach what lies in a folder without following a link: one
// name at a time, by descriptor. Shared by the reading (files.cpp), the
// zipped (zippedfolder.cpp) and the writing (writing.cpp) of a Folder.
#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "files.h"

namespace orbex::folderwalk {

// A folder is held only to reach what is inside it; O_PATH needs no right
// to read it.
#ifdef O_PATH
inline constexpr int FOLDER_FLAGS = O_PATH | O_DIRECTORY | O_CLOEXEC;
#else
inline constexpr int FOLDER_FLAGS = O_RDONLY | O_DIRECTORY | O_CLOEXEC;
#endif
inline constexpr unsigned FOLDER_MODE = 0755;
inline constexpr unsigned FILE_MODE = 0644;

inline const char *const LINK_REFUSED = "a symbolic link, which orbex-tool does not follow";

// A descriptor that closes itself.
class Descriptor {
  public:
    explicit Descriptor(int fd = -1) : fd(fd) {}
    ~Descriptor() { reset(); }
    Descriptor(Descriptor &&other) noexcept : fd(std::exchange(other.fd, -1)) {}
    Descriptor &operator=(Descriptor &&other) noexcept {
        if (this != &other) {
            reset();
            fd = std::exchange(other.fd, -1);
        }
        return *this;
    }
    int get() const { return fd; }
    int release() { return std::exchange(fd, -1); }
    void reset(int to = -1) {
        if (fd >= 0)
            ::close(fd);
        fd = to;
    }

  private:
    int fd;
};

// The names of a path below a folder; false for an absolute path or one
// with "..", which would lead out of it.
bool namesOf(const std::string &relative, std::vector<std::string> &names);
// The first count names joined by "/", for messages.
std::string joined(const std::vector<std::string> &names, std::size_t count);

// What stands at name in folder dir, without following a link: Ok when it
// is a folder or a regular file as wanted.
ReadResult classify(int dir, const std::string &name, bool wantFolder);

// Why something that is there could not be opened as wanted.
ReadResult openFailure(int dir, const std::string &name, bool wantFolder);

// The folder name in dir, never through a link; made first when asked.
Descriptor openFolderAt(int dir, const std::string &name, bool create, ReadResult &result);

// Why a folder on the way could not be opened, for a message.
std::string folderProblem(ReadResult result, int error);

// A path's folder part and its last name: "a/b/c" gives "a/b" and "c",
// "c" gives "." and "c", "/c" gives "/" and "c".
void splitPath(const std::string &path, std::string &parent, std::string &last);

// "a/b//" as "a/b"; "/" stays.
std::string withoutTrailingSlashes(std::string path);

// Reads fd to its end or to limit bytes.
bool readAll(int fd, std::vector<std::uint8_t> &bytes, std::size_t limit);
// Writes all of bytes to fd.
bool writeAll(int fd, const std::vector<std::uint8_t> &bytes);

} // namespace orbex::folderwalk
