// unpack, the reverse of archive: whatever bytes an archive holds, the
// sources unpack writes pack into the same bytes again, and the normal markup
// is used wherever it can say them.
#include <algorithm>
#include <random>

#include "articles.h"
#include "files.h"
#include "support/child.h"
#include "support/viewer_test.h"
#include "unpack.h"

namespace orbex::test {
namespace {

class Unpack : public ViewerTest {};

Bytes packed(const std::vector<ArticleSource> &sources, Report &report) {
    Bytes archive;
    EXPECT_TRUE(buildArchive(sources, archive, report)) << (report.ok() ? "" : report.errors.front());
    return archive;
}

// The archive packed from what unpack gives back for it.
Bytes roundTrip(const Bytes &archive, std::vector<ArticleSource> *sources = nullptr) {
    Report unpacked, repacked;
    std::vector<ArticleSource> found = unpackArchive(archive, unpacked);
    EXPECT_TRUE(unpacked.ok());
    Bytes again = packed(found, repacked);
    if (sources != nullptr)
        *sources = found;
    return again;
}

std::string sourceOf(const Bytes &archive, std::size_t article = 0) {
    Report report;
    std::vector<ArticleSource> sources = unpackArchive(archive, report);
    return article < sources.size() ? sources[article].text : "<none>";
}

// Archives that lean on every corner of the format: codes, digits, brackets,
// quotes, "$", braces, line ends, text-mode bytes and high bytes, plus pieces
// of well-formed links and headers that come out right only now and then.
class MarkupDenseBytes {
  public:
    explicit MarkupDenseBytes(unsigned seed) : random(seed) {}

    Bytes next() {
        Bytes out;
        std::size_t records = pick(6);
        for (std::size_t r = 0; r <= records; ++r) {
            header(out);
            std::size_t pieces = pick(40);
            for (std::size_t k = 0; k < pieces; ++k)
                piece(out);
            if (r < records || pick(3) != 0)
                out.push_back(0x9E);
        }
        return out;
    }

  private:
    std::mt19937 random;

