// A zip magazine as a Folder: checked whole as the viewer checks it, then
// read through the viewer's own zip folder; never written.
#include "files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <utility>

#include "common/zipfolder.h"
#include "folderwalk.h"

namespace orbex {

using namespace folderwalk;

bool Folder::zipped(const std::string &path, Folder &folder, std::string &why) {
    Folder parent;
    std::string name;
    if (!holding(path, parent, name, why))
        return false;
    ReadResult kind = classify(parent.fd, name, false);
    if (kind != ReadResult::Ok && kind != ReadResult::Failed) {
        why = readProblem(path, kind);
        return false;
    }
    int zipFd = ::openat(parent.fd, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (zipFd < 0) {
        why = readProblem(path, openFailure(parent.fd, name, false));
        return false;
    }
    std::unique_ptr<ZipFolder> opened = ZipFolder::open(zipFd, path, why);
    if (opened == nullptr)
        return false;
    folder = Folder(-1, path);
    folder.zip = std::move(opened);
    return true;
}

std::vector<std::pair<std::string, std::uint64_t>> Folder::zippedFiles() const {
    return zip != nullptr ? zip->fileSizes() : std::vector<std::pair<std::string, std::uint64_t>>();
}

FileRead Folder::readZipped(const std::string &relative, std::vector<std::uint8_t> &bytes, std::size_t limit,
                            ReadMode mode) const {
    FileRead found;
    found.where = relative;
    bytes.clear();
    ZipFolder::Found entry = zip->find(relative);
    switch (entry.kind) {
    case ZipFolder::Kind::Outside:
        found.result = ReadResult::Outside;
        return found;
    case ZipFolder::Kind::Missing:
        found.result = ReadResult::Missing;
        return found;
    case ZipFolder::Kind::Folder:
        found.result = ReadResult::NotRegular;
        return found;
    case ZipFolder::Kind::File:
        break;
    }
    found.size = entry.size;
    // An entry is one file however many names reach it.
    found.id = {0, static_cast<ino_t>(entry.entry + 1)};
    if (mode == ReadMode::Whole && found.size > limit) {
        found.result = ReadResult::TooBig;
        return found;
    }
    UniqueFile file = zip->openFile(relative);
    bytes.resize(static_cast<std::size_t>(std::min<std::uint64_t>(found.size, limit)));
    if (file == nullptr || std::fread(bytes.data(), 1, bytes.size(), file.get()) != bytes.size()) {
        bytes.clear();
        found.result = ReadResult::Failed;
        return found;
    }
    found.result = ReadResult::Ok;
    return found;
}

} // namespace orbex
