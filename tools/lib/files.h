// Reading and writing the tools' files. A magazine or a project is often
// someone else's download, so the tools take no symbolic link: a folder they
// are given is held open by its descriptor, and everything inside it is
// reached one name at a time without following a link. A path typed on the
// command line is followed as usual up to its last part; the file or folder
// it names, and the folder a written file goes into, must not be links
// either. Only regular files are opened, so a FIFO or a device named like a
// source never blocks a tool, and reads stop at a limit, so a huge file never
// swallows the memory. One job a file: the walk by descriptor
// (folderwalk.cpp), opening and reading (files.cpp), a zip as a folder
// (zippedfolder.cpp), writing (writing.cpp).
#pragma once

#include <sys/types.h>

#include <compare>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "common/files.h"
#include "report.h"

namespace orbex {

class ZipFolder;

// More than any source or magazine file needs; pictures, fonts and archives
// are far smaller.
constexpr std::size_t MAX_INPUT_BYTES = 64u << 20;

enum class ReadResult { Ok, Missing, NotRegular, Link, Outside, TooBig, Failed };

// Which file a name reaches, so that a file named twice is read once.
struct FileId {
    dev_t device = 0;
    ino_t inode = 0;
    auto operator<=>(const FileId &) const = default;
};

// What a read found; where is the part of the name the result is about (the
// linked folder on the way, or the whole name).
struct FileRead {
    ReadResult result = ReadResult::Failed;
    std::uint64_t size = 0; // the file's size, also when it is too big
    FileId id;
    std::string where;
};

enum class ReadMode {
    Whole, // the whole file, or TooBig when it is larger than the limit
    Head,  // the first bytes up to the limit, whatever the size
};

class Folder {
  public:
    Folder() = default;
    ~Folder();
    Folder(Folder &&other) noexcept;
    Folder &operator=(Folder &&other) noexcept;
    Folder(const Folder &) = delete;
    Folder &operator=(const Folder &) = delete;

    // A folder named on the command line: the path up to it is followed, the
    // folder itself must not be a link. why gets "PATH: reason".
    static bool given(const std::string &path, Folder &folder, std::string &why);
    // The same, made when missing (its parent must exist).
    static bool made(const std::string &path, Folder &folder, std::string &why);
    // The folder a file named on the command line lies in, followed as the
    // system follows it, and the file's name in it.
    static bool holding(const std::string &path, Folder &folder, std::string &name, std::string &why);
    // The folder a file named on the command line is to be written into, as
    // given() takes it, and the file's name in it.
    static bool receiving(const std::string &path, Folder &folder, std::string &name, std::string &why);
    // A zip magazine named on the command line (not a link itself), checked
    // whole as the viewer checks it and then read as its folder: only read()
    // reaches into it, nothing is ever written into it.
    static bool zipped(const std::string &path, Folder &folder, std::string &why);
    // Whether path names a regular file (followed as the system follows it),
    // the one thing the magazine folder's commands take as a zip.
    static bool isFile(const std::string &path);

    bool isOpen() const { return fd >= 0 || zip != nullptr; }
    // The folder's path as given, and a name below it, for messages.
    const std::string &path() const { return shown; }
    std::string pathOf(const std::string &relative) const;
    // For the viewer's own code, which works in its magazine folder; -1 for
    // a zip.
    int descriptor() const { return fd; }

    // The folder at relative ("a/b") below this one, made when missing if
    // create is true. Neither a link nor ".." is followed on the way.
    bool sub(const std::string &relative, Folder &folder, bool create, std::string &why) const;
    // A regular file below this folder, read as mode says; bytes stay empty
    // unless the result is Ok.
    FileRead read(const std::string &relative, std::vector<std::uint8_t> &bytes, std::size_t limit = MAX_INPUT_BYTES,
                  ReadMode mode = ReadMode::Whole) const;
    // The regular file at relative as a stream, reached as read() reaches
    // it; nullptr when read() would not read it. For the viewer's own
    // readers when a tool runs them on the folder (export).
    UniqueFile stream(const std::string &relative) const;
    // "PATH: missing" and the like, for what read() found.
    std::string problem(const FileRead &read, std::size_t limit = MAX_INPUT_BYTES) const;
    // Writes bytes as the file at relative: into a new file beside it, which
    // then takes its place, so a failed write keeps the old file and nothing
    // is ever written through a link or another name of the old file. Only a
    // regular file (or nothing) may stand in its place.
    bool write(const std::string &relative, const std::vector<std::uint8_t> &bytes, std::string &why) const;
    // The names of the folder's entries, without "." and "..", unsorted.
    bool list(std::vector<std::string> &names) const;
    // A zipped folder's files (paths below it) with their sizes, in name
    // order; empty for a folder on the disk.
    std::vector<std::pair<std::string, std::uint64_t>> zippedFiles() const;
    bool isZip() const { return zip != nullptr; }
    // Removes everything inside the folder, never through a link.
    bool clear(std::string &why) const;

  private:
    Folder(int fd, std::string shown) : fd(fd), shown(std::move(shown)) {}
    static bool named(const std::string &path, bool create, Folder &folder, std::string &why);
    FileRead readZipped(const std::string &relative, std::vector<std::uint8_t> &bytes, std::size_t limit,
                        ReadMode mode) const;
    int fd = -1;
    std::string shown;
    std::shared_ptr<const ZipFolder> zip;
};

// Folder::given with the problem put into report; true when opened.
bool givenFolder(const std::string &path, Folder &folder, Report &report);

// For files named on the command line (the folder as Folder::holding takes
// it): the whole file, when it is a regular file of at most limit bytes.
// size gets the file's size even when it is too big (0 otherwise).
ReadResult readFileBytes(const std::string &path, std::vector<std::uint8_t> &bytes, std::size_t limit = MAX_INPUT_BYTES,
                         std::uint64_t *size = nullptr);
// A message for a failed read: "PATH: missing" and the like.
std::string readProblem(const std::string &path, ReadResult result, std::size_t limit = MAX_INPUT_BYTES);
// readFileBytes with the problem put into report; true when read.
bool readInput(const std::string &path, std::vector<std::uint8_t> &bytes, Report &report,
               std::size_t limit = MAX_INPUT_BYTES);

// Writes bytes as the file at path, through Folder::receiving and
// Folder::write; why gets the reason when it cannot.
bool writeFileBytes(const std::string &path, const std::vector<std::uint8_t> &bytes, std::string &why);
// writeFileBytes with "PATH: cannot write (reason)" put into report.
bool writeOutput(const std::string &path, const std::vector<std::uint8_t> &bytes, Report &report);

// Short forms kept for the tests and the callers that need no reason.
bool readBytes(const std::string &path, std::vector<std::uint8_t> &bytes);
bool writeBytes(const std::string &path, const std::vector<std::uint8_t> &bytes);

} // namespace orbex
