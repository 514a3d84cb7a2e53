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

namespace orbex {

namespace {

// A folder is held only to reach what is inside it; O_PATH needs no right
// to read it.
#ifdef O_PATH
constexpr int FOLDER_FLAGS = O_PATH | O_DIRECTORY | O_CLOEXEC;
#else
constexpr int FOLDER_FLAGS = O_RDONLY | O_DIRECTORY | O_CLOEXEC;
#endif
constexpr unsigned FOLDER_MODE = 0755;
constexpr unsigned FILE_MODE = 0644;

const char *const LINK_REFUSED = "a symbolic link, which orbex-tool does not follow";

// A descriptor that closes itself.
class Descriptor {
  public:
    explicit Descriptor(int fd = -1) : fd(fd) {}
    ~Descriptor() { reset(); }
    Descriptor(Descriptor &&other) noexcept : fd(std::exchange(other.fd, -1)) {}
    Descriptor &operator=(Descriptor &&other) noexcept {
        if (this != &other) {
            reset();
            fd = std::exchange(other.fd, -1);
        }
        return *this;
    }
    int get() const { return fd; }
    int release() { return std::exchange(fd, -1); }
    void reset(int to = -1) {
        if (fd >= 0)
            ::close(fd);
        fd = to;
    }

  private:
    int fd;
};

// The names of a path below a folder; false for an absolute path or one
// with "..", which would lead out of it.
bool namesOf(const std::string &relative, std::vector<std::string> &names) {
    names.clear();
    if (!relative.empty() && relative[0] == '/')
        return false;
    std::size_t start = 0;
    while (start <= relative.size()) {
        std::size_t end = relative.find('/', start);
        if (end == std::string::npos)
            end = relative.size();
        std::string name = relative.substr(start, end - start);
        if (name == "..")
            return false;
        if (!name.empty() && name != ".")
            names.push_back(name);
        start = end + 1;
    }
    return true;
}

std::string joined(const std::vector<std::string> &names, std::size_t count) {
    std::string path;
    for (std::size_t i = 0; i < count && i < names.size(); ++i)
        path += (i == 0 ? "" : "/") + names[i];
    return path;
}

// What stands at name in folder dir, without following a link: Ok when it
// is a folder or a regular file as wanted.
ReadResult classify(int dir, const std::string &name, bool wantFolder) {
    struct stat st {};
    if (::fstatat(dir, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        return errno == ENOENT || errno == ENOTDIR ? ReadResult::Missing : ReadResult::Failed;
    if (S_ISLNK(st.st_mode))
        return ReadResult::Link;
    if (wantFolder ? !S_ISDIR(st.st_mode) : !S_ISREG(st.st_mode))
        return ReadResult::NotRegular;
    return ReadResult::Ok;
}

// Why something that is there could not be opened as wanted.
ReadResult openFailure(int dir, const std::string &name, bool wantFolder) {
    int error = errno;
    ReadResult result = classify(dir, name, wantFolder);
    errno = error;
    return result == ReadResult::Ok ? ReadResult::Failed : result;
}

// The folder name in dir, never through a link; made first when asked.
Descriptor openFolderAt(int dir, const std::string &name, bool create, ReadResult &result) {
    Descriptor fd(::openat(dir, name.c_str(), FOLDER_FLAGS | O_NOFOLLOW));
    if (fd.get() < 0 && create && errno == ENOENT &&
        (::mkdirat(dir, name.c_str(), FOLDER_MODE) == 0 || errno == EEXIST))
        fd.reset(::openat(dir, name.c_str(), FOLDER_FLAGS | O_NOFOLLOW));
    struct stat st {};
    if (fd.get() >= 0 && (::fstat(fd.get(), &st) != 0 || !S_ISDIR(st.st_mode)))
        fd.reset();
    result = fd.get() >= 0 ? ReadResult::Ok : openFailure(dir, name, true);
    return fd;
}

std::string folderProblem(ReadResult result, int error) {
    switch (result) {
    case ReadResult::Missing:
        return "missing";
    case ReadResult::NotRegular:
        return "not a folder";
    case ReadResult::Link:
        return LINK_REFUSED;
    case ReadResult::Outside:
        return "outside the folder it was given";
    default:
        return std::strerror(error);
    }
}

// A path's folder part and its last name: "a/b/c" gives "a/b" and "c",
// "c" gives "." and "c", "/c" gives "/" and "c".
void splitPath(const std::string &path, std::string &parent, std::string &last) {
    std::size_t slash = path.rfind('/');
    parent = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
    last = slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string withoutTrailingSlashes(std::string path) {
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path;
}

// Reads fd to its end or to limit bytes.
bool readAll(int fd, std::vector<std::uint8_t> &bytes, std::size_t limit) {
    std::uint8_t buffer[65536];
    while (bytes.size() < limit) {
        ssize_t n = ::read(fd, buffer, std::min(sizeof buffer, limit - bytes.size()));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        if (n == 0)
            break;
        bytes.insert(bytes.end(), buffer, buffer + n);
    }
    return true;
}

bool writeAll(int fd, const std::vector<std::uint8_t> &bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

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

std::string Folder::problem(const FileRead &read, std::size_t limit) const {
    return readProblem(pathOf(read.where), read.result, limit);
}

bool Folder::write(const std::string &relative, const std::vector<std::uint8_t> &bytes, std::string &why) const {
    std::vector<std::string> names;
    std::string target = pathOf(relative);
    auto fail = [&](const std::string &reason) {
        why = target + ": cannot write (" + reason + ")";
        return false;
    };
    if (zip != nullptr)
        return fail("a zip file, which orbex-tool only reads");
    if (!namesOf(relative, names))
        return fail(folderProblem(ReadResult::Outside, 0));
    if (names.empty())
        return fail("no file name");
    Descriptor parent(::fcntl(fd, F_DUPFD_CLOEXEC, 0));
    for (std::size_t i = 0; i + 1 < names.size() && parent.get() >= 0; ++i) {
        ReadResult result = ReadResult::Failed;
        parent = openFolderAt(parent.get(), names[i], false, result);
        if (parent.get() < 0) {
            why = pathOf(joined(names, i + 1)) + ": " + folderProblem(result, errno);
            return false;
        }
    }
    if (parent.get() < 0)
        return fail(std::strerror(errno));
    const std::string &name = names.back();
    struct stat st {};
    if (::fstatat(parent.get(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) {
        if (S_ISLNK(st.st_mode))
            return fail(LINK_REFUSED);
        if (!S_ISREG(st.st_mode))
            return fail("not a regular file");
    }
    // A new file beside the target, which a rename puts in its place: what
    // stands there now is replaced, never written into.
    Descriptor file;
    std::string temporary;
    for (int attempt = 0; attempt < 100 && file.get() < 0; ++attempt) {
        temporary = "." + name + ".new-" + std::to_string(::getpid()) + "-" + std::to_string(attempt);
        file.reset(
            ::openat(parent.get(), temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, FILE_MODE));
        if (file.get() < 0 && errno != EEXIST)
            return fail(std::strerror(errno));
    }
    if (file.get() < 0)
        return fail(std::strerror(EEXIST));
    bool written = writeAll(file.get(), bytes);
    int error = errno;
    written = ::close(file.release()) == 0 && written;
    if (!written) {
        ::unlinkat(parent.get(), temporary.c_str(), 0);
        return fail(std::strerror(error != 0 ? error : EIO));
    }
    if (::renameat(parent.get(), temporary.c_str(), parent.get(), name.c_str()) != 0) {
        error = errno;
        ::unlinkat(parent.get(), temporary.c_str(), 0);
        return fail(error == EISDIR ? "not a regular file" : std::strerror(error));
    }
    return true;
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

bool writeFileBytes(const std::string &path, const std::vector<std::uint8_t> &bytes, std::string &why) {
    Folder folder;
    std::string name, reason;
    if (!Folder::receiving(path, folder, name, reason)) {
        why = path + ": cannot write (" + reason + ")";
        return false;
    }
    bool written = folder.write(name, bytes, reason);
    if (!written)
        why = reason;
    return written;
}

bool writeOutput(const std::string &path, const std::vector<std::uint8_t> &bytes, Report &report) {
    std::string why;
    if (writeFileBytes(path, bytes, why))
        return true;
    report.error(why);
    return false;
}

bool readBytes(const std::string &path, std::vector<std::uint8_t> &bytes) {
    return readFileBytes(path, bytes) == ReadResult::Ok;
}

bool writeBytes(const std::string &path, const std::vector<std::uint8_t> &bytes) {
    std::string ignored;
    return writeFileBytes(path, bytes, ignored);
}

} // namespace orbex
