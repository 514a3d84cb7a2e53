#include "folderwalk.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>

namespace orbex::folderwalk {

// The names of a path below a folder; false for an absolute path or one
// with "..", which would lead out of it.
bool namesOf(const std::string &relative, std::vector<std::string> &names) {
    names.clear();
    if (!relative.empty() && relative[0] == '/')
        return false;
    std::size_t start = 0;
    while (start <= relative.size()) {
        std::size_t end = relative.find('/', start);
        if (end == std::string::npos)
            end = relative.size();
        std::string name = relative.substr(start, end - start);
        if (name == "..")
            return false;
        if (!name.empty() && name != ".")
            names.push_back(name);
        start = end + 1;
    }
    return true;
}

std::string joined(const std::vector<std::string> &names, std::size_t count) {
    std::string path;
    for (std::size_t i = 0; i < count && i < names.size(); ++i)
        path += (i == 0 ? "" : "/") + names[i];
    return path;
}

// What stands at name in folder dir, without following a link: Ok when it
// is a folder or a regular file as wanted.
ReadResult classify(int dir, const std::string &name, bool wantFolder) {
    struct stat st {};
    if (::fstatat(dir, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        return errno == ENOENT || errno == ENOTDIR ? ReadResult::Missing : ReadResult::Failed;
    if (S_ISLNK(st.st_mode))
        return ReadResult::Link;
    if (wantFolder ? !S_ISDIR(st.st_mode) : !S_ISREG(st.st_mode))
        return ReadResult::NotRegular;
    return ReadResult::Ok;
}

// Why something that is there could not be opened as wanted.
ReadResult openFailure(int dir, const std::string &name, bool wantFolder) {
    int error = errno;
    ReadResult result = classify(dir, name, wantFolder);
    errno = error;
    return result == ReadResult::Ok ? ReadResult::Failed : result;
}

// The folder name in dir, never through a link; made first when asked.
Descriptor openFolderAt(int dir, const std::string &name, bool create, ReadResult &result) {
    Descriptor fd(::openat(dir, name.c_str(), FOLDER_FLAGS | O_NOFOLLOW));
    if (fd.get() < 0 && create && errno == ENOENT &&
        (::mkdirat(dir, name.c_str(), FOLDER_MODE) == 0 || errno == EEXIST))
        fd.reset(::openat(dir, name.c_str(), FOLDER_FLAGS | O_NOFOLLOW));
    struct stat st {};
    if (fd.get() >= 0 && (::fstat(fd.get(), &st) != 0 || !S_ISDIR(st.st_mode)))
        fd.reset();
    result = fd.get() >= 0 ? ReadResult::Ok : openFailure(dir, name, true);
    return fd;
}

std::string folderProblem(ReadResult result, int error) {
    switch (result) {
    case ReadResult::Missing:
        return "missing";
    case ReadResult::NotRegular:
        return "not a folder";
    case ReadResult::Link:
        return LINK_REFUSED;
    case ReadResult::Outside:
        return "outside the folder it was given";
    default:
        return std::strerror(error);
    }
}

// A path's folder part and its last name: "a/b/c" gives "a/b" and "c",
// "c" gives "." and "c", "/c" gives "/" and "c".
void splitPath(const std::string &path, std::string &parent, std::string &last) {
    std::size_t slash = path.rfind('/');
    parent = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
    last = slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string withoutTrailingSlashes(std::string path) {
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path;
}

// Reads fd to its end or to limit bytes.
bool readAll(int fd, std::vector<std::uint8_t> &bytes, std::size_t limit) {
    std::uint8_t buffer[65536];
    while (bytes.size() < limit) {
        ssize_t n = ::read(fd, buffer, std::min(sizeof buffer, limit - bytes.size()));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        if (n == 0)
            break;
        bytes.insert(bytes.end(), buffer, buffer + n);
    }
    return true;
}

bool writeAll(int fd, const std::vector<std::uint8_t> &bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

} // namespace orbex::folderwalk
