// A Folder opened and read, never through a link (folderwalk.h); the one
// reading of files named on the command line.
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

namespace {

// Opens the folder given as it is named, the last name never through a link.
bool openGiven(const std::string &path, bool create, Descriptor &fd, std::string &why) {
    std::string folder = withoutTrailingSlashes(path);
    if (folder.empty()) {
        why = "\"\": no folder named";
        return false;
    }
    std::string parent, last;
    splitPath(folder, parent, last);
    if (folder == "/" || last == "." || last == "..") {
        // Names that are never links.
        fd.reset(::open(folder.c_str(), FOLDER_FLAGS));
        if (fd.get() < 0)
            why = folder + ": " + folderProblem(errno == ENOENT ? ReadResult::Missing : ReadResult::Failed, errno);
        return fd.get() >= 0;
    }
    Descriptor up(::open(parent.c_str(), FOLDER_FLAGS));
    if (up.get() < 0) {
        why = folder + ": " +
              folderProblem(errno == ENOENT || errno == ENOTDIR ? ReadResult::Missing : ReadResult::Failed, errno);
        return false;
    }
    ReadResult result = ReadResult::Failed;
    fd = openFolderAt(up.get(), last, create, result);
    if (fd.get() < 0)
        why = folder + ": " + folderProblem(result, errno);
    return fd.get() >= 0;
}

} // namespace

Folder::~Folder() {
    if (fd >= 0)
        ::close(fd);
}

Folder::Folder(Folder &&other) noexcept
    : fd(std::exchange(other.fd, -1)), shown(std::move(other.shown)), zip(std::move(other.zip)) {}

Folder &Folder::operator=(Folder &&other) noexcept {
    if (this != &other) {
        if (fd >= 0)
            ::close(fd);
        fd = std::exchange(other.fd, -1);
        shown = std::move(other.shown);
        zip = std::move(other.zip);
    }
    return *this;
}

bool Folder::named(const std::string &path, bool create, Folder &folder, std::string &why) {
    Descriptor fd;
    if (!openGiven(path, create, fd, why))
        return false;
    folder = Folder(fd.release(), withoutTrailingSlashes(path));
    return true;
}

bool Folder::given(const std::string &path, Folder &folder, std::string &why) {
    return named(path, false, folder, why);
}

bool Folder::made(const std::string &path, Folder &folder, std::string &why) { return named(path, true, folder, why); }

bool Folder::holding(const std::string &path, Folder &folder, std::string &name, std::string &why) {
    std::string parent;
    splitPath(path, parent, name);
    Descriptor fd(::open(parent.c_str(), FOLDER_FLAGS));
    if (fd.get() < 0) {
        why = path + ": " + (errno == ENOENT || errno == ENOTDIR ? "missing" : std::strerror(errno));
        return false;
    }
    folder = Folder(fd.release(), parent);
    return true;
}

