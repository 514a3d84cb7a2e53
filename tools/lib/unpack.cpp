#include "unpack.h"

#include <algorithm>
#include <cstdio>

#include "common/linkheader.h"
#include "encoding.h"
#include "files.h"
#include "shell/magazine.h"

namespace orbex {

namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr std::uint8_t LINE_FEED = 0x0A;
// Raw bytes per {raw ...}, so long runs stay readable.
constexpr std::size_t RAW_PER_TAG = 16;

// A byte the sources can hold as a character of its own.
bool plainByte(std::uint8_t b) {
    return b >= 0x20 && b != 0x7F && cp1252CodePoint(b) != 0 && b != ARTICLE_SEPARATOR && b != ARTICLE_LINK_CODE &&
           b != COLOUR_CODE && b != MUSIC_LINK_CODE;
}

bool digit(int b) { return b >= '0' && b <= '9'; }

std::string hexColour(int red, int green, int blue) {
    char text[8];
    std::snprintf(text, sizeof text, "#%02X%02X%02X", red, green, blue);
    return text;
}

// The source text being written; raw bytes are gathered into {raw ...}.
class Writer {
  public:
    std::string text;

    void raw(std::uint8_t b) {
        if (pending.size() == RAW_PER_TAG)
            flush();
        pending.push_back(b);
    }
    void markup(const std::string &s) {
        flush();
        text += s;
    }
    // A byte of text: itself, "{{", a line end, or raw.
    void byte(std::uint8_t b, bool lineFeedAsLine) {
        if (b == '{')
            markup("{{");
        else if (plainByte(b))
            markup(utf8Of(cp1252CodePoint(b)));
        else if (b == LINE_FEED && lineFeedAsLine)
            markup("\n");
        else
            raw(b);
    }
    void flush() {
        if (pending.empty())
            return;
        text += "{raw";
        for (std::uint8_t b : pending) {
            char hex[4];
            std::snprintf(hex, sizeof hex, " %02X", b);
            text += hex;
        }
        text += "}";
        pending.clear();
    }

  private:
    Bytes pending;
};

// One record written as markup; the archive's article count decides which
// article links the markup can say.
class RecordWriter {
  public:
    RecordWriter(const Bytes &record, std::size_t articles) : r(record), articles(articles) {}

    Writer out;

    // The text from i on, read as the page layout reads it.
    void markupText(std::size_t i) {
        bool afterColour = false;
        while (i < r.size()) {
            std::uint8_t b = r[i];
            // The byte right after a colour code is never read as another.
            if (b == COLOUR_CODE && !afterColour) {
                i = colour(i);
                afterColour = true;
                continue;
            }
            afterColour = false;
            if (b == ARTICLE_LINK_CODE)
                i = articleLink(i);
            else if (b == MUSIC_LINK_CODE)
                i = musicLink(i);
            else
                out.byte(r[i++], true);
        }
    }

    // Header lines, which the viewer shows without reading any codes.
    void plainText(std::size_t from, std::size_t to) {
        for (std::size_t i = from; i < to && i < r.size(); ++i)
            out.byte(r[i], true);
    }

  private:
    const Bytes &r;
    std::size_t articles;

    int at(std::size_t k) const { return k < r.size() ? r[k] : -1; }
    auto byteAt() const {
        return [this](std::size_t k) { return at(k); };
    }
    bool storable(std::size_t k) const { return k < r.size() && storableColourByte(r[k]); }

    void rawRange(std::size_t from, std::size_t to) {
        for (std::size_t k = from; k < to && k < r.size(); ++k)
            out.raw(r[k]);
    }

    std::size_t colour(std::size_t i) {
        if (storable(i + 1) && storable(i + 2) && storable(i + 3)) {
            out.markup("{colour " + hexColour(r[i + 1], r[i + 2], r[i + 3]) + "}");
        } else {
            rawRange(i, i + 4);
        }
        return std::min(i + 4, r.size());
    }

    // Link text is drawn on one line whatever it holds, so line feeds stay raw.
    void linkText(std::size_t from, std::size_t to) {
        for (std::size_t k = from; k < to; ++k)
            out.byte(r[k], false);
    }

    // Where the text of a link starting at i closes: the offset of the
    // closing code within 80 bytes, or none.
    std::size_t closing(std::size_t text, std::uint8_t code) const {
        for (std::size_t k = 0; k <= std::size_t{LINK_TEXT_MAX}; ++k)
            if (at(text + k) == code)
                return text + k;
            else if (at(text + k) < 0)
                break;
        return std::string::npos;
    }

