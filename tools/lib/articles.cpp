#include "articles.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <sstream>

#include "encoding.h"
#include "files.h"

namespace orbex {

namespace {

constexpr std::uint8_t LINE_FEED = 0x0A;
const std::string VERBATIM = "{verbatim}";
const std::string NO_SEPARATOR = "no-separator";

std::string hexByte(int b) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%02X", b & 0xFF);
    return text;
}

std::vector<std::string> words(const std::string &text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string w; in >> w;)
        out.push_back(w);
    return out;
}

bool parseNumber(const std::string &text, int max, int &value) {
    if (text.empty() || text.size() > 3)
        return false;
    value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return false;
        value = value * 10 + (c - '0');
    }
    return value <= max;
}

bool parseHexColour(const std::string &text, std::array<std::uint8_t, 3> &rgb) {
    if (text.size() != 7 || text[0] != '#')
        return false;
    for (int c = 0; c < 3; ++c) {
        int value = 0;
        for (int k = 1; k <= 2; ++k) {
            char d = text[2 * c + k];
            int v = d >= '0' && d <= '9'   ? d - '0'
                    : d >= 'a' && d <= 'f' ? d - 'a' + 10
                    : d >= 'A' && d <= 'F' ? d - 'A' + 10
                                           : -1;
            if (v < 0)
                return false;
            value = value * 16 + v;
        }
        rgb[c] = static_cast<std::uint8_t>(value);
    }
    return true;
}

bool forbiddenColourByte(int b) { return !storableColourByte(static_cast<std::uint8_t>(b)); }

// Text bytes with a meaning of their own; they cannot stand in a text.
const char *reservedTextByte(int b) {
    switch (b) {
    case ARTICLE_SEPARATOR:
        return "separates the articles";
    case ARTICLE_LINK_CODE:
        return "is the article link code";
    case COLOUR_CODE:
        return "is the colour code";
    case MUSIC_LINK_CODE:
        return "is the music link code";
    default:
        return nullptr;
    }
}

class Compiler {
  public:
    Compiler(const ArticleSource &source, Article &article, Report &report)
        : source(source), article(article), problems(report, source.name, ":") {}

    bool run();

  private:
    std::string plainText() const;
    void readHeader(std::string &text);
    void readBody(const std::string &text);
    void finish();
    const ArticleSource &source;
    Article &article;
    Listed problems;
    int line = 1;

    enum class Open { None, Article, Music } open = Open::None;
    std::size_t linkTextStart = 0;
    int openLine = 0;
    // Layout of the current output line, for the width warnings.
    int visibleColumns = 0;
    int rawColumns = 0;
    bool lineHasLink = false;
    bool warnedCarriageReturn = false;
    bool warnedEndOfFile = false;

    void error(const std::string &text) {
        if (problems.listing())
            problems.error(std::to_string(line) + ": " + text);
        else
            problems.countError();
    }
    void warn(const std::string &text) { problems.warn(std::to_string(line) + ": " + text); }

    std::uint8_t colourByte(int value, bool avoidBracket) {
        int b = value;
        if (avoidBracket && b == ']') {
            // A one-digit line number followed by "]" reads as two digits.
            warn("blue " + hexByte(b) + " of a link's normal colour would read as \"]\"; using 0x5C");
            b = 0x5C;
        }
        while (forbiddenColourByte(b))
            --b;
        if (b != value && !(avoidBracket && value == ']'))
            warn("colour value " + hexByte(value) + " cannot be stored; using " + hexByte(b));
        return static_cast<std::uint8_t>(b);
    }

    void emitText(std::uint8_t b) {
        article.text.push_back(b);
        ++rawColumns;
        if (open == Open::None)
            ++visibleColumns;
    }
    void endOfLine() {
        if (visibleColumns > TEXT_COLUMNS)
            warn("the line takes " + std::to_string(visibleColumns) + " columns; the viewer cuts it after " +
                 std::to_string(TEXT_COLUMNS) + ", in the middle of a word");
        else if (lineHasLink && rawColumns > TEXT_COLUMNS)
            warn("the line with its link codes takes " + std::to_string(rawColumns) +
                 " bytes; scrolled above the window it wraps, and the page jumps by a line");
        visibleColumns = rawColumns = 0;
        lineHasLink = false;
    }

