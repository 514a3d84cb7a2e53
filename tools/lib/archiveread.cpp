// The archive read back the way the viewer reads it, for check and tests.
#include <algorithm>
#include <cstring>

#include "articles.h"
#include "common/linkheader.h"

namespace orbex {

namespace {

constexpr std::uint8_t LINE_FEED = 0x0A;

std::uint8_t at(const std::vector<std::uint8_t> &bytes, std::size_t i) { return i < bytes.size() ? bytes[i] : 0; }

// The viewer's archive buffer: the bytes read, its end marker, zeros behind.
std::uint8_t viewerByte(const std::vector<std::uint8_t> &view, std::size_t p) {
    if (p < view.size())
        return view[p];
    return p == view.size() ? ARCHIVE_END_MARKER : 0;
}

// A title or author line as selectArticle reads it: up to 50 bytes, the byte
// p rests on skipped first. True when the line ended at a line feed.
bool headerLine(const std::vector<std::uint8_t> &view, std::size_t &p, std::string &field) {
    std::size_t from = p + 1;
    if (from + HEADER_FIELD_SIZE <= view.size()) {
        // All 50 bytes are in the buffer: one search, one copy.
        const auto *first = view.data() + from;
        const void *end = std::memchr(first, LINE_FEED, HEADER_FIELD_SIZE);
        std::size_t n = end != nullptr ? static_cast<std::size_t>(static_cast<const std::uint8_t *>(end) - first)
                                       : HEADER_FIELD_SIZE;
        field.assign(reinterpret_cast<const char *>(first), n);
        p = end != nullptr ? from + n : from + n - 1;
        return end != nullptr;
    }
    for (std::size_t k = 0; k < HEADER_FIELD_SIZE; ++k) {
        ++p;
        if (viewerByte(view, p) == LINE_FEED)
            return true;
        field += static_cast<char>(viewerByte(view, p));
    }
    return false;
}

// The article starting at start, read as selectArticle reads it: the header
// may run on over the separator, and the text stops at a separator, at the
// end of the bytes read or when the viewer's buffer is full.
void decodeArticle(const std::vector<std::uint8_t> &view, std::size_t start, Article &article) {
    // Cleared, not made afresh: a million empty articles cost no allocations.
    article.headerless = article.headerCut = article.textCut = false;
    article.title.clear();
    article.author.clear();
    article.text.clear();
    article.links.clear();
    std::size_t p = start;
    if (viewerByte(view, p) == 'd' || viewerByte(view, p + 1) == LINE_FEED) {
        article.headerless = true;
        p += 2;
    } else {
        bool titleEnded = headerLine(view, p, article.title);
        bool authorEnded = headerLine(view, p, article.author);
        article.headerCut = !titleEnded || !authorEnded;
    }
    for (int k = 0; k < 50 && viewerByte(view, p) == LINE_FEED; ++k)
        ++p;
    std::size_t q = p;
    while (q < view.size() && view[q] != ARTICLE_SEPARATOR && article.text.size() < TEXT_SIZE)
        article.text.push_back(view[q++]);
    article.textCut = q < view.size() && view[q] != ARTICLE_SEPARATOR;
    article.lineCount = static_cast<int>(std::count(article.text.begin(), article.text.end(), LINE_FEED));
    if (std::find(article.text.begin(), article.text.end(), ARTICLE_LINK_CODE) != article.text.end() ||
        std::find(article.text.begin(), article.text.end(), MUSIC_LINK_CODE) != article.text.end())
        article.links = findLinks(article.text);
}

} // namespace

std::vector<std::uint8_t> viewerArchiveBytes(const std::vector<std::uint8_t> &file, bool &cut) {
    std::vector<std::uint8_t> view;
    view.reserve(std::min(file.size(), ARCHIVE_SIZE - 1));
    cut = false;
    for (std::size_t i = 0; i < file.size(); ++i) {
        std::uint8_t b = file[i];
        if (b == 0x0D) {
            if (++i == file.size())
                break;
            b = file[i];
        }
        if (b == 0x1A)
            break;
        if (view.size() == ARCHIVE_SIZE - 1) {
            cut = true;
            break;
        }
        view.push_back(b);
    }
    return view;
}

std::size_t forEachArticle(const std::vector<std::uint8_t> &view,
                           const std::function<void(std::size_t number, const Article &)> &visit, Report &report) {
    std::size_t number = 0;
    Article article;
    for (std::size_t start = 0; start < view.size();) {
        const void *found = std::memchr(view.data() + start, ARTICLE_SEPARATOR, view.size() - start);
        std::size_t end = found != nullptr
                              ? static_cast<std::size_t>(static_cast<const std::uint8_t *>(found) - view.data())
                              : view.size();
        if (found == nullptr)
            report.warn("bytes after the last separator; the viewer shows them as article " +
                        std::to_string(number + 1));
        decodeArticle(view, start, article);
        visit(++number, article);
        start = end + 1;
    }
    if (number == 0)
        report.error("no article in the archive");
    return number;
}

Article articleOfRecord(const std::vector<std::uint8_t> &record) {
    Article article;
    decodeArticle(record, 0, article);
    return article;
}

std::vector<Article> decodeArchive(const std::vector<std::uint8_t> &archive, Report &report) {
    for (std::size_t i = 0; i < archive.size(); ++i)
        if (archive[i] == 0x0D || archive[i] == 0x1A) {
            report.error("byte 0x" + std::string(archive[i] == 0x0D ? "0D" : "1A") + " at offset " + std::to_string(i) +
                         ": the viewer reads the archive in text mode and loses it");
            break;
        }
    bool cut = false;
    std::vector<std::uint8_t> view = viewerArchiveBytes(archive, cut);
    if (cut)
        report.error(std::to_string(archive.size()) + " bytes; the viewer reads only the first " +
                     std::to_string(ARCHIVE_SIZE - 1));
    std::vector<Article> articles;
    forEachArticle(
        view, [&](std::size_t, const Article &article) { articles.push_back(article); }, report);
    return articles;
}

// The tools keep a link's colours as red, green, blue.
void takeColours(const LinkHeader<std::size_t> &header, ArticleLink &link) {
    for (int c = 0; c < 3; ++c) {
        link.normal[2 - c] = header.normal[c];
        link.hover[2 - c] = header.hover[c];
    }
}

std::vector<ArticleLink> findLinks(const std::vector<std::uint8_t> &text) {
    std::vector<ArticleLink> links;
    const auto byteOf = [&](std::size_t i) { return at(text, i); };
    for (std::size_t i = 0; i < text.size(); ++i) {
        std::uint8_t b = text[i];
        if (b == COLOUR_CODE) {
            i += 3;
        } else if (b == ARTICLE_LINK_CODE) {
            ArticleLink link;
            const LinkHeader<std::size_t> header = readArticleHeader(byteOf, i);
            link.target = header.target;
            link.line = header.targetLine;
            takeColours(header, link);
            std::size_t p = header.text;
            // The text runs to the closing code, or 80 bytes; the byte after
            // it is skipped either way.
            while (link.text.size() < std::size_t{LINK_TEXT_MAX} && at(text, p) != ARTICLE_LINK_CODE)
                link.text += static_cast<char>(at(text, p++));
            link.closed = at(text, p) == ARTICLE_LINK_CODE;
            links.push_back(link);
            i = p;
        } else if (b == MUSIC_LINK_CODE) {
            ArticleLink link;
            link.music = true;
            const LinkHeader<std::size_t> header = readMusicHeader(byteOf, i);
            link.file.assign(header.module.data(), header.moduleLength);
            takeColours(header, link);
            std::size_t p = header.text;
            std::size_t m = 0;
            while (m < std::size_t{LINK_TEXT_MAX} && at(text, p + m) != MUSIC_LINK_CODE)
                ++m;
            link.closed = at(text, p + m) == MUSIC_LINK_CODE;
            link.text.assign(text.begin() + static_cast<std::ptrdiff_t>(std::min(p, text.size())),
                             text.begin() + static_cast<std::ptrdiff_t>(std::min(p + m, text.size())));
            links.push_back(link);
            i = p + m;
        }
    }
    return links;
}

} // namespace orbex
