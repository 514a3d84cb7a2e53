// The article archive "data/orbex.dat", read whole at start, and the one
// current article that every drawing and scrolling step works on.
#pragma once

#include <array>
#include <cstdint>

namespace orbex {

constexpr std::uint8_t ARTICLE_SEPARATOR = 0x9E;
constexpr std::uint8_t ARCHIVE_END_MARKER = 0xFF;
constexpr std::size_t ARCHIVE_SIZE = 1048576;
constexpr std::size_t TEXT_SIZE = 65536;
constexpr std::size_t HEADER_FIELD_SIZE = 50;

// The file's bytes as read in text mode, then the end marker; zero behind.
extern std::array<std::uint8_t, ARCHIVE_SIZE> ArticleArchive;

// CurrentArticle: replaced by every selectArticle.
extern std::array<std::uint8_t, TEXT_SIZE> szText; // zero behind the text
extern std::int32_t nTextLength;
extern std::int32_t nLineCount;
extern std::array<char, HEADER_FIELD_SIZE + 1> szTitle;
extern std::int32_t nTitleLength; // kept by header-less selections
extern std::array<char, HEADER_FIELD_SIZE + 1> szAuthor;
extern std::int32_t nArticle; // 1 is the contents page

// First visible line of the current article; fractional and negative values
// are shown as they are.
extern float ScrollPosition;
// The contents page's position when it was left through a link.
extern float fContentsScroll;

// Called once by the start-up, before the first selection.
void loadArchive();
// Called by the start-up, the right button, F1 and article links.
void selectArticle(std::int32_t number);
// Called on F2: the current text into "save.txt".
void saveArticle();

void resetArchive();

} // namespace orbex
