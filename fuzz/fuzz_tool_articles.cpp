// Any bytes as article sources for `orbex-tool archive`: the input is cut at
// zero bytes into up to eight sources, each a file name on its first line
// and the source's text below it. Each text is compiled on its own, then the
// files are laid out in a folder, loaded, packed and read back as the
// viewer reads the archive.
#include <cstdint>
#include <string>
#include <vector>

#include "articles.h"
#include "support.h"

namespace {

using namespace orbex;

constexpr std::size_t MAX_SOURCES = 8;

// A name the folder can hold; others become a numbered one.
std::string fileName(const std::string &line, std::size_t index) {
    bool usable = !line.empty() && line.size() <= 100 && line != "." && line != ".." &&
                  line.find('/') == std::string::npos && line.find('\0') == std::string::npos;
    return usable ? line : std::to_string(index + 1) + "-source.txt";
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    fuzz::enterScratchFolder("articles");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    fuzz::removeAll("sources");
    fuzz::makeFolder("sources");
    std::vector<std::vector<std::uint8_t>> parts = fuzz::splitFrames(data, size, std::string(1, '\0'), MAX_SOURCES);
    for (std::size_t i = 0; i < parts.size(); ++i) {
        std::string part(parts[i].begin(), parts[i].end());
        std::size_t end = part.find('\n');
        std::string name = fileName(part.substr(0, end), i);
        std::string text = end == std::string::npos ? std::string() : part.substr(end + 1);

        Article article;
        Report report;
        compileArticle({name, text}, article, report);
        articleOfRecord(recordBytes(article));
        fuzz::writeFile("sources/" + name, reinterpret_cast<const std::uint8_t *>(text.data()), text.size());
    }

    std::vector<ArticleSource> sources;
    Report report;
    if (!loadArticleSources("sources", sources, report))
        return 0;
    std::vector<std::uint8_t> archive;
    if (buildArchive(sources, archive, report))
        decodeArchive(archive, report);
    return 0;
}
