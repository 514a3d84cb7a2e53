#include "common/zipfolder.h"

#include <sys/stat.h>
#include <unistd.h>
#include <zip.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <vector>

#include "common/codepage.h"
#include "common/readlimits.h"
#include "common/start.h"

namespace orbex {

namespace {

// The marker of a magazine's folder, which decides whether a zip's one top
// folder is the magazine's folder or a folder of it (a zip of data/ only).
constexpr std::string_view ARCHIVE_NAME = ARCHIVE_FILE;
// The folder a Mac's "Compress" adds for its resource forks.
constexpr std::string_view MAC_METADATA = "__MACOSX/";

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

// Why an entry's name (a folder's without its slash) has no place in a
// magazine, or Ok: a name that could lead out of the folder wherever it is
// unpacked (absolute, a drive, ".." between slashes or the backslashes of
// zips made on Windows), and names no magazine file has, which readers would
// take in different ways (backslashes, empty or "." parts, a zero byte).
ZipVerdict nameVerdict(std::string_view name) {
    if (name.empty())
        return ZipVerdict::BadName;
    if (name[0] == '/' || name[0] == '\\' || (name.size() >= 2 && name[1] == ':'))
        return ZipVerdict::Outside;
    bool plain = name.find('\\') == std::string_view::npos && name.find('\0') == std::string_view::npos;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= name.size(); ++i)
        if (i == name.size() || name[i] == '/' || name[i] == '\\') {
            const std::string_view part = name.substr(start, i - start);
            if (part == "..")
                return ZipVerdict::Outside;
            plain = plain && !part.empty() && part != ".";
            start = i + 1;
        }
    return plain ? ZipVerdict::Ok : ZipVerdict::BadName;
}

enum class EntryType : std::uint8_t { File, Folder, Link, Other };

// What the entry is, from the Unix file type a packer keeps, whatever
// system it says made the entry, else from the trailing slash that marks a
// folder everywhere.
EntryType typeOf(const ZipRecord &record) {
    const mode_t mode = record.mode;
    if (S_ISLNK(mode))
        return EntryType::Link;
    if ((mode & S_IFMT) != 0 && !S_ISREG(mode) && !S_ISDIR(mode))
        return EntryType::Other;
    return S_ISDIR(mode) || (!record.name.empty() && record.name.back() == '/') ? EntryType::Folder : EntryType::File;
}

constexpr std::uint16_t FLAG_ENCRYPTED = 0x0001;
constexpr std::uint16_t FLAG_STRONG_ENCRYPTION = 0x0040;
constexpr std::uint16_t STORED = 0;
constexpr std::uint16_t DEFLATED = 8;

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

// The magazine's zip while it is the folder. Reset by unmountZip().
std::unique_ptr<ZipFolder> mounted;

UniqueFile openMounted(const char *name) { return mounted->openFile(name); }

// Why one entry cannot be part of a magazine, or Ok.
ZipVerdict entryVerdict(const ZipRecord &record, std::string_view name, EntryType type, std::string &why) {
    auto refuse = [&](ZipVerdict verdict, const std::string &reason) {
        why = "entry " + terminalText(record.name) + reason;
        return verdict;
    };
    if (ZipVerdict verdict = nameVerdict(name); verdict != ZipVerdict::Ok)
        return refuse(verdict, verdict == ZipVerdict::Outside
                                   ? " lies outside the magazine's folder"
                                   : " has a name no magazine file has (a backslash, or an empty part)");
    if (type == EntryType::Link)
        return refuse(ZipVerdict::Link, " is a symbolic link, which the viewer does not follow");
    if (type == EntryType::Other)
        return refuse(ZipVerdict::Special, " is neither a file nor a folder");
    if (type == EntryType::File) {
        if ((record.flags & (FLAG_ENCRYPTED | FLAG_STRONG_ENCRYPTION)) != 0)
            return refuse(ZipVerdict::Encrypted, " is encrypted");
        if (record.method != STORED && record.method != DEFLATED)
            return refuse(ZipVerdict::Method, " is compressed in a way the viewer cannot read");
        if (record.method == STORED && record.packed != record.size)
            return refuse(ZipVerdict::Damaged, " is damaged (its two sizes differ)");
    }
    return ZipVerdict::Ok;
}

// The entries in plain form (the names' bytes as they are, as a folder's
// names are on the disk), each checked; a Mac's metadata left out.
ZipVerdict plainEntries(const std::vector<ZipRecord> &records, std::vector<PlainEntry> &entries, std::string &why) {
    std::vector<std::string_view> parts;
    for (std::size_t i = 0; i < records.size(); ++i) {
        const ZipRecord &record = records[i];
        std::string_view name = record.name;
        const EntryType type = typeOf(record);
        if (!name.empty() && name.back() == '/')
            name.remove_suffix(1);
        if (ZipVerdict verdict = entryVerdict(record, name, type, why); verdict != ZipVerdict::Ok)
            return verdict;
        // A Mac adds its own metadata beside what it zips; it is no part of
        // the magazine, and would hide the magazine's one top folder.
        if (name.substr(0, MAC_METADATA.size()) == MAC_METADATA ||
            (type == EntryType::Folder && name == MAC_METADATA.substr(0, MAC_METADATA.size() - 1)))
            continue;
        plainParts(name, parts);
        entries.push_back({joined(parts), type == EntryType::Folder, i, record.size});
    }
    return ZipVerdict::Ok;
}

// One folder around everything is the magazine's folder ("issue3"), unless
// the magazine's archive stands at the top; empty when there is none.
std::string topFolderOf(const std::vector<PlainEntry> &entries) {
    if (std::any_of(entries.begin(), entries.end(),
                    [](const PlainEntry &e) { return !e.folder && e.name == ARCHIVE_NAME; }))
        return {};
    std::string top;
    for (const PlainEntry &e : entries) {
        std::string first = e.name.substr(0, e.name.find('/'));
        bool inside = e.name.size() > first.size() || e.folder;
        if (first.empty() || !inside || (!top.empty() && first != top))
            return {};
        top = first;
    }
    return top;
}

} // namespace