    // What the viewer takes as link text after a header it read, and the
    // byte after it, which it skips; all written as bytes, not as a link.
    std::size_t oddLinkRest(std::size_t text, std::uint8_t code) {
        std::size_t from = std::min(text, r.size()), k = from;
        while (k < r.size() && k - from < std::size_t{LINK_TEXT_MAX} && r[k] != code)
            ++k;
        linkText(from, k);
        rawRange(k, k + 1);
        return std::min(k + 1, r.size());
    }

    std::size_t articleLink(std::size_t i) {
        // The form archive writes: "(N) L)" with one digit each, "(NN] LL]" with two.
        std::size_t p = i + 2, colours = 0;
        int target = -1, line = -1;
        bool twoDigitLine = false;
        if (at(i + 1) == '(') {
            if (digit(at(p)) && at(p) != '0' && digit(at(p + 1)) && at(p + 2) == ']' && at(p + 3) == ' ') {
                target = (at(p) - '0') * 10 + at(p + 1) - '0';
                p += 4;
            } else if (digit(at(p)) && at(p) != '0' && at(p + 1) == ')' && at(p + 2) == ' ') {
                target = at(p) - '0';
                p += 3;
            }
            if (target > 0 && digit(at(p)) && at(p) != '0' && digit(at(p + 1)) && at(p + 2) == ']') {
                line = (at(p) - '0') * 10 + at(p + 1) - '0';
                twoDigitLine = true;
                colours = p + 3;
            } else if (target > 0 && digit(at(p)) && at(p + 1) == ')') {
                line = at(p) - '0';
                colours = p + 2;
            }
        }
        bool canonical = line >= 0 && static_cast<std::size_t>(target) <= articles;
        for (std::size_t c = 0; canonical && c < 6; ++c)
            canonical = storable(colours + c);
        // With one digit, a "]" as the normal blue would read as a second digit.
        canonical = canonical && (twoDigitLine || at(colours) != ']');
        std::size_t end = canonical ? closing(colours + 6, ARTICLE_LINK_CODE) : std::string::npos;
        if (end != std::string::npos) {
            out.markup("{link " + std::to_string(target) + " " + std::to_string(line) + " " +
                       hexColour(r[colours + 2], r[colours + 1], r[colours]) + " " +
                       hexColour(r[colours + 5], r[colours + 4], r[colours + 3]) + "}");
            linkText(colours + 6, end);
            out.markup("{/link}");
            return end + 1;
        }
        // The header as the viewer reads it, whatever its bytes.
        const std::size_t text = readArticleHeader(byteAt(), i).text;
        rawRange(i, text);
        return oddLinkRest(text, ARTICLE_LINK_CODE);
    }

