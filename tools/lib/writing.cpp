// Writing a Folder's files: a new file beside the old, renamed into its
// place, never through a link; and the writing of files named on the
// command line.
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

namespace {

// Everything inside the folder dir, by descriptor: a link is removed as
// itself, never followed.
bool clearAt(int dir, std::string &why) {
    int listed = ::openat(dir, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    DIR *entries = listed < 0 ? nullptr : ::fdopendir(listed);
    if (entries == nullptr) {
        if (listed >= 0)
            ::close(listed);
        why = std::strerror(errno);
        return false;
    }
    std::vector<std::string> names;
    while (dirent *entry = ::readdir(entries))
        if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0)
            names.emplace_back(entry->d_name);
    ::closedir(entries);
    for (const std::string &name : names) {
        struct stat st {};
        if (::fstatat(dir, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
            continue;
        if (S_ISDIR(st.st_mode)) {
            Descriptor sub(::openat(dir, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
            if (sub.get() < 0 || !clearAt(sub.get(), why))
                return why.empty() ? (why = name + ": " + std::strerror(errno), false) : false;
        }
        if (::unlinkat(dir, name.c_str(), S_ISDIR(st.st_mode) ? AT_REMOVEDIR : 0) != 0) {
            why = name + ": " + std::strerror(errno);
            return false;
        }
    }
    return true;
}

} // namespace

bool Folder::clear(std::string &why) const {
    if (zip != nullptr) {
        why = shown + ": a zip file, which orbex-tool only reads";
        return false;
    }
    std::string reason;
    if (clearAt(fd, reason))
        return true;
    why = shown + ": cannot empty it (" + reason + ")";
    return false;
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

bool writeBytes(const std::string &path, const std::vector<std::uint8_t> &bytes) {
    std::string ignored;
    return writeFileBytes(path, bytes, ignored);
}

} // namespace orbex
