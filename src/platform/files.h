// Opening files as the viewer may: only regular files, never blocking on a
// FIFO or a device that happens to carry a file's name.
#pragma once

#include <cstdio>
#include <memory>

namespace orbex {

// A descriptor of a regular file opened with these open(2) flags, or -1. The
// open never blocks; a file it creates gets mode 0600 before the umask.
int openRegularDescriptor(const char *name, int flags);
struct FileCloser {
    void operator()(std::FILE *file) const { std::fclose(file); }
};
// A C stream that closes itself.
using UniqueFile = std::unique_ptr<std::FILE, FileCloser>;

// A regular file of plain bytes for reading, or nullptr.
UniqueFile openRegularFile(const char *name);
// A stream over a descriptor from openRegularDescriptor (mode as for
// fdopen); the descriptor is closed also when no stream can be made.
UniqueFile streamOf(int fd, const char *mode);

} // namespace orbex