    bool header(std::string &text, std::string &value, const char *key);
    std::string toCp1252(const std::string &utf8, bool inHeader);
    void tag(const std::string &content);
    // One handler per tag family, given the tag's words.
    void colourTag(const std::vector<std::string> &w);
    void linkTag(const std::vector<std::string> &w);
    void rawBytes(const std::vector<std::string> &w);
    void closingTag(const std::vector<std::string> &w);
    void musicTarget(ArticleLink &link, const std::string &name);
    void articleTarget(const ArticleLink &link);
    void closeLink(Open kind);
};

// Converts a stretch of UTF-8 text; reports what cannot go into the archive.
std::string Compiler::toCp1252(const std::string &utf8, bool inHeader) {
    std::string out;
    for (std::size_t pos = 0; pos < utf8.size();) {
        std::uint32_t cp = 0;
        if (!nextUtf8(utf8, pos, cp)) {
            error("not UTF-8");
            continue;
        }
        int b = cp1252Byte(cp);
        if (b < 0) {
            error("\"" + utf8Of(cp) + "\" has no Windows-1252 byte");
            continue;
        }
        if (const char *why = reservedTextByte(b)) {
            error("\"" + utf8Of(cp) + "\" (byte " + hexByte(b) + ") " + why + " and cannot stand in a text");
            continue;
        }
        if (b == '\t') {
            error("a tab: use spaces, the viewer shows one blank cell for a tab");
            continue;
        }
        if (b < 0x20 || b == 0x7F) {
            error("control character " + hexByte(b));
            continue;
        }
        if (inHeader && b == '$') {
            error("\"$\" ends the header line on screen");
            continue;
        }
        out += static_cast<char>(b);
    }
    return out;
}

bool Compiler::header(std::string &text, std::string &value, const char *key) {
    std::size_t end = text.find('\n');
    std::string first = text.substr(0, end);
    std::size_t keyLength = std::char_traits<char>::length(key);
    if (first.compare(0, keyLength, key) != 0)
        return false;
    std::string raw = first.substr(keyLength);
    raw.erase(0, raw.find_first_not_of(' '));
    raw.erase(raw.find_last_not_of(' ') + 1);
    value = toCp1252(raw, true);
    if (value.size() > MAX_HEADER_LINE)
        error(std::string(key) + " has " + std::to_string(value.size()) + " characters; at most " +
              std::to_string(MAX_HEADER_LINE) + " fit the header");
    text = end == std::string::npos ? std::string() : text.substr(end + 1);
    ++line;
    return true;
}

// The tag families; the first word of a tag chooses one.
void Compiler::tag(const std::string &content) {
    struct Family {
        const char *name;
        void (Compiler::*handle)(const std::vector<std::string> &);
    };
    static constexpr Family FAMILIES[] = {
        {"colour", &Compiler::colourTag},  {"color", &Compiler::colourTag}, {"link", &Compiler::linkTag},
        {"music", &Compiler::linkTag},     {"raw", &Compiler::rawBytes},    {"/link", &Compiler::closingTag},
        {"/music", &Compiler::closingTag},
    };
    std::vector<std::string> w = words(content);
    if (w.empty()) {
        error("empty {}");
        return;
    }
    for (const Family &family : FAMILIES)
        if (w[0] == family.name) {
            (this->*family.handle)(w);
            return;
        }
    error("unknown markup {" + content + "}");
}

void Compiler::colourTag(const std::vector<std::string> &w) {
    int rgb[3] = {0, 0, 0};
    std::array<std::uint8_t, 3> hex{};
    if (w.size() == 2 && parseHexColour(w[1], hex)) {
        for (int c = 0; c < 3; ++c)
            rgb[c] = hex[c];
    } else if (w.size() != 4 || !parseNumber(w[1], 255, rgb[0]) || !parseNumber(w[2], 255, rgb[1]) ||
               !parseNumber(w[3], 255, rgb[2])) {
        error("expected {colour R G B} with values 0..255, or {colour #RRGGBB}");
        return;
    }
    if (open != Open::None) {
        error("a colour code cannot stand inside a link's text");
        return;
    }
    article.text.push_back(COLOUR_CODE);
    for (int c = 0; c < 3; ++c)
        article.text.push_back(colourByte(rgb[c], false));
}

