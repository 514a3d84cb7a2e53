#include "common/zipfolder.h"

#include <sys/stat.h>
#include <unistd.h>
#include <zip.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <vector>

#include "common/readlimits.h"

namespace orbex {

namespace {

// The marker of a magazine's folder, which decides whether a zip's one top
// folder is the magazine's folder or a folder of it (a zip of data/ only).
constexpr std::string_view ARCHIVE_NAME = "data/orbex.dat";

// Names from a zip are someone else's bytes: control codes would reach the
// reader's terminal.
std::string printable(std::string_view name) {
    std::string shown;
    for (char c : name)
        shown += static_cast<unsigned char>(c) < 0x20 || c == 0x7F ? '?' : c;
    return shown;
}

std::string libzipError(int code) {
    zip_error_t error;
    zip_error_init_with_code(&error, code);
    std::string text = zip_error_strerror(&error);
    zip_error_fini(&error);
    return text;
}

// The parts of a path: "." and empty parts dropped, ".." taking one back.
// False for an absolute path and one that leads above its start.
bool plainParts(std::string_view path, std::vector<std::string_view> &parts) {
    parts.clear();
    if (!path.empty() && path[0] == '/')
        return false;
    while (!path.empty()) {
        std::size_t slash = path.find('/');
        std::string_view part = path.substr(0, slash);
        path = slash == std::string_view::npos ? std::string_view() : path.substr(slash + 1);
        if (part == "..") {
            if (parts.empty())
                return false;
            parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
    }
    return true;
}

std::string joined(const std::vector<std::string_view> &parts, std::size_t from = 0) {
    std::string path;
    for (std::size_t i = from; i < parts.size(); ++i)
        (path += i == from ? "" : "/") += parts[i];
    return path;
}

// An entry's name is refused when it could lead out of the folder wherever
// it is unpacked: absolute, a drive ("C:"), or ".." between slashes or the
// backslashes of zips made on Windows.
bool leadsOutside(std::string_view name) {
    if (name.empty() || name[0] == '/' || name[0] == '\\' || (name.size() >= 2 && name[1] == ':'))
        return true;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= name.size(); ++i)
        if (i == name.size() || name[i] == '/' || name[i] == '\\') {
            if (name.substr(start, i - start) == "..")
                return true;
            start = i + 1;
        }
    return false;
}

enum class EntryType : std::uint8_t { File, Folder, Link, Other };

// What the entry is, from the mode bits a Unix zip tool keeps, else from
// the trailing slash that marks a folder everywhere.
EntryType typeOf(zip_t *archive, zip_uint64_t index, std::string_view name) {
    zip_uint8_t system = 0;
    zip_uint32_t attributes = 0;
    if (zip_file_get_external_attributes(archive, index, 0, &system, &attributes) == 0 && system == ZIP_OPSYS_UNIX) {
        mode_t mode = attributes >> 16;
        if (S_ISLNK(mode))
            return EntryType::Link;
        if (S_ISDIR(mode))
            return EntryType::Folder;
        if ((mode & S_IFMT) != 0 && !S_ISREG(mode))
            return EntryType::Other;
    }
    return !name.empty() && name.back() == '/' ? EntryType::Folder : EntryType::File;
}

// A file of the zip as a C stream. The entry is inflated from its start as
// far as the reads ask; a seek only moves the position, and a read before
// what was inflated starts the entry afresh.
struct EntryStream {
    zip_t *archive;
    zip_uint64_t index;
    std::uint64_t size;
    zip_file_t *file = nullptr;
    std::uint64_t inflated = 0;
    std::uint64_t position = 0;

