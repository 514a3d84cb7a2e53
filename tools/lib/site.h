// The magazine on the web: a site any static host can serve, made from the
// web edition (the page and the browser's program, built once and installed
// with the tools) and one magazine, or several on a shelf. The one place
// that says what a site takes of a magazine: the copy (sitecopy.cpp), the
// shelf of issues (shelf.cpp), and the site's own files, index.html told
// what to fetch first and the service worker that keeps it all offline
// (site.cpp).
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "files.h"
#include "report.h"

namespace orbex {

struct SiteRequest {
    std::string edition;                // the web edition's folder
    std::vector<std::string> magazines; // folders or zip files
    std::string out;                    // the site's folder
    // A top-level folder of the magazine left out unsaid: the preview
    // serves what was built, not its sources (src/).
    std::string sources;
};

// The edition's folder: ORBEX_WEB_EDITION, else where the package puts it.
std::string defaultEdition();

// Writes the site; every file left out of a magazine is a warning, a
// magazine or zip refused is an error and leaves no site.
bool makeSite(const SiteRequest &request, Report &report);

// ---- what a site takes of a magazine (sitecopy.cpp)

// The most files a site's files.txt lists, and the largest file the page
// loads (the desktop plays no larger module).
constexpr std::size_t SITE_MAX_FILES = 4096;

// The module names the archive's music links give, in plain form.
std::set<std::string> musicNames(const std::vector<std::uint8_t> &archive);
// Whether a magazine can use the file at rel (a path with "/"): the
// viewer's files, modules, text, pictures, and what its music links name
// unless a host would serve it as a page or script.
bool usableInSite(const std::string &rel, const std::set<std::string> &music);
// A path the page's files.txt can hold: inside the folder, no "#" first.
bool usableListPath(const std::string &rel);

// files.txt's names: the magazine's own list (own, when it has one) without
// what the site lacks, each once, or else every file copied, sorted.
std::vector<std::string> listedNames(const std::string *own, const std::vector<std::string> &copied, Report &report);

// The magazine at path into the folder into of site (made), with its
// files.txt; its top-level folder sources, when given, stays out.
bool copyMagazine(const std::string &path, const Folder &site, const std::string &into, Report &report,
                  const std::string &sources = "");

// A site's files.txt: each name listed with the name its file is stored as
// (NAME.gz where the line gives a compressed size).
std::map<std::string, std::string> storedNames(const Folder &magazine);

// gzip -9n's bytes of data (no name, no time).
std::vector<std::uint8_t> gzipBytes(const std::vector<std::uint8_t> &data);

// ---- a shelf of issues (shelf.cpp)

// The issue's folder on the site: the magazine folder's name, or the zip's
// without ".zip".
std::string issueName(const std::string &magazine);
// The address of the issue's page from the shelf.
std::string issueHref(const std::string &name);
std::string shelfPage(const std::vector<std::string> &names);
// Copies each magazine into issues/NAME/ with its cover and writes the shelf.
bool writeShelf(const Folder &site, const std::vector<std::string> &magazines, Report &report);

// encodeURIComponent's form of text, and of each part of a path.
std::string uriComponent(const std::string &text);
std::string uriPath(const std::string &path);

} // namespace orbex