// {link N L #normal #hover} and {music FILE #normal #hover}: the link's code,
// its target and its colours; the text follows up to the closing tag.
void Compiler::linkTag(const std::vector<std::string> &w) {
    if (open != Open::None) {
        error("a link inside a link");
        return;
    }
    ArticleLink link;
    link.music = w[0] == "music";
    bool good = w.size() == (link.music ? 4u : 5u);
    std::size_t colours = link.music ? 2 : 3;
    if (good && !link.music)
        good = parseNumber(w[1], 99, link.target) && link.target >= 1 && parseNumber(w[2], 99, link.line);
    if (good)
        good = parseHexColour(w[colours], link.normal) && parseHexColour(w[colours + 1], link.hover);
    if (!good) {
        error(link.music ? "expected {music FILE #RRGGBB #RRGGBB}"
                         : "expected {link N L #RRGGBB #RRGGBB} with article N 1..99 and line L 0..99");
        return;
    }
    if (link.music)
        musicTarget(link, w[1]);
    else
        articleTarget(link);
    std::vector<std::uint8_t> &out = article.text;
    bool oneDigitLine = !link.music && link.line < 10;
    out.push_back(colourByte(link.normal[2], oneDigitLine));
    out.push_back(colourByte(link.normal[1], false));
    out.push_back(colourByte(link.normal[0], false));
    out.push_back(colourByte(link.hover[2], false));
    out.push_back(colourByte(link.hover[1], false));
    out.push_back(colourByte(link.hover[0], false));
    open = link.music ? Open::Music : Open::Article;
    openLine = line;
    linkTextStart = out.size();
    lineHasLink = true;
    article.links.push_back(link);
}

void Compiler::musicTarget(ArticleLink &link, const std::string &name) {
    std::vector<std::uint8_t> &out = article.text;
    link.file = toCp1252(name, false);
    if (link.file.size() > std::size_t{MUSIC_NAME_MAX})
        error("the module name \"" + name + "\" is longer than " + std::to_string(MUSIC_NAME_MAX) + " bytes");
    if (link.file.find('"') != std::string::npos)
        error("a module name cannot hold a double quote");
    out.push_back(MUSIC_LINK_CODE);
    out.insert(out.end(), link.file.begin(), link.file.end());
    out.push_back('"');
    rawColumns += 2 + static_cast<int>(link.file.size()) + 6;
}

void Compiler::articleTarget(const ArticleLink &link) {
    std::vector<std::uint8_t> &out = article.text;
    // "(N) L)" for one digit, "(NN] LL]" for two: the viewer looks for "]"
    // two bytes after each number's first digit.
    std::string numbers = "(" + std::to_string(link.target) + (link.target < 10 ? ") " : "] ") +
                          std::to_string(link.line) + (link.line < 10 ? ")" : "]");
    out.push_back(ARTICLE_LINK_CODE);
    out.insert(out.end(), numbers.begin(), numbers.end());
    rawColumns += 2 + static_cast<int>(numbers.size()) + 6;
}

void Compiler::closingTag(const std::vector<std::string> &w) {
    Open kind = w[0] == "/link" ? Open::Article : Open::Music;
    if (open != kind) {
        error("{" + w[0] + "} without its opening tag");
        return;
    }
    closeLink(kind);
}

