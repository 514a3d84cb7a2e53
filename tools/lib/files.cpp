#include "files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <utility>

#include "common/files.h"

namespace orbex {

namespace {

ReadResult openForReading(const std::string &path, UniqueFile &file, std::uint64_t &size) {
    file.reset();
    size = 0;
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return errno == ENOENT || errno == ENOTDIR ? ReadResult::Missing : ReadResult::Failed;
    if (!S_ISREG(st.st_mode))
        return ReadResult::NotRegular;
    // The viewer's own opener checks again on the open file, so a FIFO put in
    // its place meanwhile cannot block us either.
    file = openRegularFile(path.c_str());
    if (file == nullptr)
        return ReadResult::NotRegular;
    if (::fstat(::fileno(file.get()), &st) != 0) {
        file.reset();
        return ReadResult::Failed;
    }
    size = static_cast<std::uint64_t>(st.st_size);
    return ReadResult::Ok;
}

ReadResult readUpTo(UniqueFile file, std::vector<std::uint8_t> &bytes, std::size_t limit) {
    bytes.clear();
    std::uint8_t buffer[65536];
    while (bytes.size() < limit) {
        std::size_t want = std::min(sizeof buffer, limit - bytes.size());
        std::size_t n = std::fread(buffer, 1, want, file.get());
        bytes.insert(bytes.end(), buffer, buffer + n);
        if (n < want)
            break;
    }
    return std::ferror(file.get()) != 0 ? ReadResult::Failed : ReadResult::Ok;
}

} // namespace

ReadResult readFileBytes(const std::string &path, std::vector<std::uint8_t> &bytes, std::size_t limit,
                         std::uint64_t *size) {
    UniqueFile file;
    std::uint64_t fileSize = 0;
    ReadResult result = openForReading(path, file, fileSize);
    if (size != nullptr)
        *size = fileSize;
    if (result != ReadResult::Ok)
        return result;
    if (fileSize > limit)
        return ReadResult::TooBig;
    // A file that grows while it is read is still refused at the limit.
    result = readUpTo(std::move(file), bytes, limit + 1);
    if (result == ReadResult::Ok && bytes.size() > limit) {
        bytes.clear();
        return ReadResult::TooBig;
    }
    return result;
}

ReadResult readFileHead(const std::string &path, std::vector<std::uint8_t> &bytes, std::size_t limit,
                        std::uint64_t &size) {
    UniqueFile file;
    ReadResult result = openForReading(path, file, size);
    if (result != ReadResult::Ok)
        return result;
    return readUpTo(std::move(file), bytes, limit);
}

std::string readProblem(const std::string &path, ReadResult result, std::size_t limit) {
    switch (result) {
    case ReadResult::Ok:
        return path + ": read";
    case ReadResult::Missing:
        return path + ": missing";
    case ReadResult::NotRegular:
        return path + ": not a regular file";
    case ReadResult::TooBig:
        return path + ": larger than " + std::to_string(limit) + " bytes";
    case ReadResult::Failed:
        break;
    }
    return path + ": cannot read";
}

bool readInput(const std::string &path, std::vector<std::uint8_t> &bytes, Report &report, std::size_t limit) {
    ReadResult result = readFileBytes(path, bytes, limit);
    if (result != ReadResult::Ok)
        report.error(readProblem(path, result, limit));
    return result == ReadResult::Ok;
}

bool writeFileBytes(const std::string &path, const std::vector<std::uint8_t> &bytes) {
    int fd = openRegularForWriting(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, nullptr, 0644);
    if (fd < 0)
        return false;
    std::size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            ::close(fd);
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return ::close(fd) == 0;
}

bool writeOutput(const std::string &path, const std::vector<std::uint8_t> &bytes, Report &report) {
    if (writeFileBytes(path, bytes))
        return true;
    report.error(path + ": cannot write");
    return false;
}

bool readBytes(const std::string &path, std::vector<std::uint8_t> &bytes) {
    return readFileBytes(path, bytes) == ReadResult::Ok;
}

bool writeBytes(const std::string &path, const std::vector<std::uint8_t> &bytes) { return writeFileBytes(path, bytes); }

bool isFolder(const std::string &path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

} // namespace orbex
