#include "shell/textfile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace orbex {

std::FILE *openRegularFile(const char *name) {
    // O_NONBLOCK keeps a FIFO from blocking the open; only regular files are
    // then taken.
    int fd = ::open(name, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return nullptr;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return nullptr;
    }
    int flags = ::fcntl(fd, F_GETFL);
    ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    std::FILE *file = ::fdopen(fd, "rb");
    if (file == nullptr)
        ::close(fd);
    return file;
}

TextFileReader::TextFileReader(const char *name) : pFile(openRegularFile(name)) {}

TextFileReader::~TextFileReader() {
    if (pFile != nullptr)
        std::fclose(pFile);
}

int TextFileReader::getByte() {
    if (pFile == nullptr || bEnded)
        return TEXT_EOF;
    int c = std::getc(pFile);
    // A carriage return is dropped and the byte after it taken unchanged,
    // even a second carriage return.
    if (c == '\r')
        c = std::getc(pFile);
    if (c == EOF || c == 26) {
        bEnded = true;
        return TEXT_EOF;
    }
    return c;
}

TextFileWriter::TextFileWriter(const char *name, TextFileMode mode) {
    // As for reading: a FIFO or a device under the file's name must not block
    // the viewer, so only regular files are written.
    int flags = O_WRONLY | O_CREAT | O_CLOEXEC | O_NONBLOCK | (mode == TextFileMode::Append ? O_APPEND : O_TRUNC);
    int fd = ::open(name, flags, 0600);
    if (fd < 0)
        return;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    pFile = ::fdopen(fd, mode == TextFileMode::Append ? "ab" : "wb");
    if (pFile == nullptr)
        ::close(fd);
}

TextFileWriter::~TextFileWriter() {
    if (pFile != nullptr)
        std::fclose(pFile);
}

bool TextFileWriter::write(const void *data, std::size_t n) {
    if (pFile == nullptr)
        return false;
    const auto *bytes = static_cast<const unsigned char *>(data);
    bool ok = true;
    for (std::size_t i = 0; i < n; ++i) {
        if (bytes[i] == '\n' && std::putc('\r', pFile) == EOF)
            ok = false;
        if (std::putc(bytes[i], pFile) == EOF)
            ok = false;
    }
    return ok;
}

} // namespace orbex