    bool reach(std::uint64_t target) {
        if (file == nullptr || inflated > target) {
            if (file != nullptr)
                zip_fclose(file);
            file = zip_fopen_index(archive, index, 0);
            inflated = 0;
            if (file == nullptr)
                return false;
        }
        std::array<char, 16384> skipped;
        while (inflated < target) {
            zip_int64_t got =
                zip_fread(file, skipped.data(), std::min<std::uint64_t>(skipped.size(), target - inflated));
            if (got <= 0)
                return false;
            inflated += static_cast<std::uint64_t>(got);
        }
        return true;
    }
};

ssize_t readEntry(void *cookie, char *buffer, std::size_t n) {
    auto *stream = static_cast<EntryStream *>(cookie);
    // Never past the declared size, whatever the data would inflate to.
    if (stream->position >= stream->size)
        return 0;
    if (!stream->reach(stream->position))
        return -1;
    zip_int64_t got = zip_fread(stream->file, buffer, std::min<std::uint64_t>(n, stream->size - stream->position));
    if (got < 0)
        return -1;
    stream->inflated += static_cast<std::uint64_t>(got);
    stream->position += static_cast<std::uint64_t>(got);
    return static_cast<ssize_t>(got);
}

int seekEntry(void *cookie, off64_t *offset, int whence) {
    auto *stream = static_cast<EntryStream *>(cookie);
    std::int64_t from = whence == SEEK_SET   ? 0
                        : whence == SEEK_CUR ? static_cast<std::int64_t>(stream->position)
                                             : static_cast<std::int64_t>(stream->size);
    if (*offset < -from)
        return -1;
    stream->position = static_cast<std::uint64_t>(from + *offset);
    *offset = static_cast<off64_t>(stream->position);
    return 0;
}

int closeEntry(void *cookie) {
    auto *stream = static_cast<EntryStream *>(cookie);
    if (stream->file != nullptr)
        zip_fclose(stream->file);
    delete stream;
    return 0;
}

std::unique_ptr<ZipFolder> mounted;

UniqueFile openMounted(const char *name) { return mounted->openFile(name); }

} // namespace

std::unique_ptr<ZipFolder> ZipFolder::open(int fd, const std::string &shown, std::string *why) {
    int error = 0;
    zip_t *archive = fd >= 0 ? zip_fdopen(fd, ZIP_RDONLY | ZIP_CHECKCONS, &error) : nullptr;
    if (archive == nullptr) {
        if (fd >= 0)
            ::close(fd);
        *why = shown + ": not a zip file the viewer can read (" +
               (fd >= 0 ? libzipError(error) : std::string("cannot open it")) + ")";
        return nullptr;
    }
    std::unique_ptr<ZipFolder> folder(new ZipFolder());
    folder->archive = archive;
    if (!folder->check(shown, why))
        return nullptr;
    return folder;
}

ZipFolder::~ZipFolder() {
    if (archive != nullptr)
        zip_discard(archive);
}

bool ZipFolder::check(const std::string &shown, std::string *why) {
    auto refuse = [&](const std::string &reason) {
        *why = shown + ": " + reason;
        return false;
    };
    zip_int64_t count = zip_get_num_entries(archive, 0);
    if (count < 0 || static_cast<std::uint64_t>(count) > ZIP_ENTRY_LIMIT)
        return refuse("more than " + std::to_string(ZIP_ENTRY_LIMIT) + " entries, more than a magazine has");

    struct Entry {
        std::string name; // plain, from the zip's top
        EntryType type;
        zip_uint64_t index;
        std::uint64_t size;
    };
    std::vector<Entry> entries;
    std::vector<std::string_view> parts;
    for (zip_uint64_t i = 0; i < static_cast<zip_uint64_t>(count); ++i) {
        zip_stat_t st;
        // The names' bytes as they are, as a folder's names are on the disk.
        if (zip_stat_index(archive, i, ZIP_FL_ENC_RAW, &st) != 0 || (st.valid & ZIP_STAT_NAME) == 0)
            return refuse("entry " + std::to_string(i) + " cannot be read (" + zip_strerror(archive) + ")");
        std::string_view name = st.name;
        std::string entry = "entry " + printable(name);
        if (leadsOutside(name))
            return refuse(entry + " lies outside the magazine's folder");
        EntryType type = typeOf(archive, i, name);
        if (type == EntryType::Link)
            return refuse(entry + " is a symbolic link, which the viewer does not follow");
        if (type == EntryType::Other)
            return refuse(entry + " is neither a file nor a folder");
        if (type == EntryType::File) {
            if ((st.valid & ZIP_STAT_ENCRYPTION_METHOD) != 0 && st.encryption_method != ZIP_EM_NONE)
                return refuse(entry + " is encrypted");
            if ((st.valid & ZIP_STAT_COMP_METHOD) == 0 || zip_compression_method_supported(st.comp_method, 0) == 0)
                return refuse(entry + " is compressed in a way the viewer cannot read");
        }
        plainParts(name, parts);
        entries.push_back({joined(parts), type, i, (st.valid & ZIP_STAT_SIZE) != 0 ? st.size : 0});
    }

    // One folder around everything is the magazine's folder, unless the
    // magazine's archive stands at the top.
    bool archiveAtTop = std::any_of(entries.begin(), entries.end(),
                                    [](const Entry &e) { return e.type == EntryType::File && e.name == ARCHIVE_NAME; });
    std::string top;
    for (const Entry &e : entries) {
        std::string first = e.name.substr(0, e.name.find('/'));
        bool inside = e.name.size() > first.size() || e.type == EntryType::Folder;
        if (first.empty() || !inside || (!top.empty() && first != top)) {
            top.clear();
            break;
        }
        top = first;
    }
    if (!archiveAtTop && !top.empty())
        topFolder = top + "/";

    std::uint64_t total = 0;
    for (const Entry &e : entries) {
        if (e.name.empty())
            continue;
        std::string name = e.name.substr(std::min(topFolder.size(), e.name.size()));
        std::string entry = "entry " + printable(e.name);
        if (e.type == EntryType::Folder) {
            folders.insert(name);
            continue;
        }
        std::uint64_t limit = readLimit(name);
        if (e.size > limit)
            return refuse(entry + " declares " + std::to_string(e.size) + " bytes; the viewer reads at most " +
                          std::to_string(limit) + " of it");
        total += e.size;
        if (total > ZIP_TOTAL_LIMIT)
            return refuse("its files declare more than " + std::to_string(ZIP_TOTAL_LIMIT) +
                          " bytes together, more than a magazine can use");
        if (!files.emplace(name, Found{Kind::File, e.size, e.index}).second)
            return refuse("two entries are named " + printable(e.name));
    }
    // Every folder on the way to a file is a folder, and no file is one.
    for (const auto &[name, found] : files)
        for (std::size_t slash = name.find('/'); slash != std::string::npos; slash = name.find('/', slash + 1))
            folders.insert(name.substr(0, slash));
    for (const std::string &name : folders)
        if (files.count(name) != 0)
            return refuse("entry " + printable(topFolder + name) + " is both a file and a folder");
    return checkData(why) || refuse(*why);
}

// Every file inflated once, to one byte past its declared size: what
// inflates to more, or to less, or fails its checksum, is refused now rather
// than found half-way through a run.
bool ZipFolder::checkData(std::string *why) const {
    std::vector<char> buffer(65536);
    for (const auto &[name, found] : files) {
        std::string entry = "entry " + printable(topFolder + name);
        zip_file_t *file = zip_fopen_index(archive, found.entry, 0);
        if (file == nullptr) {
            *why = entry + " cannot be read (" + zip_strerror(archive) + ")";
            return false;
        }
        std::uint64_t got = 0;
        zip_int64_t n = 0;
        while (got <= found.size &&
               (n = zip_fread(file, buffer.data(), std::min<std::uint64_t>(buffer.size(), found.size + 1 - got))) > 0)
            got += static_cast<std::uint64_t>(n);
        std::string problem =
            n < 0              ? std::string("is damaged (") + zip_file_strerror(file) + ")"
            : got > found.size ? "holds more than the " + std::to_string(found.size) + " bytes it declares"
            : got < found.size ? "holds less than the " + std::to_string(found.size) + " bytes it declares"
                               : "";
        zip_fclose(file);
        if (!problem.empty()) {
            *why = entry + " " + problem;
            return false;
        }
    }
    return true;
}

ZipFolder::Found ZipFolder::find(std::string_view relative) const {
    std::vector<std::string_view> parts;
    if (!plainParts(relative, parts))
        return {Kind::Outside};
    std::string name = joined(parts);
    if (name.empty() || folders.count(name) != 0)
        return {Kind::Folder};
    auto it = files.find(name);
    return it == files.end() ? Found{Kind::Missing} : it->second;
}

UniqueFile ZipFolder::openFile(std::string_view relative) const {
    Found found = find(relative);
    if (found.kind != Kind::File)
        return nullptr;
    auto *stream = new EntryStream{archive, found.entry, found.size};
    std::FILE *file = ::fopencookie(stream, "rb", cookie_io_functions_t{readEntry, nullptr, seekEntry, closeEntry});
    if (file == nullptr)
        delete stream;
    return UniqueFile(file);
}

void mountZip(std::unique_ptr<ZipFolder> zip) {
    mounted = std::move(zip);
    setMountedFolder(mounted != nullptr ? openMounted : nullptr);
}

void unmountZip() { mountZip(nullptr); }

} // namespace orbex
