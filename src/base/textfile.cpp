#include "base/textfile.h"

#include <fcntl.h>

#include <cerrno>
#include <cstring>

namespace orbex {

TextFileReader::TextFileReader(const char *name) : file(openRegularFile(name)) {}

int TextFileReader::getByte() {
    if (file == nullptr || ended)
        return TEXT_EOF;
    int c = std::getc(file.get());
    // A carriage return is dropped and the byte after it taken unchanged,
    // even a second carriage return.
    if (c == '\r')
        c = std::getc(file.get());
    if (c == EOF || c == 26) {
        ended = true;
        return TEXT_EOF;
    }
    return c;
}

// As for reading: a FIFO or a device under the file's name must not block the
// viewer, so only regular files are written; and a link a magazine holds
// must not lead the viewer's writing out of its folder.
TextFileWriter::TextFileWriter(const char *name, TextFileMode mode)
    : file(streamOf(
          openRegularForWriting(name, O_WRONLY | O_CREAT | (mode == TextFileMode::Append ? O_APPEND : O_TRUNC), reason),
          mode == TextFileMode::Append ? "ab" : "wb")) {
    if (file == nullptr && reason.empty())
        reason = std::strerror(errno);
}

bool TextFileWriter::write(const void *data, std::size_t n) {
    if (file == nullptr)
        return false;
    const auto *bytes = static_cast<const unsigned char *>(data);
    bool ok = true;
    for (std::size_t i = 0; i < n; ++i) {
        if (bytes[i] == '\n' && std::putc('\r', file.get()) == EOF)
            ok = false;
        if (std::putc(bytes[i], file.get()) == EOF)
            ok = false;
    }
    if (!ok && reason.empty())
        reason = std::strerror(errno);
    return ok;
}

bool TextFileWriter::close() {
    if (file == nullptr)
        return false;
    bool ok = reason.empty();
    if (std::fclose(file.release()) != 0) {
        if (ok)
            reason = std::strerror(errno);
        ok = false;
    }
    return ok;
}

} // namespace orbex
