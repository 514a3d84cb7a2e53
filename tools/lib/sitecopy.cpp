// A magazine's copy in a site. Only folders and regular files are taken,
// never a link (a link would serve whatever it points to), and of those only
// what a magazine uses: an allow-list, since any other file could be served
// as a page that runs script under the site's address. A zip is checked
// whole as the viewer checks it, and unpacked. files.txt lists what was
// copied, each file with its size; a file that compresses well is stored
// gzipped as NAME.gz in its place, which the page inflates, so a host that
// compresses nothing still sends little.
#include <fcntl.h>
#include <sys/stat.h>
#include <zlib.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <map>

#include "common/codepage.h"
#include "common/readlimits.h"
#include "common/textcodes.h"
#include "site.h"

namespace orbex {

namespace {

// Modules, by the names the sound library plays (libopenmpt's).
const std::set<std::string> MODULES = {"669", "amf", "ams",    "c67",  "dbm", "digi", "dmf",  "dsm",  "dsym", "dtm",
                                       "far", "fmt", "gdm",    "ice",  "imf", "it",   "j2b",  "m15",  "mdl",  "med",
                                       "mms", "mo3", "mod",    "mptm", "mt2", "mtm",  "mus",  "nst",  "okt",  "oxm",
                                       "plm", "psm", "pt36",   "ptm",  "s3m", "sfx",  "sfx2", "st26", "stk",  "stm",
                                       "stp", "stx", "symmod", "ult",  "umx", "wow",  "xm"};
// Plain text and pictures, which hosts serve as data.
const std::set<std::string> TEXT = {"txt", "nfo", "diz"};
const std::set<std::string> PICTURES = {"png", "jpg", "jpeg", "gif", "bmp", "webp", "pcx", "raw"};
// What hosts serve as a page, a script or a document of the web: never
// taken, whatever a music link calls it.
const std::set<std::string> WEB_DOCUMENTS = {
    "htm", "html", "shtml", "xht",         "xhtm", "xhtml", "xml", "xsl",   "xslt", "svg",     "svgz", "js",
    "mjs", "cjs",  "json",  "webmanifest", "css",  "wasm",  "php", "phtml", "asp",  "aspx",    "jsp",  "cgi",
    "pl",  "py",   "mht",   "mhtml",       "rss",  "atom",  "rdf", "swf",   "pdf",  "appcache"};
// What a desktop run leaves in the folder, of no use to a reader.
const std::set<std::string> LEFTOVERS = {"orbex.log", "save.txt"};
const char *const LIST = "files.txt";

std::string extensionOf(const std::string &rel) {
    const std::string base = rel.substr(rel.rfind('/') + 1);
    const std::size_t dot = base.rfind('.');
    std::string extension = dot == std::string::npos ? "" : base.substr(dot + 1);
    for (char &c : extension)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return extension;
}

bool validUtf8(const std::string &text) {
    std::uint32_t codePoint = 0;
    for (std::size_t pos = 0; pos < text.size();)
        if (!nextUtf8(text, pos, codePoint))
            return false;
    return true;
}

// Why a regular file of this path and size stays out of the site, or "".
std::string leftOut(const std::string &rel, std::uint64_t size, const std::set<std::string> &music) {
    if (!usableInSite(rel, music))
        return "no file a magazine uses (its files, modules, text and pictures)";
    const bool spaced = !rel.empty() && (std::isspace(static_cast<unsigned char>(rel.front())) != 0 ||
                                         std::isspace(static_cast<unsigned char>(rel.back())) != 0);
    if (spaced || rel.find_first_of("\r\n\t") != std::string::npos || !usableListPath(rel))
        return "files.txt cannot name it";
    if (size > ANY_FILE_LIMIT)
        return "larger than " + std::to_string(ANY_FILE_LIMIT / MIB) + " MiB, which the page does not load";
    return "";
}

struct Inventory {
    std::vector<std::string> copied; // in walk order
    std::map<std::string, std::uint64_t> sizes;
};

// A file found in the magazine: taken, or named as left out.
void take(const std::string &rel, std::uint64_t size, const std::set<std::string> &music, Inventory &inventory,
          Report &report) {
    if (rel == LIST || LEFTOVERS.count(rel) != 0)
        return; // the list is written afresh
    const std::string why = leftOut(rel, size, music);
    if (!why.empty()) {
        report.warn("left out " + rel + ": " + why);
        return;
    }
    inventory.copied.push_back(rel);
    inventory.sizes[rel] = size;
}

// The folder's files, in name order at every level, by descriptor.
void walkFolder(const Folder &folder, const std::string &prefix, const std::set<std::string> &music,
                Inventory &inventory, Report &report, const std::string &skipped = "") {
    std::vector<std::string> names;
    folder.list(names);
    std::sort(names.begin(), names.end());
    for (const std::string &name : names) {
        const std::string rel = prefix + name;
        if (rel == skipped)
            continue;
        struct stat st {};
        if (::fstatat(folder.descriptor(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
            continue;
        if (!validUtf8(name)) {
            report.warn("left out " + rel + ": its name is not UTF-8");
        } else if (S_ISLNK(st.st_mode)) {
            report.warn("left out " + rel + ": a link");
        } else if (S_ISDIR(st.st_mode)) {
            Folder sub;
            std::string why;
            if (folder.sub(name, sub, false, why))
                walkFolder(sub, rel + "/", music, inventory, report);
            else
                report.warn("left out " + rel + ": " + why);
        } else if (!S_ISREG(st.st_mode)) {
            report.warn("left out " + rel + ": not a regular file");
        } else {
            take(rel, static_cast<std::uint64_t>(st.st_size), music, inventory, report);
        }
    }
}

// The magazine's own file at rel, when it has one that can be read.
bool ownFile(const Folder &magazine, const std::string &rel, std::vector<std::uint8_t> &bytes) {
    return magazine.read(rel, bytes, ANY_FILE_LIMIT).result == ReadResult::Ok;
}

// Writes the copied file, gzipped when that is worth it (a tenth and a
// kibibyte smaller) and allowed; returns its files.txt line, or "".
std::string copyOne(const Folder &magazine, const Folder &site, const std::string &into, const std::string &rel,
                    bool mayPack, Report &report) {
    std::vector<std::uint8_t> bytes;
    const FileRead read = magazine.read(rel, bytes, ANY_FILE_LIMIT);
    if (read.result != ReadResult::Ok) {
        report.warn("left out " + rel + ": " + magazine.problem(read, ANY_FILE_LIMIT));
        return "";
    }
    std::string line = rel + "\t" + std::to_string(bytes.size());
    std::vector<std::uint8_t> packed;
    if (mayPack) {
        packed = gzipBytes(bytes);
        if (!(packed.size() * 10 <= bytes.size() * 9 && bytes.size() - packed.size() >= 1024))
            packed.clear();
    }
    std::string why;
    const std::string target = into + "/" + rel;
    const std::string slash = target.substr(0, target.rfind('/'));
    Folder parent;
    bool written = site.sub(slash, parent, true, why) &&
                   (packed.empty() ? parent.write(rel.substr(rel.rfind('/') + 1), bytes, why)
                                   : parent.write(rel.substr(rel.rfind('/') + 1) + ".gz", packed, why));
    if (!written) {
        report.error(why);
        return "";
    }
    return packed.empty() ? line : line + "\t" + std::to_string(packed.size());
}

} // namespace

// Read from the archive's bytes as the page reads them before the viewer
// runs: every code followed by a name of 1 to 15 bytes and a quote, the
// link's text skipped up to its closing code. Generous on purpose: a name
// taken here that no link plays is only a file more.
std::set<std::string> musicNames(const std::vector<std::uint8_t> &archive) {
    std::set<std::string> names;
    auto find = [&](std::uint8_t byte, std::size_t from) {
        const auto at = std::find(archive.begin() + static_cast<std::ptrdiff_t>(std::min(from, archive.size())),
                                  archive.end(), byte);
        return at == archive.end() ? std::string::npos : static_cast<std::size_t>(at - archive.begin());
    };
    constexpr std::uint8_t NAME_END = '"';
    for (std::size_t at = find(MUSIC_LINK_CODE, 0); at != std::string::npos;) {
        const std::size_t end = find(NAME_END, at + 1);
        if (end == std::string::npos)
            break;
        const std::size_t length = end - at - 1;
        if (length < 1 || length > static_cast<std::size_t>(MUSIC_NAME_MAX)) {
            at = find(MUSIC_LINK_CODE, at + 1);
            continue;
        }
        const std::string name(archive.begin() + static_cast<std::ptrdiff_t>(at + 1),
                               archive.begin() + static_cast<std::ptrdiff_t>(end));
        std::string plain;
        bool outside = name.front() == '/';
        for (std::size_t from = 0; from <= name.size();) {
            const std::size_t stop = std::min(name.find('/', from), name.size());
            const std::string part = name.substr(from, stop - from);
            outside = outside || part == "..";
            if (!part.empty() && part != ".")
                plain += (plain.empty() ? "" : "/") + part;
            from = stop + 1;
        }
        if (!outside)
            names.insert(plain);
        const std::size_t close = find(MUSIC_LINK_CODE, end + 7);
        at = close == std::string::npos ? close : find(MUSIC_LINK_CODE, close + 1);
    }
    return names;
}

bool usableInSite(const std::string &rel, const std::set<std::string> &music) {
    const std::string extension = extensionOf(rel);
    for (const ReadLimit &limit : READ_LIMITS)
        if (rel == limit.name)
            return true;
    return rel == START_MODULE_FILE || MODULES.count(extension) != 0 || TEXT.count(extension) != 0 ||
           PICTURES.count(extension) != 0 || (music.count(rel) != 0 && WEB_DOCUMENTS.count(extension) == 0);
}

bool usableListPath(const std::string &rel) {
    if (rel.empty() || rel.front() == '#' || rel.front() == '/' || rel.find('\\') != std::string::npos)
        return false;
    for (std::size_t at = 0; at <= rel.size();) {
        const std::size_t end = std::min(rel.find('/', at), rel.size());
        const std::string part = rel.substr(at, end - at);
        if (part.empty() || part == "." || part == "..")
            return false;
        at = end + 1;
    }
    return true;
}

std::vector<std::string> listedNames(const std::string *own, const std::vector<std::string> &copied, Report &report) {
    if (own == nullptr) {
        std::vector<std::string> all = copied;
        std::sort(all.begin(), all.end());
        return all;
    }
    const std::set<std::string> present(copied.begin(), copied.end());
    std::set<std::string> seen;
    std::vector<std::string> listed;
    for (std::size_t at = 0; at < own->size();) {
        std::size_t end = std::min(own->find('\n', at), own->size());
        std::string line = own->substr(at, end - at);
        at = end + 1;
        line = line.substr(0, line.find('\t'));
        const std::size_t first = line.find_first_not_of(" \r\f\v");
        const std::size_t last = line.find_last_not_of(" \r\f\v");
        const std::string name = first == std::string::npos ? "" : line.substr(first, last - first + 1);
        if (name.empty() || name.front() == '#' || seen.count(name) != 0)
            continue;
        if (present.count(name) != 0) {
            seen.insert(name);
            listed.push_back(name);
        } else {
            report.warn("files.txt names " + name + ", which is not in the site: left out of the list");
        }
    }
    return listed;
}

std::map<std::string, std::string> storedNames(const Folder &magazine) {
    std::vector<std::uint8_t> list;
    magazine.read(LIST, list);
    std::map<std::string, std::string> stored;
    const std::string text(list.begin(), list.end());
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t end = std::min(text.find('\n', at), text.size());
        const std::string line = text.substr(at, end - at);
        at = end + 1;
        const std::size_t tab = line.find('\t');
        const std::string name = line.substr(0, tab);
        const bool packed = tab != std::string::npos && line.find('\t', tab + 1) != std::string::npos;
        stored[name] = packed ? name + ".gz" : name;
    }
    return stored;
}

std::vector<std::uint8_t> gzipBytes(const std::vector<std::uint8_t> &data) {
    z_stream stream{};
    // 31: a gzip wrapper with no name and no time, as gzip -n writes it.
    if (deflateInit2(&stream, 9, Z_DEFLATED, 31, 9, Z_DEFAULT_STRATEGY) != Z_OK)
        return {};
    std::vector<std::uint8_t> out(deflateBound(&stream, data.size()) + 32);
    stream.next_in = const_cast<Bytef *>(data.data());
    stream.avail_in = static_cast<uInt>(data.size());
    stream.next_out = out.data();
    stream.avail_out = static_cast<uInt>(out.size());
    const int result = deflate(&stream, Z_FINISH);
    out.resize(stream.total_out);
    deflateEnd(&stream);
    return result == Z_STREAM_END ? out : std::vector<std::uint8_t>();
}

bool copyMagazine(const std::string &path, const Folder &site, const std::string &into, Report &report,
                  const std::string &sources) {
    Folder magazine;
    std::string why;
    const bool opened = Folder::isFile(path) ? Folder::zipped(path, magazine, why) : Folder::given(path, magazine, why);
    if (!opened) {
        report.error("cannot open " + why);
        return false;
    }
    std::vector<std::uint8_t> archive;
    ownFile(magazine, ARCHIVE_FILE, archive);
    const std::set<std::string> music = musicNames(archive);
    Inventory inventory;
    if (magazine.isZip()) {
        for (const auto &[rel, size] : magazine.zippedFiles())
            if (sources.empty() || rel.rfind(sources + "/", 0) != 0)
                take(rel, size, music, inventory, report);
    } else {
        walkFolder(magazine, "", music, inventory, report, sources);
    }

    std::vector<std::uint8_t> ownBytes;
    const bool hasList = ownFile(magazine, LIST, ownBytes);
    const std::string own(ownBytes.begin(), ownBytes.end());
    const std::vector<std::string> names = listedNames(hasList ? &own : nullptr, inventory.copied, report);
    if (names.size() > SITE_MAX_FILES)
        report.warn("files.txt lists " + std::to_string(names.size()) + " files; the page loads only the first " +
                    std::to_string(SITE_MAX_FILES));
    const std::set<std::string> listed(names.begin(), names.end());
    std::map<std::string, std::string> lines;
    Folder folder;
    if (!site.sub(into, folder, true, why)) {
        report.error(why);
        return false;
    }
    for (const std::string &rel : inventory.copied) {
        // A listed file is packed unless the magazine has its .gz too.
        const bool mayPack = listed.count(rel) != 0 && inventory.sizes.count(rel + ".gz") == 0;
        std::string line = copyOne(magazine, site, into, rel, mayPack, report);
        if (!line.empty())
            lines[rel] = line;
    }
    std::string list;
    for (const std::string &name : names)
        if (lines.count(name) != 0)
            list += lines[name] + "\n";
    if (!folder.write(LIST, std::vector<std::uint8_t>(list.begin(), list.end()), why)) {
        report.error(why);
        return false;
    }
    return report.ok();
}

} // namespace orbex