    std::size_t musicLink(std::size_t i) {
        // The quote, or the byte the viewer skips after a name without one.
        const std::size_t quote = readMusicHeader(byteAt(), i).text - 7;
        bool canonical = at(quote) == '"' && quote > i + 1;
        // The name is one word of the tag.
        for (std::size_t k = i + 1; canonical && k < quote; ++k)
            canonical = plainByte(r[k]) && r[k] != ' ' && r[k] != '}';
        for (std::size_t c = 1; canonical && c <= 6; ++c)
            canonical = storable(quote + c);
        std::size_t end = canonical ? closing(quote + 7, MUSIC_LINK_CODE) : std::string::npos;
        if (end != std::string::npos) {
            std::string name;
            for (std::size_t k = i + 1; k < quote; ++k)
                name += utf8Of(cp1252CodePoint(r[k]));
            out.markup("{music " + name + " " + hexColour(r[quote + 3], r[quote + 2], r[quote + 1]) + " " +
                       hexColour(r[quote + 6], r[quote + 5], r[quote + 4]) + "}");
            linkText(quote + 7, end);
            out.markup("{/music}");
            return end + 1;
        }
        // The viewer skips the quote, or the 16th byte of a name without one.
        rawRange(i, quote + 7);
        return oddLinkRest(quote + 7, MUSIC_LINK_CODE);
    }
};

// A title or author line of the form archive writes: 0 to 49 characters
// without "$", no blank at either end, ended by a line feed. end gets the
// line feed's offset.
bool headerLine(const Bytes &r, std::size_t from, bool mayBeEmpty, std::size_t &end) {
    end = from;
    while (end < r.size() && r[end] != LINE_FEED) {
        if (!plainByte(r[end]) || r[end] == '$')
            return false;
        ++end;
    }
    std::size_t length = end - from;
    return end < r.size() && length <= MAX_HEADER_LINE && (mayBeEmpty || length > 0) &&
           (length == 0 || (r[from] != ' ' && r[end - 1] != ' '));
}

// Where the viewer's text starts in a record read on its own.
std::size_t textStart(const Bytes &r) {
    auto byte = [&](std::size_t p) -> int { return p < r.size() ? r[p] : -1; };
    std::size_t p = 0;
    if (byte(0) == 'd' || byte(1) == LINE_FEED) {
        p = 2;
    } else {
        for (int field = 0; field < 2; ++field)
            for (std::size_t k = 0; k < HEADER_FIELD_SIZE; ++k)
                if (byte(++p) == LINE_FEED)
                    break;
    }
    for (int k = 0; k < 50 && byte(p) == LINE_FEED; ++k)
        ++p;
    return std::min(p, r.size());
}

std::string headerText(const Bytes &r, std::size_t from, std::size_t to) {
    std::string text;
    for (std::size_t k = from; k < to; ++k)
        text += utf8Of(cp1252CodePoint(r[k]));
    return text;
}

// A record as its source; title gets what names the file.
std::string recordSource(const Bytes &r, std::size_t articles, bool first, std::string &title) {
    RecordWriter writer(r, articles);
    std::size_t titleEnd = 0, authorEnd = 0, body = 0;
    bool headerless = r.size() >= 2 && r[0] == 'd' && r[1] == LINE_FEED;
    bool header = !headerless && !r.empty() && r[0] == ' ' && headerLine(r, 1, false, titleEnd) &&
                  headerLine(r, titleEnd + 1, true, authorEnd) && authorEnd + 1 < r.size() &&
                  r[authorEnd + 1] == LINE_FEED;
    if (headerless) {
        body = 2;
        title = first ? "contents" : "page";
    } else if (header) {
        title = headerText(r, 1, titleEnd);
        writer.out.markup("Title: " + title + "\nAuthor: " + headerText(r, titleEnd + 1, authorEnd) + "\n\n");
        body = authorEnd + 2;
    } else {
        // Any other start is given byte for byte; the viewer's header lines
        // are plain text, its text markup.
        std::size_t start = textStart(r);
        writer.out.markup("{verbatim}\n");
        writer.plainText(0, start);
        writer.markupText(start);
        writer.out.flush();
        title = "record";
        return writer.out.text;
    }
    // archive drops empty lines before the text, and would take a first
    // line "Title:" for a header.
    while (body < r.size() && r[body] == LINE_FEED)
        writer.out.raw(r[body++]);
    if (headerless && r.size() - body >= 6 &&
        std::equal(r.begin() + static_cast<std::ptrdiff_t>(body), r.begin() + static_cast<std::ptrdiff_t>(body + 6),
                   "Title:"))
        writer.out.raw(r[body++]);
    writer.markupText(body);
    writer.out.flush();
    return writer.out.text;
}

// Lower-case letters and digits joined by "-", umlauts spelt out.
std::string slugOf(const std::string &utf8) {
    std::string slug;
    for (std::size_t pos = 0; pos < utf8.size();) {
        std::uint32_t cp = 0;
        if (!nextUtf8(utf8, pos, cp))
            continue;
        std::string part;
        if ((cp >= 'a' && cp <= 'z') || (cp >= '0' && cp <= '9'))
            part = static_cast<char>(cp);
        else if (cp >= 'A' && cp <= 'Z')
            part = static_cast<char>(cp - 'A' + 'a');
        else if (cp == 0xE4 || cp == 0xC4)
            part = "ae";
        else if (cp == 0xF6 || cp == 0xD6)
            part = "oe";
        else if (cp == 0xFC || cp == 0xDC)
            part = "ue";
        else if (cp == 0xDF)
            part = "ss";
        if (part.empty()) {
            if (!slug.empty() && slug.back() != '-')
                slug += '-';
        } else {
            slug += part;
        }
        if (slug.size() >= 32)
            break;
    }
    while (!slug.empty() && slug.back() == '-')
        slug.pop_back();
    return slug.empty() ? "article" : slug;
}

void noteTextModeBytes(const Bytes &archive, Report &report) {
    for (std::uint8_t b : {std::uint8_t{0x0D}, std::uint8_t{0x1A}}) {
        auto found = std::find(archive.begin(), archive.end(), b);
        if (found != archive.end())
            report.warn("byte " + std::string(b == 0x0D ? "0x0D" : "0x1A") + " at offset " +
                        std::to_string(found - archive.begin()) +
                        (b == 0x0D ? ": the viewer drops it when it reads the archive"
                                   : ": the viewer stops reading the archive there") +
                        "; kept as {raw ...}");
    }
}

} // namespace

