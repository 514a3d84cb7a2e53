// Opening files as the viewer may: only regular files, never blocking on a
// FIFO or a device that happens to carry a file's name, and never writing
// through a symbolic link that a downloaded magazine may hold.
#pragma once

#include <cstdio>
#include <memory>
#include <string>

namespace orbex {

// A descriptor of a regular file opened with these open(2) flags, or -1. The
// open never blocks; a file it creates gets mode 0600 before the umask.
// Reading follows symbolic links: the magazine is read as it is. A file of
// a mounted folder has no descriptor: a relative name gives -1 then.
int openRegularDescriptor(const char *name, int flags);
// For every file the viewer or the port writes. flags are O_WRONLY with
// O_CREAT, O_APPEND, O_TRUNC or O_EXCL. A symbolic link in the file's place
// is not followed and anything but a regular file is refused, before
// anything is created, emptied or written; a created file gets mode before
// the umask. While a folder is mounted, a relative name is refused: the
// mounted folder is read-only. -1 on failure, with the reason for a line on
// standard error in *why when why is given.
int openRegularForWriting(const char *name, int flags, std::string &why, unsigned mode = 0600);
// Makes the folder path when it is missing; its parent must exist. An
// existing folder is taken only if it is a real folder, also when a symbolic
// link stands in its place and followLink is false. False, with the reason
// in *why when why is given, when there is no such folder afterwards.
bool makeFolder(const std::string &path, unsigned mode, bool followLink, std::string &why);

struct FileCloser {
    void operator()(std::FILE *file) const { std::fclose(file); }
};
// A C stream that closes itself.
using UniqueFile = std::unique_ptr<std::FILE, FileCloser>;

// A regular file of plain bytes for reading, or nullptr. Every file the
// viewer reads is opened here; while a folder is mounted, a relative name is
// read from it.
UniqueFile openRegularFile(const char *name);
// A stream over a descriptor from openRegularDescriptor or
// openRegularForWriting (mode as for fdopen); the descriptor is closed also
// when no stream can be made.
UniqueFile streamOf(int fd, const char *mode);

// A read-only folder in the working folder's place (a zip magazine): while
// one is set, every relative name is read through it and never from the
// disk. Set by mountZip; nullptr puts the working folder back.
using MountedOpen = UniqueFile (*)(const char *relativeName);
void setMountedFolder(MountedOpen open);

// A place whose files may still be on their way when the viewer opens
// them (the browser's, where the magazine arrives over the network while
// the viewer runs): called with the name before every open for reading, it
// returns once the file is there or known missing, as a slow disk would.
// Set by the browser backend; nullptr, the default, for none.
using FileWait = void (*)(const char *name);
void setFileWait(FileWait wait);

} // namespace orbex