std::unique_ptr<ZipFolder> ZipFolder::open(int fd, const std::string &shown, std::string &why, ZipVerdict *verdict) {
    ZipVerdict found = ZipVerdict::NotZip;
    std::string reason = "cannot open it";
    std::vector<ZipRecord> records;
    std::unique_ptr<ZipFolder> folder(new ZipFolder());
    if (fd >= 0)
        found = readZipLayout(fd, records, reason);
    if (found == ZipVerdict::Ok)
        found = folder->check(records, reason);
    if (found == ZipVerdict::Ok) {
        int error = 0;
        folder->archive = zip_fdopen(fd, ZIP_RDONLY | ZIP_CHECKCONS, &error);
        fd = folder->archive != nullptr ? -1 : fd; // libzip's now
        // libzip numbers the entries in the table's order, as records has them.
        if (folder->archive == nullptr ||
            zip_get_num_entries(folder->archive, 0) != static_cast<zip_int64_t>(records.size())) {
            found = ZipVerdict::Broken;
            reason = "not a zip file the viewer can read (" + libzipError(error) + ")";
        } else {
            found = folder->checkData(reason);
        }
    } else if (found == ZipVerdict::NotZip) {
        reason = "not a zip file the viewer can read (" + reason + ")";
    }
    if (fd >= 0)
        ::close(fd);
    if (verdict != nullptr)
        *verdict = found;
    if (found != ZipVerdict::Ok) {
        why = terminalText(shown) + ": " + reason;
        return nullptr;
    }
    return folder;
}

ZipFolder::~ZipFolder() {
    if (archive != nullptr)
        zip_discard(archive);
}

ZipVerdict ZipFolder::check(const std::vector<ZipRecord> &records, std::string &why) {
    std::vector<PlainEntry> entries;
    if (ZipVerdict verdict = plainEntries(records, entries, why); verdict != ZipVerdict::Ok)
        return verdict;
    // The magazine's archive at the top keeps every name as it is.
    const std::string top = topFolderOf(entries);
    if (!top.empty())
        topFolder = top + "/";
    return fileEntries(entries, why);
}

