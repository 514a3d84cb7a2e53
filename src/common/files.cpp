#include "common/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace orbex {

namespace {

constexpr char LINK_IN_PLACE[] = "a symbolic link is in its place";

// The mounted folder's opener, or nullptr for the disk.
// Reset by unmountZip(), through setMountedFolder.
MountedOpen mountedOpen = nullptr;
// Where files may still be arriving, or nullptr. Set by the backend that
// has them: Reset by shutdownBackend().
FileWait fileWait = nullptr;

bool isRelative(const char *name) { return name[0] != '/'; }

int failWith(std::string &why, const char *reason) {
    why = reason;
    return -1;
}

// Leaves a descriptor blocking again once it is known to be a regular file.
void makeBlocking(int fd) { ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK); }

} // namespace

int openRegularDescriptor(const char *name, int flags) {
    if (name == nullptr || (mountedOpen != nullptr && isRelative(name)))
        return -1;
    if (fileWait != nullptr)
        fileWait(name);
    // O_NONBLOCK keeps a FIFO from blocking the open; only regular files are
    // then taken, and blocking reads and writes are restored for them.
    int fd = ::open(name, flags | O_NONBLOCK | O_CLOEXEC, 0600);
    if (fd < 0)
        return -1;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return -1;
    }
    makeBlocking(fd);
    return fd;
}

int openRegularForWriting(const char *name, int flags, std::string &why, unsigned mode) {
    if (name == nullptr || *name == 0)
        return failWith(why, "no file name");
    if (mountedOpen != nullptr && isRelative(name))
        return failWith(why, "the magazine is a zip file, which is only read");
    // A device is not even opened: opening some has effects of its own.
    struct stat st {};
    if (::lstat(name, &st) == 0) {
        if (S_ISLNK(st.st_mode))
            return failWith(why, LINK_IN_PLACE);
        if (!S_ISREG(st.st_mode))
            return failWith(why, "it is not a regular file");
    }
    // O_NOFOLLOW closes the gap between that look and the open; emptying
    // waits until the file is known to be a regular one.
    int fd = ::open(name, (flags & ~O_TRUNC) | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, mode);
    if (fd < 0) {
        int error = errno;
        if (::lstat(name, &st) == 0 && S_ISLNK(st.st_mode))
            return failWith(why, LINK_IN_PLACE);
        return failWith(why, std::strerror(error));
    }
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return failWith(why, "it is not a regular file");
    }
    if ((flags & O_TRUNC) != 0 && ::ftruncate(fd, 0) != 0) {
        int error = errno;
        ::close(fd);
        return failWith(why, std::strerror(error));
    }
    makeBlocking(fd);
    return fd;
}

bool makeFolder(const std::string &path, unsigned mode, bool followLink, std::string &why) {
    // mkdir never follows a link in the folder's place: it fails with EEXIST.
    if (::mkdir(path.c_str(), mode) == 0)
        return true;
    int error = errno;
    struct stat st {};
    if (error == EEXIST) {
        if ((followLink ? ::stat(path.c_str(), &st) : ::lstat(path.c_str(), &st)) == 0 && S_ISDIR(st.st_mode))
            return true;
        bool isLink = !followLink && ::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
        failWith(why, isLink ? LINK_IN_PLACE : "it is not a folder");
        return false;
    }
    failWith(why, std::strerror(error));
    return false;
}

UniqueFile streamOf(int fd, const char *mode) {
    if (fd < 0)
        return nullptr;
    std::FILE *file = ::fdopen(fd, mode);
    if (file == nullptr)
        ::close(fd);
    return UniqueFile(file);
}

UniqueFile openRegularFile(const char *name) {
    if (name != nullptr && mountedOpen != nullptr && isRelative(name))
        return mountedOpen(name);
    return streamOf(openRegularDescriptor(name, O_RDONLY), "rb");
}

void setMountedFolder(MountedOpen open) { mountedOpen = open; }

void setFileWait(FileWait wait) { fileWait = wait; }

} // namespace orbex
