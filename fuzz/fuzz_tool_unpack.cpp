// Any bytes as an article archive for `orbex-tool unpack`, which promises
// that `archive` of what it writes gives the very same bytes: the sources
// are packed again, in memory and through the folder it writes, and any
// difference stops the run as a finding. An archive of more articles than
// a link reaches must be refused, and nothing else.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "articles.h"
#include "support.h"
#include "unpack.h"

namespace {

using namespace orbex;

// Writing a file per article costs; larger archives go round in memory only.
constexpr std::size_t FOLDER_RECORDS = 64;

void differs(const char *how, const std::vector<std::uint8_t> &in, const std::vector<std::uint8_t> &out,
             const Report &report) {
    std::fprintf(stderr, "unpack round trip (%s): %zu bytes in, %zu bytes out\n", how, in.size(), out.size());
    for (const std::string &e : report.errors)
        std::fprintf(stderr, "  error: %s\n", e.c_str());
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    fuzz::enterScratchFolder("unpack");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    // unpack reads at most what the viewer's buffer holds.
    if (size >= ARCHIVE_SIZE)
        return 0;
    const std::vector<std::uint8_t> archive(data, data + size);
    Report unpacked;
    std::vector<ArticleSource> sources = unpackArchive(archive, unpacked);
    // More articles than a link reaches are refused, and only they are.
    std::size_t separators = static_cast<std::size_t>(std::count(archive.begin(), archive.end(), ARTICLE_SEPARATOR));
    bool tooMany = separators > MAX_ARTICLES || (separators == MAX_ARTICLES && archive.back() != ARTICLE_SEPARATOR);
    if (unpacked.ok() == tooMany || (tooMany && !sources.empty()))
        differs("refusing what no link reaches", archive, {}, unpacked);
    if (tooMany)
        return 0;
    Report built;
    std::vector<std::uint8_t> again;
    if (!buildArchive(sources, again, built) || again != archive)
        differs("in memory", archive, again, built);

    if (sources.size() > FOLDER_RECORDS)
        return 0;
    fuzz::removeAll("sources");
    Report written;
    if (!fuzz::writeFile("in.dat", archive) || !unpackArchiveFile("in.dat", "sources", written))
        differs("writing the folder", archive, {}, written);
    std::vector<ArticleSource> read;
    Report loaded;
    std::vector<std::uint8_t> fromFolder;
    if (!loadArticleSources("sources", read, loaded) || !buildArchive(read, fromFolder, loaded) ||
        fromFolder != archive)
        differs("through the folder", archive, fromFolder, loaded);
    return 0;
}
