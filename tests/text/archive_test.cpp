// The article archive: reading it in text mode, taking a record's header
// apart, copying its text, and writing it to "save.txt".
#include <sys/stat.h>

#include <algorithm>
#include <string>

#include "support/viewer_test.h"
#include "text/archive.h"

namespace orbex::test {
namespace {

const std::string SEP = "\x9E";

class ArchiveTest : public ViewerTest {
  protected:
    static void load(const std::string &file) {
        writeFile("data/orbex.dat", file);
        loadArchive();
    }
    static std::string text() {
        return std::string(reinterpret_cast<const char *>(szText.data()), static_cast<std::size_t>(nTextLength));
    }
    static std::string title() { return std::string(szTitle.data()); }
    static std::string author() { return std::string(szAuthor.data()); }
    // Every byte of szText behind the text is zero.
    static bool zeroBehindText() {
        return std::all_of(szText.begin() + nTextLength, szText.end(), [](std::uint8_t b) { return b == 0; });
    }
};

TEST_F(ArchiveTest, LoadKeepsTheBytesThenTheEndMarker) {
    load("ab\r\ncd\r\r\n" + SEP);
    const std::string expected = "ab\ncd\r\n" + SEP + "\xFF";
    EXPECT_EQ(std::string(ArticleArchive.begin(), ArticleArchive.begin() + 9), expected);
    EXPECT_TRUE(std::all_of(ArticleArchive.begin() + 9, ArticleArchive.end(), [](std::uint8_t b) { return b == 0; }));
}

TEST_F(ArchiveTest, ByteTwentySixEndsTheFile) {
    load("xT\nA\nText\x1A more" + SEP + "yU\nB\nTwo" + SEP);
    EXPECT_EQ(ArticleArchive[9], 0xFF);
    EXPECT_EQ(ArticleArchive[10], 0);
    selectArticle(1);
    EXPECT_EQ(text(), "Text");
    selectArticle(2);
    EXPECT_EQ(nTextLength, 0);
    // A 26 right behind a dropped carriage return ends it too.
    resetViewer();
    load("xT\nA\nAB\r\x1A"
         "CD");
    EXPECT_EQ(ArticleArchive[7], 0xFF);
}

TEST_F(ArchiveTest, RecordWithHeader) {
    load("#Titel\nAutor\n\n\nErste Zeile\nZweite\n" + SEP + "xZwei\nB\nText" + SEP);
    nArticle = 5;
    selectArticle(1);
    EXPECT_EQ(title(), "Titel");
    EXPECT_EQ(nTitleLength, 5);
    EXPECT_EQ(author(), "Autor");
    EXPECT_EQ(text(), "Erste Zeile\nZweite\n");
    EXPECT_EQ(nLineCount, 2);
    EXPECT_EQ(nArticle, 5); // the caller's number stays
    EXPECT_TRUE(zeroBehindText());

    selectArticle(2);
    EXPECT_EQ(title(), "Zwei");
    EXPECT_EQ(author(), "B");
    EXPECT_EQ(text(), "Text");
    EXPECT_EQ(nLineCount, 0);
}

TEST_F(ArchiveTest, LeadByteDMakesAContentsPage) {
    load("d\n\nInhalt\n" + SEP + "dZ\n\n\nMehr\n" + SEP + "d" + SEP);
    nArticle = 9;
    selectArticle(1);
    EXPECT_EQ(nArticle, 1);
    EXPECT_EQ(title(), "");
    EXPECT_EQ(author(), "");
    EXPECT_EQ(text(), "Inhalt\n");

    // The byte after the "d" is skipped, whatever it is.
    nArticle = 2;
    selectArticle(2);
    EXPECT_EQ(nArticle, 1);
    EXPECT_EQ(text(), "Mehr\n");
    EXPECT_EQ(nLineCount, 1);

    // Skipping two bytes steps over the separator into the next record.
    selectArticle(3);
    EXPECT_EQ(nTextLength, 0);
}

TEST_F(ArchiveTest, EmptyTitleLineIsHeaderLess) {
    load("xLang\nAutor\nText\n" + SEP + "x\nAutor\nText\n" + SEP);
    selectArticle(1);
    ASSERT_EQ(nTitleLength, 4);
    nArticle = 2;
    selectArticle(2);
    EXPECT_EQ(nArticle, 1);
    EXPECT_EQ(title(), "");
    EXPECT_EQ(author(), "");
    EXPECT_EQ(nTitleLength, 4); // kept from the last record with a header
    EXPECT_EQ(text(), "Autor\nText\n");
    EXPECT_EQ(nLineCount, 2);
}

TEST_F(ArchiveTest, TitleOfExactlyFiftyCharacters) {
    const std::string fifty(50, 'T');
    load("x" + fifty + "\nAutor\nText" + SEP);
    selectArticle(1);
    EXPECT_EQ(title(), fifty);
    EXPECT_EQ(nTitleLength, 50);
    EXPECT_EQ(author(), "");
    EXPECT_EQ(text(), "Autor\nText");
    EXPECT_EQ(nLineCount, 1);
}

TEST_F(ArchiveTest, LongerTitleRunsIntoTheAuthor) {
    load("x" + std::string(50, 'T') + "Rest\nAutor\nText" + SEP);
    selectArticle(1);
    EXPECT_EQ(title(), std::string(50, 'T'));
    EXPECT_EQ(author(), "Rest");
    EXPECT_EQ(text(), "Autor\nText");

    // A hundred characters fill both fields; the 100th also starts the text.
    resetViewer();
    load("x" + std::string(50, 'T') + std::string(49, 'A') + "Z\nAutor\nText" + SEP);
    selectArticle(1);
    EXPECT_EQ(author(), std::string(49, 'A') + "Z");
    EXPECT_EQ(text(), "Z\nAutor\nText");
}

TEST_F(ArchiveTest, LongAuthorShareItsLastCharacterWithTheText) {
    load("xTitel\n" + std::string(49, 'A') + "BCD\n\n\nText" + SEP);
    selectArticle(1);
    EXPECT_EQ(author(), std::string(49, 'A') + "B");
    EXPECT_EQ(text(), "BCD\n\n\nText");
    EXPECT_EQ(nLineCount, 3);
}

TEST_F(ArchiveTest, AtMostFortyNineEmptyLinesAreSkipped) {
    load("xT\nA\n" + std::string(49, '\n') + "Text" + SEP + "xT\nA\n" + std::string(60, '\n') + "Text" + SEP);
    selectArticle(1);
    EXPECT_EQ(text(), "Text");
    EXPECT_EQ(nLineCount, 0);
    selectArticle(2);
    EXPECT_EQ(text(), std::string(11, '\n') + "Text");
    EXPECT_EQ(nLineCount, 11);
}

TEST_F(ArchiveTest, RecordWithoutText) {
    load("xT\nA\n" + SEP + "xT\nA\n\n\n" + SEP);
    for (int n : {1, 2}) {
        selectArticle(n);
        EXPECT_EQ(nTextLength, 0) << n;
        EXPECT_EQ(nLineCount, 0) << n;
    }
}

TEST_F(ArchiveTest, ShorterArticleLeavesZeros) {
    load("xT\nA\n" + std::string(5000, 'L') + SEP + "xT\nA\nkurz" + SEP);
    selectArticle(1);
    EXPECT_EQ(nTextLength, 5000);
    selectArticle(2);
    EXPECT_EQ(text(), "kurz");
    EXPECT_TRUE(zeroBehindText());
}

TEST_F(ArchiveTest, ContentsPageComesBackWhereItWasLeft) {
    load("d\nInhalt" + SEP + "xT\nA\nText" + SEP);
    selectArticle(1);
    EXPECT_EQ(ScrollPosition, 0.0f);
    fContentsScroll = 12.5f;
    selectArticle(2);
    EXPECT_EQ(ScrollPosition, 0.0f);
    selectArticle(1);
    EXPECT_EQ(ScrollPosition, 12.5f);
}

TEST_F(ArchiveTest, NumbersWithoutARecordSelectAnEmptyPage) {
    load("xTitel\nAutor\nText" + SEP + "xZwei\nB\nMehr" + SEP);
    for (int n : {0, -1, 4, 1000}) {
        selectArticle(2);
        selectArticle(n);
        EXPECT_EQ(nTextLength, 0) << n;
        EXPECT_EQ(nLineCount, 0) << n;
        EXPECT_EQ(title(), "") << n;
        EXPECT_EQ(author(), "") << n;
        EXPECT_TRUE(zeroBehindText()) << n;
    }
}

// The search for a number past the last article stops at the end of the
// data; the page is the one a search through the whole buffer finds: the
// header read from zeros (50 of them as the title's length), no text.
TEST_F(ArchiveTest, NumberPastTheEndReadsItsHeaderFromZeros) {
    for (const std::string &file : {"xT\nA\nText" + SEP, std::string("xT\nA\nohne Trenner"), std::string()}) {
        resetViewer();
        load(file);
        selectArticle(1);
        selectArticle(1000);
        EXPECT_EQ(nTitleLength, 50) << file;
        EXPECT_EQ(title(), "") << file;
        EXPECT_EQ(nTextLength, 0) << file;
        EXPECT_TRUE(zeroBehindText()) << file;
    }
    // A full buffer has no zeros behind its marker: the header reads past it
    // as zeros all the same.
    resetViewer();
    load(std::string(ARCHIVE_SIZE + 10, 'a'));
    selectArticle(2);
    EXPECT_EQ(nTitleLength, 50);
    EXPECT_EQ(title(), "");
    EXPECT_EQ(nTextLength, 0);
}

TEST_F(ArchiveTest, StretchAfterTheLastSeparatorEndsWithTheData) {
    load("xT\nA\nEins" + SEP + "yZwei\nB\nLetzter Text\nohne Trenner");
    selectArticle(2);
    EXPECT_EQ(title(), "Zwei");
    EXPECT_EQ(text(), "Letzter Text\nohne Trenner");
    EXPECT_EQ(nLineCount, 1);
    EXPECT_TRUE(zeroBehindText());

    // Behind a last separator there is nothing.
    resetViewer();
    load("xT\nA\nEins" + SEP);
    selectArticle(2);
    EXPECT_EQ(nTextLength, 0);
}

TEST_F(ArchiveTest, MissingArchiveGivesEmptyPages) {
    selectArticle(1);
    EXPECT_EQ(nTextLength, 0);
    loadArchive();
    selectArticle(1);
    EXPECT_EQ(nTextLength, 0);
    EXPECT_EQ(title(), "");
}

TEST_F(ArchiveTest, TextIsCutAtTheBufferSize) {
    std::string body;
    for (int i = 0; i < 7000; ++i)
        body += "0123456789";
    body[TEXT_SIZE - 1] = '\n';
    body[TEXT_SIZE] = '\n'; // not copied, not counted
    load("xT\nA\n" + body + SEP);
    selectArticle(1);
    EXPECT_EQ(nTextLength, static_cast<std::int32_t>(TEXT_SIZE));
    EXPECT_EQ(nLineCount, 1);
    EXPECT_EQ(text(), body.substr(0, TEXT_SIZE));
}

TEST_F(ArchiveTest, OversizedArchiveIsReadUpToWhatFits) {
    std::string file = "xT\nA\nText" + SEP;
    file += std::string(ARCHIVE_SIZE + 100 - file.size(), 'a');
    load(file);
    EXPECT_EQ(ArticleArchive[ARCHIVE_SIZE - 1], 0xFF);
    EXPECT_EQ(ArticleArchive[ARCHIVE_SIZE - 2], 'a');
    selectArticle(1);
    EXPECT_EQ(text(), "Text");
    // The second stretch reaches the end of the buffer, and is cut.
    selectArticle(2);
    EXPECT_EQ(nTextLength, static_cast<std::int32_t>(TEXT_SIZE));
    selectArticle(3);
    EXPECT_EQ(nTextLength, 0);
}

TEST_F(ArchiveTest, HeaderAtTheVeryEndStaysInside) {
    // A record that starts one byte before the end marker of a full buffer.
    std::string file(ARCHIVE_SIZE - 3, 'a');
    file += SEP + "x";
    load(file);
    EXPECT_EQ(ArticleArchive[ARCHIVE_SIZE - 1], 0xFF);
    selectArticle(2);
    EXPECT_EQ(nTextLength, 0);
    // The header reads on over the end marker into the zeros, never further.
    EXPECT_EQ(title(), "\xFF");
    EXPECT_EQ(author(), "");
}

TEST_F(ArchiveTest, SaveWritesTheTextWithCarriageReturns) {
    load("xT\r\nA\r\nZeile 1\r\nZeile \xA2"
         "2\n" +
         SEP + "xT\nA\n" + SEP);
    selectArticle(1);
    EXPECT_EQ(text(), "Zeile 1\nZeile \xA2"
                      "2\n");
    saveArticle();
    EXPECT_EQ(readText("save.txt"), "Zeile 1\r\nZeile \xA2"
                                    "2\r\n");

    // A second save overwrites; an article without text saves an empty file.
    selectArticle(2);
    saveArticle();
    EXPECT_TRUE(std::filesystem::exists("save.txt"));
    EXPECT_EQ(std::filesystem::file_size("save.txt"), 0u);
}

TEST_F(ArchiveTest, SaveIntoAFolderIsHarmless) {
    load("xT\nA\nText" + SEP);
    selectArticle(1);
    std::filesystem::create_directory("save.txt");
    saveArticle();
    EXPECT_TRUE(std::filesystem::is_directory("save.txt"));
}

TEST_F(ArchiveTest, SaveIntoAPipeNeverBlocks) {
    load("xT\nA\nText" + SEP);
    selectArticle(1);
    ASSERT_EQ(mkfifo("save.txt", 0600), 0);
    saveArticle();
    EXPECT_FALSE(std::filesystem::is_regular_file("save.txt"));
}

} // namespace
} // namespace orbex::test