// Bytes as they are, for what the markup cannot say; only the separator
// cannot stand in a record.
void Compiler::rawBytes(const std::vector<std::string> &w) {
    if (w.size() < 2) {
        error("expected {raw XX ...} with one or more bytes as two hex digits");
        return;
    }
    for (std::size_t k = 1; k < w.size(); ++k) {
        int value = -1;
        if (w[k].size() == 2 && std::isxdigit(static_cast<unsigned char>(w[k][0])) &&
            std::isxdigit(static_cast<unsigned char>(w[k][1])))
            value = std::stoi(w[k], nullptr, 16);
        if (value < 0) {
            error("\"" + w[k] + "\" in {raw ...} is not a byte as two hex digits");
            continue;
        }
        if (value == ARTICLE_SEPARATOR) {
            error("{raw 9E}: the byte 0x9E separates the articles and cannot stand in one");
            continue;
        }
        if (value == 0x0D && !warnedCarriageReturn) {
            warnedCarriageReturn = true;
            warn("{raw 0D}: the viewer reads the archive in text mode and drops this byte");
        }
        if (value == 0x1A && !warnedEndOfFile) {
            warnedEndOfFile = true;
            warn("{raw 1A}: the viewer reads the archive in text mode and stops reading at this byte");
        }
        if (value == LINE_FEED)
            endOfLine();
        emitText(static_cast<std::uint8_t>(value));
    }
}

void Compiler::closeLink(Open kind) {
    std::vector<std::uint8_t> &out = article.text;
    ArticleLink &link = article.links.back();
    link.text.assign(out.begin() + static_cast<std::ptrdiff_t>(linkTextStart), out.end());
    if (link.text.size() > std::size_t{LINK_TEXT_MAX})
        error("the link text has " + std::to_string(link.text.size()) + " characters; at most " +
              std::to_string(LINK_TEXT_MAX));
    // The link takes a column per text byte and leaves one empty behind.
    visibleColumns += static_cast<int>(link.text.size()) + 1;
    if (visibleColumns - 1 > TEXT_COLUMNS)
        warn("the link text runs past column " + std::to_string(TEXT_COLUMNS) + ", over the text area's edge");
    out.push_back(kind == Open::Article ? ARTICLE_LINK_CODE : MUSIC_LINK_CODE);
    ++rawColumns;
    open = Open::None;
}

bool Compiler::run() {
    std::string text = plainText();
    article = Article{};
    readHeader(text);
    readBody(text);
    finish();
    return problems.errors() == 0;
}

// The source without a byte order mark, its CR LF line ends read as LF:
// sources come from any editor.
std::string Compiler::plainText() const {
    std::string text = source.text;
    if (text.compare(0, 3, "\xEF\xBB\xBF") == 0)
        text.erase(0, 3);
    std::string unix;
    for (std::size_t i = 0; i < text.size(); ++i)
        if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n'))
            unix += text[i];
    return unix;
}

// What comes before the text: "verbatim", or the title and author lines, and
// the empty lines the viewer skips.
void Compiler::readHeader(std::string &text) {
    if (text.compare(0, VERBATIM.size(), VERBATIM) == 0 &&
        (text.size() == VERBATIM.size() || text[VERBATIM.size()] == '\n')) {
        // The record as the lines below give it, lead byte and all.
        article.verbatim = true;
        text.erase(0, VERBATIM.size() + 1);
        ++line;
    } else if (header(text, article.title, "Title:")) {
        if (!header(text, article.author, "Author:"))
            error("\"Author:\" must follow \"Title:\"");
        if (article.title.empty())
            error("an empty title makes the record header-less");
    } else {
        article.headerless = true;
    }
    // The viewer skips the empty lines before the text; so do we.
    std::size_t blank = 0;
    while (!article.verbatim && blank < text.size() && text[blank] == '\n')
        ++blank;
    text.erase(0, blank);
    line += static_cast<int>(blank);
}