// Each file under its name below the top folder, within the read limits;
// every folder on the way to a file a folder, and no file one.
ZipVerdict ZipFolder::fileEntries(const std::vector<PlainEntry> &entries, std::string &why) {
    auto refuse = [&](ZipVerdict verdict, const std::string &reason) {
        why = reason;
        return verdict;
    };
    std::uint64_t total = 0;
    for (const PlainEntry &e : entries) {
        std::string name = e.name.substr(std::min(topFolder.size(), e.name.size()));
        std::string entry = "entry " + terminalText(e.name);
        if (e.folder) {
            if (!name.empty())
                folders.insert(name);
            continue;
        }
        std::uint64_t limit = readLimit(name);
        if (e.size > limit)
            return refuse(ZipVerdict::TooLarge, entry + " declares " + std::to_string(e.size) +
                                                    " bytes; the viewer reads at most " + std::to_string(limit) +
                                                    " of it");
        total += e.size;
        if (total > ZIP_TOTAL_LIMIT)
            return refuse(ZipVerdict::Total, "its files declare more than " + std::to_string(ZIP_TOTAL_LIMIT) +
                                                 " bytes together, more than a magazine can use");
        if (!files.emplace(name, Found{Kind::File, e.size, e.index}).second)
            return refuse(ZipVerdict::Duplicate, "two entries are named " + terminalText(e.name));
    }
    for (const auto &[name, found] : files)
        for (std::size_t slash = name.find('/'); slash != std::string::npos; slash = name.find('/', slash + 1))
            folders.insert(name.substr(0, slash));
    for (const std::string &name : folders)
        if (files.count(name) != 0)
            return refuse(ZipVerdict::FileAndFolder,
                          "entry " + terminalText(topFolder + name) + " is both a file and a folder");
    return ZipVerdict::Ok;
}

// Every file inflated once, to one byte past its declared size: what
// inflates to more, or to less, or fails its checksum, is refused now rather
// than found half-way through a run. The entries tile the zip, so this
// inflates each of its bytes at most once.
ZipVerdict ZipFolder::checkData(std::string &why) const {
    std::vector<char> buffer(65536);
    for (const auto &[name, found] : files) {
        std::string entry = "entry " + terminalText(topFolder + name);
        zip_file_t *file = zip_fopen_index(archive, found.entry, 0);
        if (file == nullptr) {
            why = entry + " cannot be read (" + zip_strerror(archive) + ")";
            return ZipVerdict::Damaged;
        }
        std::uint64_t got = 0;
        zip_int64_t n = 0;
        while (got <= found.size &&
               (n = zip_fread(file, buffer.data(), std::min<std::uint64_t>(buffer.size(), found.size + 1 - got))) > 0)
            got += static_cast<std::uint64_t>(n);
        ZipVerdict verdict = n < 0              ? ZipVerdict::Damaged
                             : got > found.size ? ZipVerdict::Bigger
                             : got < found.size ? ZipVerdict::Smaller
                                                : ZipVerdict::Ok;
        std::string problem = n < 0 ? std::string("is damaged (") + zip_file_strerror(file) + ")"
                              : got > found.size
                                  ? "holds more than the " + std::to_string(found.size) + " bytes it declares"
                                  : "holds less than the " + std::to_string(found.size) + " bytes it declares";
        zip_fclose(file);
        if (verdict != ZipVerdict::Ok) {
            why = entry + " " + problem;
            return verdict;
        }
    }
    return ZipVerdict::Ok;
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

std::vector<std::pair<std::string, std::uint64_t>> ZipFolder::fileSizes() const {
    std::vector<std::pair<std::string, std::uint64_t>> sizes;
    for (const auto &[name, found] : files)
        if (found.kind == Kind::File)
            sizes.emplace_back(name, found.size);
    return sizes;
}

} // namespace orbex