std::vector<ArticleSource> unpackArchive(const std::vector<std::uint8_t> &archive, Report &report) {
    // Records past the last one a link can reach are never shown; an archive
    // of them is refused before anything is made of it.
    std::size_t separators = static_cast<std::size_t>(std::count(archive.begin(), archive.end(), ARTICLE_SEPARATOR));
    std::size_t count = separators > 0 && archive.back() == ARTICLE_SEPARATOR ? separators : separators + 1;
    if (count > MAX_ARTICLES) {
        report.error(std::to_string(count) + " articles; a link reaches no article past " +
                     std::to_string(MAX_ARTICLES) + ", so unpack takes archives of at most " +
                     std::to_string(MAX_ARTICLES));
        return {};
    }
    noteTextModeBytes(archive, report);
    std::vector<Bytes> records(1);
    for (std::uint8_t b : archive)
        if (b == ARTICLE_SEPARATOR)
            records.emplace_back();
        else
            records.back().push_back(b);
    // The stretch after the last separator is an article of its own when it
    // holds anything, or when there is no separator at all.
    bool lastSeparated = records.size() > 1 && records.back().empty();
    if (lastSeparated)
        records.pop_back();
    else if (records.size() > 1)
        report.warn("bytes after the last separator; they become the last article, ending in {no-separator}");

    std::size_t width = std::max<std::size_t>(2, std::to_string(records.size()).size());
    std::vector<ArticleSource> sources;
    sources.reserve(records.size());
    for (std::size_t i = 0; i < records.size(); ++i) {
        std::string title;
        std::string text = recordSource(records[i], records.size(), i == 0, title);
        if (i + 1 == records.size() && !lastSeparated)
            text += "{no-separator}\n";
        std::string number = std::to_string(i + 1);
        number.insert(0, width - number.size(), '0');
        sources.push_back({number + "-" + slugOf(title) + ".txt", text});
    }
    return sources;
}

namespace {

// The archive file, or the archive of the zip magazine it names. archive
// never writes more than the viewer reads, so neither can it give more back.
bool readArchive(const std::string &path, Bytes &archive, Report &report) {
    if (!isZipName(path) || !Folder::isFile(path))
        return readInput(path, archive, report, ARCHIVE_SIZE - 1);
    Folder zip;
    std::string why;
    if (!Folder::zipped(path, zip, why)) {
        report.error(why);
        return false;
    }
    FileRead read = zip.read("data/orbex.dat", archive, ARCHIVE_SIZE - 1);
    if (read.result != ReadResult::Ok)
        report.error(zip.problem(read, ARCHIVE_SIZE - 1));
    return read.result == ReadResult::Ok;
}

} // namespace

bool unpackArchiveFile(const std::string &archivePath, const std::string &folder, Report &report) {
    Bytes archive;
    if (!readArchive(archivePath, archive, report))
        return false;
    Report found;
    std::vector<ArticleSource> sources = unpackArchive(archive, found);
    for (const std::string &w : found.warnings)
        report.warn(archivePath + ": " + w);
    for (const std::string &e : found.errors)
        report.error(archivePath + ": " + e);
    if (!found.ok())
        return false;
    Folder out;
    std::string why;
    std::vector<std::string> names;
    if (!Folder::made(folder, out, why) || !out.list(names)) {
        report.error(why.empty() ? folder + ": cannot read the folder" : why);
        return false;
    }
    for (const std::string &name : names)
        if (!name.empty() && digit(static_cast<unsigned char>(name[0])) && name.size() > 4 &&
            name.compare(name.size() - 4, 4, ".txt") == 0) {
            report.error(folder + ": already holds article sources (" + name + "); unpack into a new folder");
            return false;
        }
    for (const ArticleSource &source : sources)
        if (!out.write(source.name, Bytes(source.text.begin(), source.text.end()), why)) {
            report.error(why);
            return false;
        }
    return true;
}

} // namespace orbex
