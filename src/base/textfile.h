// Text-mode files as the original's C library made them on Windows: on
// reading, a carriage return is dropped and the byte after it taken in its
// place, and a byte 26 ends the file; on writing, a line feed becomes 13 10.
// The archive, the font, the configuration file, the log and "save.txt" go
// through here; pictures and modules are read as plain bytes.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>

#include "common/files.h"

namespace orbex {

// End of file as getc reports it; callers that store it keep its low byte.
constexpr int TEXT_EOF = EOF;

class TextFileReader {
  public:
    // Opens name for reading ("r"); isOpen tells whether it worked. Only
    // regular files open, so a device or a pipe never blocks the viewer.
    explicit TextFileReader(const char *name);

    bool isOpen() const { return file != nullptr; }
    // The next byte as 0..255, or TEXT_EOF at the end (and ever after).
    int getByte();

  private:
    UniqueFile file;
    bool ended = false;
};

enum class TextFileMode { Truncate, Append };

class TextFileWriter {
  public:
    // Opens name for writing ("w" truncates, "a" appends); a created file
    // gets mode 0600 before the umask. A symbolic link or anything but a
    // regular file in name's place is not opened.
    TextFileWriter(const char *name, TextFileMode mode);
    // A writer with no file: nothing opens, nothing is written.
    TextFileWriter() = default;

    bool isOpen() const { return file != nullptr; }
    // Why the file did not open or a write failed, for standard error.
    const std::string &failure() const { return reason; }
    // Writes n bytes, each line feed as 13 10; false when a write failed.
    bool write(const void *data, std::size_t n);
    // Closes the file; false when anything written did not reach it.
    bool close();

  private:
    // Before the file: the open fills it in.
    std::string reason;
    UniqueFile file;
};

} // namespace orbex
