#include "platform/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace orbex {

int openRegularDescriptor(const char *name, int flags) {
    if (name == nullptr)
        return -1;
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
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}

UniqueFile streamOf(int fd, const char *mode) {
    if (fd < 0)
        return nullptr;
    std::FILE *file = ::fdopen(fd, mode);
    if (file == nullptr)
        ::close(fd);
    return UniqueFile(file);
}

UniqueFile openRegularFile(const char *name) { return streamOf(openRegularDescriptor(name, O_RDONLY), "rb"); }

} // namespace orbex