void Compiler::readBody(const std::string &text) {
    // The next line end and the next "}" are looked for only once pos has
    // passed the last ones found, so a long line full of "{" costs no more
    // than its length.
    std::size_t lineEnd = 0, nextClose = 0;
    auto nextAt = [&](char wanted, std::size_t from) {
        std::size_t at = text.find(wanted, from);
        return at == std::string::npos ? text.size() : at;
    };
    for (std::size_t pos = 0; pos < text.size();) {
        char c = text[pos];
        if (c == '{' && pos + 1 < text.size() && text[pos + 1] == '{') {
            emitText('{');
            pos += 2;
        } else if (c == '{') {
            // Neither can stand at pos, which holds the "{".
            if (lineEnd <= pos)
                lineEnd = nextAt('\n', pos);
            if (nextClose <= pos)
                nextClose = nextAt('}', pos);
            std::size_t close = nextClose;
            if (close == text.size() || close > lineEnd) {
                error("\"{\" without \"}\" on its line (write \"{{\" for a \"{\")");
                ++pos;
                continue;
            }
            std::string content = text.substr(pos + 1, close - pos - 1);
            pos = close + 1;
            if (content == NO_SEPARATOR) {
                // Only a line end may follow, so nothing is lost unseen.
                if (pos < text.size() && text.substr(pos) != "\n")
                    error("{no-separator} must end the source");
                article.separated = false;
                break;
            }
            tag(content);
        } else if (c == '\n') {
            if (open != Open::None) {
                error("the link opened on line " + std::to_string(openLine) + " is not closed on its line");
                closeLink(open);
            }
            endOfLine();
            article.text.push_back(LINE_FEED);
            ++line;
            ++pos;
        } else {
            std::size_t start = pos;
            std::uint32_t cp = 0;
            nextUtf8(text, pos, cp);
            for (char b : toCp1252(text.substr(start, pos - start), false))
                emitText(static_cast<std::uint8_t>(b));
        }
    }
}

// A link left open, and what the viewer will see of the record.
void Compiler::finish() {
    if (open != Open::None) {
        error("the link opened on line " + std::to_string(openLine) + " is not closed");
        closeLink(open);
    }
    endOfLine();
    // Title, header and line count as the viewer will see the record, which
    // for a verbatim one is the only way to know them.
    Article viewed = articleOfRecord(recordBytes(article));
    article.headerless = viewed.headerless;
    if (article.verbatim) {
        article.title = viewed.title;
        article.author = viewed.author;
    }
    article.lineCount = viewed.lineCount;
    if (viewed.textCut)
        warn("the text is longer than the " + std::to_string(TEXT_SIZE) +
             " bytes the viewer holds; it shows the first");
}

} // namespace

// Text mode eats 13 and 26, 158 ends the record, 10 counts as a line, and
// the three codes would confuse anyone reading the links back.
bool storableColourByte(std::uint8_t b) {
    return b != 0x0A && b != 0x0D && b != 0x1A && b != ARTICLE_SEPARATOR && b != ARTICLE_LINK_CODE &&
           b != COLOUR_CODE && b != MUSIC_LINK_CODE;
}

bool compileArticle(const ArticleSource &source, Article &article, Report &report) {
    return Compiler(source, article, report).run();
}

std::vector<std::uint8_t> recordBytes(const Article &article) {
    std::vector<std::uint8_t> out;
    if (article.verbatim) {
        // Everything came from the source.
    } else if (article.headerless) {
        out = {'d', LINE_FEED};
    } else {
        // The lead byte is never shown; a blank is neither "d" nor a line feed.
        out.push_back(' ');
        out.insert(out.end(), article.title.begin(), article.title.end());
        out.push_back(LINE_FEED);
        out.insert(out.end(), article.author.begin(), article.author.end());
        out.push_back(LINE_FEED);
        out.push_back(LINE_FEED);
    }
    out.insert(out.end(), article.text.begin(), article.text.end());
    return out;
}

