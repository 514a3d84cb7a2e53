// A site from the web edition and the magazines: the edition's files, the
// magazine's copy or a shelf of issues, index.html told which files to ask
// for first, and last the service worker, whose version is a hash of
// everything else.
#include "site.h"

#include <fcntl.h>
#include <openssl/evp.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <map>

#include "common/readlimits.h"
#include "common/start.h"

#ifndef ORBEX_WEB_EDITION_DIR
#define ORBEX_WEB_EDITION_DIR "/usr/share/orbex/web"
#endif

namespace orbex {

namespace {

const char *const PAGE = "index.html";
const char *const WORKER = "service-worker.js";
const char *const SHELF_STYLE = "shelf.css";

std::string text(const std::vector<std::uint8_t> &bytes) { return {bytes.begin(), bytes.end()}; }
std::vector<std::uint8_t> bytesOf(const std::string &text) { return {text.begin(), text.end()}; }

// The path as the system resolves it; missing parts are kept as named.
std::string resolved(const std::string &path) {
    std::error_code error;
    const std::filesystem::path real = std::filesystem::weakly_canonical(std::filesystem::absolute(path), error);
    std::string text = error ? path : real.lexically_normal().string();
    while (text.size() > 1 && text.back() == '/')
        text.pop_back();
    return text;
}

bool inside(const std::string &path, const std::string &folder) { return (path + "/").rfind(folder + "/", 0) == 0; }

// Neither is the site a magazine, nor does it hold one or lie inside one:
// the site is emptied first.
bool separate(const SiteRequest &request, Report &report) {
    const std::string out = resolved(request.out);
    for (const std::string &magazine : request.magazines) {
        const std::string m = resolved(magazine);
        if (inside(out, m))
            report.error("the site folder " + request.out + " is the magazine " + magazine +
                         " or lies inside it: choose another");
        else if (inside(m, out))
            report.error("the site folder " + request.out + " holds the magazine " + magazine + ": choose another");
    }
    return report.ok();
}

// The site's folder, made or emptied: an existing one must be empty or a
// site made before.
bool siteFolder(const std::string &path, Folder &site, bool &made, Report &report) {
    std::string why;
    struct stat st {};
    made = ::lstat(path.c_str(), &st) != 0;
    if (!Folder::made(path, site, why)) {
        report.error(why);
        return false;
    }
    std::vector<std::string> names;
    site.list(names);
    std::vector<std::uint8_t> ignored;
    const bool earlier =
        site.read(PAGE, ignored).result == ReadResult::Ok && site.read(WORKER, ignored).result == ReadResult::Ok;
    if (!names.empty() && !earlier) {
        report.error(path + ": not empty, and no site made before: choose another folder");
        return false;
    }
    if (!site.clear(why)) {
        report.error(why);
        return false;
    }
    return true;
}

// Every regular file below folder, as paths with "/", in name order at
// every level.
void filesBelow(const Folder &folder, const std::string &prefix, std::vector<std::string> &files) {
    std::vector<std::string> names;
    folder.list(names);
    std::sort(names.begin(), names.end());
    for (const std::string &name : names) {
        struct stat st {};
        if (::fstatat(folder.descriptor(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
            continue;
        Folder sub;
        std::string why;
        if (S_ISDIR(st.st_mode) && folder.sub(name, sub, false, why))
            filesBelow(sub, prefix + name + "/", files);
        else if (S_ISREG(st.st_mode))
            files.push_back(prefix + name);
    }
}

bool copyFile(const Folder &from, const Folder &to, const std::string &rel, Report &report) {
    std::vector<std::uint8_t> bytes;
    const FileRead read = from.read(rel, bytes);
    std::string why;
    Folder parent;
    const std::size_t slash = rel.rfind('/');
    if (read.result != ReadResult::Ok) {
        report.error(from.problem(read));
        return false;
    }
    if (!to.sub(slash == std::string::npos ? "." : rel.substr(0, slash), parent, true, why) ||
        !parent.write(rel.substr(slash + 1), bytes, why)) {
        report.error(why);
        return false;
    }
    return true;
}

// The edition's files but the worker's template, the page (written by
// the caller) and the shelf's style unless there is a shelf.
bool copyEdition(const Folder &edition, const Folder &site, bool shelf, Report &report) {
    std::vector<std::string> files;
    filesBelow(edition, "", files);
    for (const std::string &rel : files)
        if (rel != WORKER && rel != PAGE && (shelf || rel != SHELF_STYLE) && !copyFile(edition, site, rel, report))
            return false;
    return true;
}

std::string replaced(std::string text, const std::string &from, const std::string &to) {
    const std::size_t at = text.find(from);
    return at == std::string::npos ? text : text.replace(at, from.size(), to);
}

// The page of one magazine asks for its start files at once, as they are
// stored, without waiting for its list.
std::string withStartFiles(const std::string &page, const Folder &magazine) {
    const std::map<std::string, std::string> stored = storedNames(magazine);
    std::string names;
    for (const char *file : START_FILES)
        if (const auto found = stored.find(file); found != stored.end())
            names += (names.empty() ? "" : " ") + uriPath(found->second);
    return replaced(page, "<meta name=\"orbex-site-start\" content=\"\">",
                    "<meta name=\"orbex-site-start\" content=\"" + names + "\">");
}

std::string sha256Hex(const std::vector<std::string> &files, const Folder &site) {
    EVP_MD_CTX *context = EVP_MD_CTX_new();
    EVP_DigestInit_ex(context, EVP_sha256(), nullptr);
    std::vector<std::uint8_t> bytes;
    for (const std::string &file : files) {
        site.read(file, bytes, ANY_FILE_LIMIT);
        EVP_DigestUpdate(context, file.c_str(), file.size() + 1);
        EVP_DigestUpdate(context, bytes.data(), bytes.size());
        EVP_DigestUpdate(context, "", 1);
    }
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    EVP_DigestFinal_ex(context, digest, &length);
    EVP_MD_CTX_free(context);
    static constexpr char HEX[] = "0123456789abcdef";
    std::string hex;
    for (unsigned int i = 0; i < 8 && i < length; ++i) {
        hex += HEX[digest[i] >> 4];
        hex += HEX[digest[i] & 15];
    }
    return hex;
}

// The worker with the site's version (a hash of every other file's path
// and bytes) and the list of those files, which it keeps.
bool writeWorker(const Folder &edition, const Folder &site, Report &report) {
    std::vector<std::uint8_t> worker;
    const FileRead read = edition.read(WORKER, worker);
    if (read.result != ReadResult::Ok) {
        report.error(edition.problem(read));
        return false;
    }
    std::vector<std::string> files;
    filesBelow(site, "", files);
    files.erase(std::remove(files.begin(), files.end(), WORKER), files.end());
    std::string urls;
    for (const std::string &file : files) {
        urls += (urls.empty() ? "\"" : ",\"") + uriPath(file) + "\"";
    }
    std::string script = replaced(text(worker), "'@VERSION@'", "\"" + sha256Hex(files, site) + "\"");
    script = replaced(script, "'@SITE_FILES@'", "[" + urls + "]");
    std::string why;
    if (!site.write(WORKER, bytesOf(script), why)) {
        report.error(why);
        return false;
    }
    return true;
}

bool fillSite(const SiteRequest &request, const Folder &edition, const Folder &site, Report &report) {
    const bool shelf = request.magazines.size() > 1;
    std::vector<std::uint8_t> page;
    const FileRead read = edition.read(PAGE, page);
    if (read.result != ReadResult::Ok) {
        report.error(edition.problem(read) + " (no web edition there: give --edition)");
        return false;
    }
    if (!copyEdition(edition, site, shelf, report))
        return false;
    std::string html = text(page);
    Folder magazine;
    std::string why;
    if (shelf) {
        if (!writeShelf(site, request.magazines, report))
            return false;
        html = replaced(html, "<meta charset=\"utf-8\">\n",
                        "<meta charset=\"utf-8\">\n<meta name=\"orbex-shelf\" content=\"shelf.html\">\n");
    } else {
        if (!copyMagazine(request.magazines.front(), site, "magazine", report, request.sources) ||
            !site.sub("magazine", magazine, false, why))
            return false;
        html = withStartFiles(html, magazine);
    }
    if (!site.write(PAGE, bytesOf(html), why)) {
        report.error(why);
        return false;
    }
    return writeWorker(edition, site, report);
}

} // namespace

// Beside the installed program first (PREFIX/bin/orbex-tool, the edition
// in PREFIX/share/orbex/web), wherever the package or cmake --install put
// it; then where the build meant it to go.
std::string defaultEdition() {
    const char *given = std::getenv("ORBEX_WEB_EDITION");
    if (given != nullptr && *given != 0)
        return given;
    char self[PATH_MAX];
    const ssize_t length = ::readlink("/proc/self/exe", self, sizeof self - 1);
    if (length > 0) {
        std::string prefix(self, static_cast<std::size_t>(length));
        prefix = prefix.substr(0, prefix.rfind('/'));
        prefix = prefix.substr(0, prefix.rfind('/'));
        const std::string beside = prefix + "/share/orbex/web";
        struct stat st {};
        if (::stat((beside + "/index.html").c_str(), &st) == 0)
            return beside;
    }
    return ORBEX_WEB_EDITION_DIR;
}

bool makeSite(const SiteRequest &request, Report &report) {
    Folder edition, site;
    std::string why;
    if (!Folder::given(request.edition, edition, why)) {
        report.error(why + " (no web edition there: give --edition)");
        return false;
    }
    bool made = false;
    if (!separate(request, report) || !siteFolder(request.out, site, made, report))
        return false;
    if (fillSite(request, edition, site, report) && report.ok())
        return true;
    // Half a site would be served as if it were whole.
    if (site.clear(why) && made)
        ::rmdir(request.out.c_str());
    return false;
}

} // namespace orbex
