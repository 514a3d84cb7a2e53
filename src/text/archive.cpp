#include "text/archive.h"

#include <algorithm>

#include "base/ownfiles.h"
#include "common/start.h"

namespace orbex {

ArchiveState archiveState;

namespace {

// Bytes past the archive buffer read as zero, never as memory behind it.
std::uint8_t archiveByte(std::size_t p) { return p < ARCHIVE_SIZE ? ArticleArchive[p] : 0; }

// One header line: up to 50 characters, the lead byte (or the byte the
// previous line rested on) skipped. Returns the number stored.
std::int32_t readHeaderLine(std::size_t &p, std::array<char, HEADER_FIELD_SIZE + 1> &field) {
    std::int32_t k = 0;
    for (; k < static_cast<std::int32_t>(HEADER_FIELD_SIZE); ++k) {
        ++p;
        if (archiveByte(p) == '\n')
            break;
        field[static_cast<std::size_t>(k)] = static_cast<char>(archiveByte(p));
    }
    return k;
}

} // namespace

void loadArchive() {
    TextFileReader archive(ARCHIVE_FILE);
    // A missing archive reads as an empty one: every article is empty.
    archiveState.archiveEnd = 0;
    if (!archive.isOpen())
        return;
    // One byte stays for the end marker; a bigger file is read up to what fits.
    std::size_t n = 0;
    for (int c = archive.getByte(); c != TEXT_EOF && n < ARCHIVE_SIZE - 1; c = archive.getByte())
        ArticleArchive[n++] = static_cast<std::uint8_t>(c);
    ArticleArchive[n] = ARCHIVE_END_MARKER;
    archiveState.archiveEnd = n;
}

std::size_t findRecord(std::int32_t number) {
    // Behind the end marker there are only zeros, never a separator: a
    // number past the last article finds no start there, and the search
    // stops at the first of them instead of running through the buffer.
    const std::size_t searchEnd = std::min(archiveState.archiveEnd + 1, ARCHIVE_SIZE);
    std::size_t p = 0;
    for (std::int32_t c = 1; p < searchEnd && c != number; ++p)
        if (ArticleArchive[p] == ARTICLE_SEPARATOR)
            ++c;
    return p;
}

void takeRecord(std::size_t p, std::int32_t number) {
    ++dwSelections;
    szText.fill(0);
    std::fill(szTitle.begin(), szTitle.begin() + HEADER_FIELD_SIZE, 0);
    std::fill(szAuthor.begin(), szAuthor.begin() + HEADER_FIELD_SIZE, 0);
    if (archiveByte(p) == 'd' || archiveByte(p + 1) == '\n') {
        nArticle = 1;
        p += 2;
    } else {
        nTitleLength = readHeaderLine(p, szTitle);
        readHeaderLine(p, szAuthor);
    }
    for (int i = 0; i < 50; ++i)
        if (archiveByte(p) == '\n')
            ++p;
    // The text ends at its separator, at the end marker of the file's data
    // (the stretch behind the last separator has no separator), or when the
    // text buffer is full.
    std::size_t q = p;
    std::int32_t lines = 0;
    std::size_t n = 0;
    for (; q < archiveState.archiveEnd && n < TEXT_SIZE; ++q) {
        std::uint8_t b = ArticleArchive[q];
        if (b == ARTICLE_SEPARATOR)
            break;
        if (b == '\n')
            ++lines;
        szText[n++] = b;
    }
    nTextLength = static_cast<std::int32_t>(n);
    nLineCount = lines;
    ScrollPosition = number == 1 ? fContentsScroll : 0.0f;
}

void selectArticle(std::int32_t number) { takeRecord(findRecord(number), number); }

void saveArticle() {
    TextFileWriter save = openOwnFile(OwnFile::Save, TextFileMode::Truncate);
    if (!save.isOpen())
        return;
    save.write(szText.data(), static_cast<std::size_t>(nTextLength));
    if (!save.close())
        reportOwnFileFailure(OwnFile::Save, save.failure());
}

} // namespace orbex
