// The article archive "data/orbex.dat" from editable UTF-8 sources, and the
// archive taken apart again for checks and tests.
//
// A source is one article. With "Title:" and "Author:" as its first lines it
// becomes a record with a header; without them it becomes a header-less
// record, as the contents page is. The text is plain Windows-1252-able text
// with three kinds of markup:
//   {colour R G B} or {colour #RRGGBB}          the colour of the text that follows
//   {link N L #normal #hover}text{/link}         opens article N at line L
//   {music FILE #normal #hover}text{/music}      plays module FILE instead
//   {{                                           a literal "{"
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "files.h"
#include "present/article.h"
#include "report.h"
#include "text/archive.h"

namespace orbex {

// The viewer's title and author fields hold 50 bytes, but a line of 50 ends
// the field without its line feed and shifts the header into the text.
constexpr std::size_t MAX_HEADER_LINE = 49;
constexpr int TEXT_COLUMNS = 76;
// A link's article number is one or two bytes read as digits, each byte less
// 48, so no link reaches an article past (255 - 48) * 10 + 255 - 48.
constexpr std::size_t MAX_ARTICLES = 2277;
// No markup takes more than 8 source bytes for an archive byte (a lone
// {raw XX} takes the most), so the sources of an archive the viewer can hold
// never need more, each or all together.
constexpr std::size_t MAX_SOURCE_BYTES = 8 * ARCHIVE_SIZE;

struct ArticleLink {
    bool music = false;
    int target = 0;                       // article links: article number
    int line = 0;                         // article links: line to open at
    std::string file;                     // music links: module file name
    std::array<std::uint8_t, 3> normal{}; // red, green, blue
    std::array<std::uint8_t, 3> hover{};  // red, green, blue
    std::string text;                     // Windows-1252
    bool closed = true;                   // a closing code within 80 bytes
};

struct Article {
    bool headerless = false;
    bool verbatim = false; // the source gives the record's every byte
    bool separated = true; // followed by the separator in the archive
    std::string title;     // Windows-1252
    std::string author;    // Windows-1252
    std::vector<std::uint8_t> text;
    int lineCount = 0;      // line feeds in the text, as the viewer counts them
    bool textCut = false;   // longer than the viewer's text buffer
    bool headerCut = false; // a title or author line of 50 or more bytes
    std::vector<ArticleLink> links;
};

struct ArticleSource {
    std::string name; // for messages
    std::string text; // UTF-8
};

// Whether the markup stores a colour value as it is; others are nudged.
bool storableColourByte(std::uint8_t b);
// One source turned into an article; problems name the source and its line.
bool compileArticle(const ArticleSource &source, Article &article, Report &report);
// The record's bytes, without the separator.
std::vector<std::uint8_t> recordBytes(const Article &article);
// The sources NN-name.txt of a folder, in number order; the numbers must run
// 1, 2, 3, ... since they are the article numbers links use. At most
// MAX_ARTICLES sources of MAX_SOURCE_BYTES together, none of them a link.
bool loadArticleSources(const Folder &folder, std::vector<ArticleSource> &sources, Report &report);
// The same for a folder named on the command line.
bool loadArticleSources(const std::string &path, std::vector<ArticleSource> &sources, Report &report);
// Every source compiled, links checked against the articles, records joined,
// each followed by the separator.
bool buildArchive(const std::vector<ArticleSource> &sources, std::vector<std::uint8_t> &archive, Report &report);

// What the viewer's buffer holds of an archive file: read in text mode (13
// dropped with the byte after it taken instead, 26 ends the file) and cut at
// ARCHIVE_SIZE - 1 bytes. cut tells whether bytes were left over.
std::vector<std::uint8_t> viewerArchiveBytes(const std::vector<std::uint8_t> &file, bool &cut);
// Calls visit for each article of the viewer's archive bytes in turn, decoded
// as selectArticle does, so only one article is held at a time. The stretch
// behind the last separator counts as an article when it is not empty. Returns
// the number of articles; problems of the form go into report.
std::size_t forEachArticle(const std::vector<std::uint8_t> &view,
                           const std::function<void(std::size_t number, const Article &)> &visit, Report &report);
// One record on its own, as the viewer would read it were nothing behind it.
Article articleOfRecord(const std::vector<std::uint8_t> &record);
// All articles at once, for small archives and tests.
std::vector<Article> decodeArchive(const std::vector<std::uint8_t> &archive, Report &report);
// The links of an article text, read as the viewer reads them.
std::vector<ArticleLink> findLinks(const std::vector<std::uint8_t> &text);

} // namespace orbex