bool Folder::isFile(const std::string &path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool Folder::receiving(const std::string &path, Folder &folder, std::string &name, std::string &why) {
    std::string parent;
    splitPath(path, parent, name);
    return given(parent, folder, why);
}

std::string Folder::pathOf(const std::string &relative) const {
    if (relative.empty())
        return shown;
    return shown == "." ? relative : shown == "/" ? "/" + relative : shown + "/" + relative;
}

bool Folder::sub(const std::string &relative, Folder &folder, bool create, std::string &why) const {
    if (zip != nullptr) {
        why = pathOf(relative) + ": inside a zip file, which orbex-tool only reads";
        return false;
    }
    std::vector<std::string> names;
    if (!namesOf(relative, names)) {
        why = pathOf(relative) + ": " + folderProblem(ReadResult::Outside, 0);
        return false;
    }
    Descriptor current(::fcntl(fd, F_DUPFD_CLOEXEC, 0));
    for (std::size_t i = 0; i < names.size() && current.get() >= 0; ++i) {
        ReadResult result = ReadResult::Failed;
        Descriptor next = openFolderAt(current.get(), names[i], create, result);
        if (next.get() < 0) {
            why = pathOf(joined(names, i + 1)) + ": " + folderProblem(result, errno);
            return false;
        }
        current = std::move(next);
    }
    if (current.get() < 0) {
        why = pathOf(relative) + ": " + std::strerror(errno);
        return false;
    }
    folder = Folder(current.release(), pathOf(joined(names, names.size())));
    return true;
}

namespace {

// The regular file at relative below the folder dir, opened for reading
// without a link anywhere on its way; -1, with found saying why, otherwise.
int openBelow(int dir, const std::string &relative, FileRead &found) {
    std::vector<std::string> names;
    bool inside = namesOf(relative, names);
    if (!inside || names.empty()) {
        found.result = inside ? ReadResult::NotRegular : ReadResult::Outside;
        return -1;
    }
    Descriptor parent(::fcntl(dir, F_DUPFD_CLOEXEC, 0));
    for (std::size_t i = 0; i + 1 < names.size() && parent.get() >= 0; ++i) {
        parent = openFolderAt(parent.get(), names[i], false, found.result);
        if (parent.get() < 0) {
            found.where = joined(names, i + 1);
            return -1;
        }
    }
    if (parent.get() < 0)
        return -1;
    const std::string &name = names.back();
    // A device is not even opened: opening some has effects of its own.
    if (ReadResult kind = classify(parent.get(), name, false); kind != ReadResult::Ok && kind != ReadResult::Failed) {
        found.result = kind;
        return -1;
    }
    // O_NOFOLLOW and O_NONBLOCK close the gap to what stands there now.
    Descriptor file(::openat(parent.get(), name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    struct stat st {};
    if (file.get() < 0 || ::fstat(file.get(), &st) != 0 || !S_ISREG(st.st_mode)) {
        found.result = file.get() < 0 ? openFailure(parent.get(), name, false) : ReadResult::NotRegular;
        return -1;
    }
    ::fcntl(file.get(), F_SETFL, ::fcntl(file.get(), F_GETFL) & ~O_NONBLOCK);
    found.size = static_cast<std::uint64_t>(st.st_size);
    found.id = {st.st_dev, st.st_ino};
    found.result = ReadResult::Ok;
    return file.release();
}

} // namespace

FileRead Folder::read(const std::string &relative, std::vector<std::uint8_t> &bytes, std::size_t limit,
                      ReadMode mode) const {
    if (zip != nullptr)
        return readZipped(relative, bytes, limit, mode);
    FileRead found;
    found.where = relative;
    bytes.clear();
    Descriptor file(openBelow(fd, relative, found));
    if (file.get() < 0)
        return found;
    if (mode == ReadMode::Whole && found.size > limit) {
        found.result = ReadResult::TooBig;
        return found;
    }
    // A file that grows while it is read is still refused at the limit.
    std::size_t want = mode == ReadMode::Whole ? limit + 1 : limit;
    if (!readAll(file.get(), bytes, want)) {
        bytes.clear();
        found.result = ReadResult::Failed;
    } else if (mode == ReadMode::Whole && bytes.size() > limit) {
        bytes.clear();
        found.result = ReadResult::TooBig;
    } else {
        found.result = ReadResult::Ok;
    }
    return found;
}

UniqueFile Folder::stream(const std::string &relative) const {
    if (zip != nullptr)
        return zip->openFile(relative);
    FileRead found;
    return streamOf(openBelow(fd, relative, found), "rb");
}

std::string Folder::problem(const FileRead &read, std::size_t limit) const {
    return readProblem(pathOf(read.where), read.result, limit);
}

bool Folder::list(std::vector<std::string> &names) const {
    names.clear();
    int listed = ::openat(fd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (listed < 0)
        return false;
    DIR *dir = ::fdopendir(listed);
    if (dir == nullptr) {
        ::close(listed);
        return false;
    }
    errno = 0;
    while (dirent *entry = ::readdir(dir)) {
        std::string name = entry->d_name;
        if (name != "." && name != "..")
            names.push_back(std::move(name));
    }
    bool complete = errno == 0;
    ::closedir(dir);
    return complete;
}

bool givenFolder(const std::string &path, Folder &folder, Report &report) {
    std::string why;
    if (!Folder::given(path, folder, why))
        report.error(why);
    return folder.isOpen();
}

ReadResult readFileBytes(const std::string &path, std::vector<std::uint8_t> &bytes, std::size_t limit,
                         std::uint64_t *size) {
    Folder folder;
    std::string name, why;
    bytes.clear();
    if (size != nullptr)
        *size = 0;
    if (!Folder::holding(path, folder, name, why))
        return ReadResult::Missing;
    FileRead found = folder.read(name, bytes, limit);
    if (size != nullptr)
        *size = found.size;
    return found.result;
}

std::string readProblem(const std::string &path, ReadResult result, std::size_t limit) {
    switch (result) {
    case ReadResult::Ok:
        return path + ": read";
    case ReadResult::Missing:
        return path + ": missing";
    case ReadResult::NotRegular:
        return path + ": not a regular file";
    case ReadResult::Link:
        return path + ": " + LINK_REFUSED;
    case ReadResult::Outside:
        return path + ": " + folderProblem(result, 0);
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

bool readBytes(const std::string &path, std::vector<std::uint8_t> &bytes) {
    return readFileBytes(path, bytes) == ReadResult::Ok;
}

} // namespace orbex