    std::size_t pick(std::size_t n) { return std::uniform_int_distribution<std::size_t>(0, n - 1)(random); }
    std::uint8_t dense() {
        static const std::uint8_t alphabet[] = {0x9E, 0x9F, 0xA2, 0xA8, ']',  ']', '(',  ')',  ' ',  '0',  '1',
                                                '5',  '9',  '"',  '$',  '{',  '}', 0x0D, 0x0A, 0x0A, 0x1A, 0x81,
                                                0x9D, 0xE4, 0xFF, 0x00, 0x09, 'd', 'T',  'x',  '#'};
        return pick(4) == 0 ? static_cast<std::uint8_t>(pick(256)) : alphabet[pick(sizeof alphabet)];
    }
    void text(Bytes &out, std::size_t n, bool dense) {
        for (std::size_t k = 0; k < n; ++k)
            out.push_back(dense ? this->dense() : static_cast<std::uint8_t>("abc xyz"[pick(7)]));
    }
    void colours(Bytes &out, std::size_t n) {
        for (std::size_t k = 0; k < n; ++k)
            out.push_back(pick(3) == 0 ? dense() : static_cast<std::uint8_t>(0x20 + pick(200)));
    }
    void header(Bytes &out) {
        switch (pick(5)) {
        case 0:
            out.insert(out.end(), {'d', 0x0A});
            break;
        case 1: // the form archive writes, now and then with an odd byte in it
            out.push_back(pick(4) == 0 ? dense() : ' ');
            text(out, 1 + pick(52), pick(4) == 0);
            out.push_back(0x0A);
            text(out, pick(52), pick(4) == 0);
            out.insert(out.end(), {0x0A, 0x0A});
            break;
        case 2:
            text(out, pick(4), true);
            break;
        default:
            break;
        }
        if (pick(4) == 0)
            out.insert(out.end(), pick(3), 0x0A);
    }
    void piece(Bytes &out) {
        switch (pick(8)) {
        case 0: { // an article link, sometimes well formed
            out.push_back(0x9F);
            out.push_back(pick(5) == 0 ? dense() : '(');
            std::string n = std::to_string(pick(12) + (pick(4) == 0 ? 0 : 1));
            std::string l = std::to_string(pick(4) == 0 ? pick(100) : pick(10));
            std::string numbers = n + (n.size() == 2 ? "] " : ") ") + l + (l.size() == 2 ? "]" : ")");
            for (char c : numbers)
                out.push_back(pick(12) == 0 ? dense() : static_cast<std::uint8_t>(c));
            colours(out, 6);
            text(out, pick(90), pick(3) == 0);
            if (pick(4) != 0)
                out.push_back(0x9F);
            break;
        }
        case 1: { // a music link
            out.push_back(0xA8);
            text(out, pick(18), pick(3) == 0);
            if (pick(4) != 0)
                out.push_back('"');
            colours(out, 6);
            text(out, pick(90), pick(3) == 0);
            if (pick(4) != 0)
                out.push_back(0xA8);
            break;
        }
        case 2:
            out.push_back(0xA2);
            colours(out, pick(4) + 1);
            break;
        default:
            text(out, pick(12), pick(2) == 0);
        }
    }
};

// --- The property ------------------------------------------------------------

TEST_F(Unpack, EveryByteStringPacksIntoItselfAgain) {
    MarkupDenseBytes bytes(20240601);
    for (int i = 0; i < 1500; ++i) {
        Bytes archive = bytes.next();
        std::vector<ArticleSource> sources;
        Bytes again = roundTrip(archive, &sources);
        ASSERT_EQ(again, archive) << "case " << i << ", sources:\n"
                                  << [&] {
                                         std::string all;
                                         for (const ArticleSource &s : sources)
                                             all += "--- " + s.name + "\n" + s.text + "\n";
                                         return all;
                                     }();
    }
}

TEST_F(Unpack, UniformRandomAndEdgeArchivesPackIntoThemselves) {
    std::mt19937 random(99);
    for (int i = 0; i < 500; ++i) {
        Bytes archive(std::uniform_int_distribution<std::size_t>(0, 300)(random));
        for (std::uint8_t &b : archive)
            b = static_cast<std::uint8_t>(random());
        ASSERT_EQ(roundTrip(archive), archive) << i;
    }
    // Nothing at all; only separators; one long text past the viewer's buffer;
    // more articles than two digits number.
    for (const Bytes &archive : {Bytes{}, Bytes(1, 0x9E), Bytes(3, 0x9E), Bytes{'d'}, Bytes{0x0A}, Bytes{0x0D, 0x0A}})
        EXPECT_EQ(roundTrip(archive), archive) << archive.size();
    Bytes longText = bytesOf("d\n");
    for (int k = 0; k < 70000; ++k)
        longText.push_back(static_cast<std::uint8_t>(k % 97 == 0 ? '\n' : 'a' + k % 26));
    longText.push_back(0x9E);
    EXPECT_EQ(roundTrip(longText), longText);
    std::vector<ArticleSource> sources;
    Bytes many(150, 0x9E);
    EXPECT_EQ(roundTrip(many, &sources), many);
    ASSERT_EQ(sources.size(), 150u);
    EXPECT_EQ(sources[0].name.substr(0, 4), "001-");
    EXPECT_EQ(sources[149].name.substr(0, 4), "150-");
}

// --- Readable where it can be -----------------------------------------------

TEST_F(Unpack, WellFormedArchivesComeBackInThePlainMarkup) {
    std::vector<ArticleSource> written = {
        {"01-inhalt.txt", "{colour #FFC850}Inhalt{colour #FFFFFF}\n\n"
                          "{link 2 0 #102030 #405060}Erster{/link} {link 2 12 #000000 #FFFFFF}{{Weit}{/link}\n"
                          "{music modul2.xm #10FF20 #FFFF60}Musik{/music}\n"},
        {"02-gruesse.txt", "Title: Gr\xC3\xBC\xC3\x9F"
                           "e {aus} Br\xC3\xBC\x73sel\nAuthor: \n\nText {{ und } \xE2\x82\xAC.\n"},
    };
    Report report;
    Bytes archive = packed(written, report);
    std::vector<ArticleSource> sources;
    EXPECT_EQ(roundTrip(archive, &sources), archive);
    ASSERT_EQ(sources.size(), 2u);
    EXPECT_EQ(sources[0].name, "01-contents.txt");
    EXPECT_EQ(sources[0].text, written[0].text);
    EXPECT_EQ(sources[1].name, "02-gruesse-aus-bruessel.txt");
    EXPECT_EQ(sources[1].text, written[1].text);
}

TEST_F(Unpack, WhatTheMarkupCannotSayIsEscaped) {
    struct Case {
        const char *what;
        std::string archive;
        std::string source;
    } cases[] = {
        {"a byte without a character, a tab, a carriage return", "d\na\x81\tb\r\n\x9E", "a{raw 81 09}b{raw 0D}\n"},
        {"0x1A, where the viewer stops reading", std::string("d\nend\x1A more\x9E", 12), "end{raw 1A} more"},
        {"a colour code near the end", "d\nab\xA2\x01\x02\x9E", "ab{raw A2 01 02}"},
        {"colour bytes archive would nudge", "d\n\xA2\x0A\x20\x30x\x9E", "{raw A2 0A 20 30}x"},
        {"a second colour code at once, drawn as a glyph", "d\n\xA2\x01\x02\x03\xA2xyz\x9E",
         "{colour #010203}{raw A2}xyz"},
        {"an article link without its closing code", "d\n\x9F(1) 0)abcdefLink\x9E",
         "{raw 9F 28 31 29 20 30 29 61 62 63 64 65 66}Link"},
        {"an article link with odd digits", "d\n\x9F(x) 0)abcdefLink\x9Fmore\x9E",
         "{raw 9F 28 78 29 20 30 29 61 62 63 64 65 66}Link{raw 9F}more"},
        {"a link to an article that is not there", "d\n\x9F(7) 0)abcdefLink\x9F\x9E",
         "{raw 9F 28 37 29 20 30 29 61 62 63 64 65 66}Link{raw 9F}"},
        // The viewer reads "5]" as a line of two digits: its text starts a byte later.
        {"a normal blue that reads as \"]\"", "d\n\x9F(1) 5)]bcdefLink\x9F\x9E",
         "{raw 9F 28 31 29 20 35 29 5D 62 63 64 65 66 4C}ink{raw 9F}"},
        {"a music link without its closing code", "d\n\xA8song.xm\"abcdefTune\n\x9E",
         "{raw A8 73 6F 6E 67 2E 78 6D 22 61 62 63 64 65 66}Tune{raw 0A}"},
        {"a music file name with a blank", "d\n\xA8my song.xm\"abcdefTune\xA8\x9E",
         "{raw A8 6D 79 20 73 6F 6E 67 2E 78 6D 22 61 62 63 64}{raw 65 66}Tune{raw A8}"},
        {"a first line the tool would take for a header", "d\nTitle: no header\x9E", "{raw 54}itle: no header"},
        {"empty lines that archive would drop", "d\n\n\ntext\x9E", "{raw 0A 0A}text"},
        {"a lead byte of its own", "xTitel\nAutor\n\nText\x9E", "{verbatim}\nxTitel\nAutor\n\nText"},
        {"an empty title", " \nAutor\n\nText\x9E", "{verbatim}\n \nAutor\n\nText"},
        {"a title with $", " Preis $5\nAutor\n\nText\x9E", "{verbatim}\n Preis $5\nAutor\n\nText"},
        {"a 50-byte title", " " + std::string(50, 'T') + "\nAutor\n\nText\x9E",
         "{verbatim}\n " + std::string(50, 'T') + "\nAutor\n\nText"},
        {"no empty line after the author", " Titel\nAutor\nText\x9E", "{verbatim}\n Titel\nAutor\nText"},
        {"codes in a header line", " Ti\xA2tel\nAutor\n\n\xA2\x01\x02\x03Text\x9E",
         "{verbatim}\n Ti{raw A2}tel\nAutor\n\n{colour #010203}Text"},
    };
    for (const Case &c : cases) {
        Bytes archive = bytesOf(c.archive);
        EXPECT_EQ(sourceOf(archive), c.source) << c.what;
        EXPECT_EQ(roundTrip(archive), archive) << c.what;
    }
}

TEST_F(Unpack, BytesAfterTheLastSeparatorEndInNoSeparator) {
    Report report;
    std::vector<ArticleSource> sources = unpackArchive(bytesOf("d\nfirst\n\x9E tail"), report);
    ASSERT_EQ(sources.size(), 2u);
    EXPECT_EQ(sources[1].text, "{verbatim}\n tail{no-separator}\n");
    ASSERT_EQ(report.warnings.size(), 1u);
    EXPECT_NE(report.warnings[0].find("after the last separator"), std::string::npos);
    sources = unpackArchive(bytesOf("d\nno separator at all"), report);
    ASSERT_EQ(sources.size(), 1u);
    EXPECT_EQ(sources[0].text, "no separator at all{no-separator}\n");

    // archive allows it only at the end of the last source.
    Bytes archive;
    Report refused;
    EXPECT_FALSE(buildArchive({{"01-a.txt", "a{no-separator}\n"}, {"02-b.txt", "b"}}, archive, refused));
    EXPECT_FALSE(buildArchive({{"01-a.txt", "a{no-separator}b"}}, archive, refused));
    EXPECT_FALSE(buildArchive({{"01-a.txt", "a{raw 9E}"}}, archive, refused));
    EXPECT_FALSE(buildArchive({{"01-a.txt", "a{raw 9}"}}, archive, refused));
    EXPECT_EQ(refused.errors.size(), 4u);
}

// --- The commands ----------------------------------------------------------------

TEST_F(Unpack, TheSampleArchiveUnpacksIntoItsSources) {
    ChildResult run = runChild({ORBEX_TOOL_BINARY, "unpack", ORBEX_SAMPLE_MAGAZINE "/data/orbex.dat", "src"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "");
    std::vector<std::filesystem::path> original, unpacked;
    for (const auto &e : std::filesystem::directory_iterator(ORBEX_MAGAZINE_SOURCES "/articles"))
        original.push_back(e.path());
    for (const auto &e : std::filesystem::directory_iterator("src"))
        unpacked.push_back(e.path());
    std::sort(original.begin(), original.end());
    std::sort(unpacked.begin(), unpacked.end());
    ASSERT_EQ(unpacked.size(), original.size());
    for (std::size_t i = 0; i < original.size(); ++i) {
        // Same number, same text; the name comes from the title.
        EXPECT_EQ(unpacked[i].filename().string().substr(0, 3), original[i].filename().string().substr(0, 3));
        EXPECT_EQ(readText(unpacked[i]), readText(original[i])) << original[i];
    }
    EXPECT_EQ(unpacked[1].filename(), "02-bedienung.txt");
    run = runChild({ORBEX_TOOL_BINARY, "archive", "src", "again.dat"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(readFile("again.dat"), readFile(ORBEX_SAMPLE_MAGAZINE "/data/orbex.dat"));
}

TEST_F(Unpack, TextModeBytesRoundTripThroughTheCommandsWithWarnings) {
    Bytes odd = bytesOf("d\nline\r\nmore\x1A\x9E xHeader\nA\n\nT\x9E tail");
    writeFile("odd.dat", odd);
    ChildResult run = runChild({ORBEX_TOOL_BINARY, "unpack", "odd.dat", "src"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.err.find("0x0D at offset 6: the viewer drops it"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("0x1A at offset 12: the viewer stops reading"), std::string::npos) << run.err;
    run = runChild({ORBEX_TOOL_BINARY, "archive", "src", "again.dat"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.err.find("{raw 0D}: the viewer reads the archive in text mode and drops"), std::string::npos);
    EXPECT_EQ(readFile("again.dat"), odd);

    // Sources are never mixed into an existing set, and nothing bigger than
    // the viewer reads is taken apart.
    run = runChild({ORBEX_TOOL_BINARY, "unpack", "odd.dat", "src"});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("already holds article sources"), std::string::npos) << run.err;
    writeFile("big.dat", Bytes(1u << 20, 'x'));
    run = runChild({ORBEX_TOOL_BINARY, "unpack", "big.dat", "other"});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("big.dat: larger than 1048575 bytes"), std::string::npos) << run.err;
}

} // namespace
} // namespace orbex::test
