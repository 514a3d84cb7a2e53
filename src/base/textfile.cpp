#include "base/textfile.h"

#include <fcntl.h>

namespace orbex {

TextFileReader::TextFileReader(const char *name) : pFile(openRegularFile(name)) {}

int TextFileReader::getByte() {
    if (pFile == nullptr || bEnded)
        return TEXT_EOF;
    int c = std::getc(pFile.get());
    // A carriage return is dropped and the byte after it taken unchanged,
    // even a second carriage return.
    if (c == '\r')
        c = std::getc(pFile.get());
    if (c == EOF || c == 26) {
        bEnded = true;
        return TEXT_EOF;
    }
    return c;
}

// As for reading: a FIFO or a device under the file's name must not block the
// viewer, so only regular files are written.
TextFileWriter::TextFileWriter(const char *name, TextFileMode mode)
    : pFile(streamOf(
          openRegularDescriptor(name, O_WRONLY | O_CREAT | (mode == TextFileMode::Append ? O_APPEND : O_TRUNC)),
          mode == TextFileMode::Append ? "ab" : "wb")) {}

bool TextFileWriter::write(const void *data, std::size_t n) {
    if (pFile == nullptr)
        return false;
    const auto *bytes = static_cast<const unsigned char *>(data);
    bool ok = true;
    for (std::size_t i = 0; i < n; ++i) {
        if (bytes[i] == '\n' && std::putc('\r', pFile.get()) == EOF)
            ok = false;
        if (std::putc(bytes[i], pFile.get()) == EOF)
            ok = false;
    }
    return ok;
}

} // namespace orbex