bool loadArticleSources(const Folder &folder, std::vector<ArticleSource> &sources, Report &report) {
    std::vector<std::string> names;
    if (!folder.list(names)) {
        report.error(folder.path() + ": cannot read the folder");
        return false;
    }
    std::vector<std::pair<int, std::string>> found;
    {
        Listed misnamed(report, folder.path(), "/");
        for (const std::string &name : names) {
            if (name.size() < 5 || name.compare(name.size() - 4, 4, ".txt") != 0)
                continue;
            std::size_t digits = 0;
            int number = 0;
            while (digits < name.size() && name[digits] >= '0' && name[digits] <= '9' && number < 10000000)
                number = number * 10 + (name[digits++] - '0');
            if (digits == 0 || number == 0 || (digits < name.size() && name[digits] >= '0' && name[digits] <= '9')) {
                misnamed.error(name + ": an article source's name starts with its number, e.g. 01-inhalt.txt");
                continue;
            }
            found.emplace_back(number, name);
        }
    }
    if (found.size() > MAX_ARTICLES) {
        report.error(folder.path() + ": " + std::to_string(found.size()) +
                     " article sources; a link reaches no article past " + std::to_string(MAX_ARTICLES));
        return false;
    }
    std::sort(found.begin(), found.end());
    std::size_t total = 0;
    for (std::size_t i = 0; i < found.size(); ++i) {
        std::string path = folder.pathOf(found[i].second);
        if (found[i].first != static_cast<int>(i) + 1) {
            report.error(path + ": article numbers must run 1, 2, 3, ... without gaps; expected " +
                         std::to_string(i + 1));
            return false;
        }
        // Nothing beyond the limit for all of them together is ever read.
        std::vector<std::uint8_t> bytes;
        FileRead read = folder.read(found[i].second, bytes, MAX_SOURCE_BYTES - total);
        if (read.result == ReadResult::TooBig) {
            report.error(read.size > MAX_SOURCE_BYTES
                             ? path + ": larger than " + std::to_string(MAX_SOURCE_BYTES) +
                                   " bytes, more than the sources of a full archive need"
                             : folder.path() + ": the sources hold more than " + std::to_string(MAX_SOURCE_BYTES) +
                                   " bytes together, more than the sources of a full archive need");
            return false;
        }
        if (read.result != ReadResult::Ok) {
            report.error(folder.problem(read));
            return false;
        }
        total += bytes.size();
        sources.push_back({path, std::string(bytes.begin(), bytes.end())});
    }
    if (sources.empty())
        report.error(folder.path() + ": no article sources (NN-name.txt)");
    return report.ok();
}

bool loadArticleSources(const std::string &path, std::vector<ArticleSource> &sources, Report &report) {
    Folder folder;
    return givenFolder(path, folder, report) && loadArticleSources(folder, sources, report);
}

bool buildArchive(const std::vector<ArticleSource> &sources, std::vector<std::uint8_t> &archive, Report &report) {
    std::vector<Article> articles(sources.size());
    for (std::size_t i = 0; i < sources.size(); ++i) {
        compileArticle(sources[i], articles[i], report);
        if (!articles[i].separated && i + 1 < sources.size())
            report.error(sources[i].name + ": {no-separator} may only end the last article");
        if (i > 0 && articles[i].headerless)
            report.warn(sources[i].name + ": header-less; the viewer treats it as the contents page");
    }
    if (!articles.empty() && !articles[0].headerless)
        report.warn(sources[0].name + ": the contents page usually has no Title/Author header");
    for (std::size_t i = 0; i < articles.size(); ++i) {
        Listed links(report, sources[i].name);
        for (const ArticleLink &link : articles[i].links) {
            if (link.music)
                continue;
            if (link.target > static_cast<int>(articles.size()))
                links.error("a link to article " + std::to_string(link.target) + ", but there are " +
                            std::to_string(articles.size()));
            else if (link.line > articles[link.target - 1].lineCount)
                links.warn("a link to line " + std::to_string(link.line) + " of article " +
                           std::to_string(link.target) + ", which has " +
                           std::to_string(articles[link.target - 1].lineCount) + " lines");
        }
    }
    if (!report.ok())
        return false;
    archive.clear();
    for (const Article &article : articles) {
        std::vector<std::uint8_t> record = recordBytes(article);
        archive.insert(archive.end(), record.begin(), record.end());
        if (article.separated)
            archive.push_back(ARTICLE_SEPARATOR);
    }
    // The viewer's buffer keeps one byte for its end marker.
    if (archive.size() >= 1048576) {
        report.error("the archive has " + std::to_string(archive.size()) + " bytes; the viewer holds 1,048,575");
        return false;
    }
    return true;
}

} // namespace orbex
