// The article archive "data/orbex.dat", read whole at start, and the one
// current article that every drawing and scrolling step works on.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "common/textcodes.h"

namespace orbex {

constexpr std::uint8_t ARCHIVE_END_MARKER = 0xFF;
constexpr std::size_t ARCHIVE_SIZE = 1048576;
constexpr std::size_t TEXT_SIZE = 65536;
constexpr std::size_t HEADER_FIELD_SIZE = 50;

struct ArchiveState {
    // The file's bytes as read in text mode, then the end marker; zero behind.
    std::array<std::uint8_t, ARCHIVE_SIZE> ArticleArchive{};
    // Where the file's data ends (the end marker's position), so that a
    // selection never runs on through the marker and the zeros behind it.
    std::size_t archiveEnd = 0;

    // CurrentArticle: replaced by every selectArticle.
    std::array<std::uint8_t, TEXT_SIZE> szText{}; // zero behind the text
    std::int32_t nTextLength = 0;
    std::int32_t nLineCount = 0;
    std::array<char, HEADER_FIELD_SIZE + 1> szTitle{};
    std::int32_t nTitleLength = 0; // kept by header-less selections
    std::array<char, HEADER_FIELD_SIZE + 1> szAuthor{};
    std::int32_t nArticle = 0; // 1 is the contents page
    // Selections since start: the page keeps its layout for one selection.
    // Whoever writes szText other than selectArticle counts one too.
    std::uint32_t dwSelections = 0;

    // First visible line of the current article; fractional and negative
    // values are shown as they are.
    float ScrollPosition = 0.0f;
    // The contents page's position when it was left through a link.
    float fContentsScroll = 0.0f;
};

extern ArchiveState archiveState;

inline constexpr auto &ArticleArchive = archiveState.ArticleArchive;
inline constexpr auto &szText = archiveState.szText;
inline constexpr std::int32_t &nTextLength = archiveState.nTextLength;
inline constexpr std::int32_t &nLineCount = archiveState.nLineCount;
inline constexpr auto &szTitle = archiveState.szTitle;
inline constexpr std::int32_t &nTitleLength = archiveState.nTitleLength;
inline constexpr auto &szAuthor = archiveState.szAuthor;
inline constexpr std::int32_t &nArticle = archiveState.nArticle;
inline constexpr std::uint32_t &dwSelections = archiveState.dwSelections;
inline constexpr float &ScrollPosition = archiveState.ScrollPosition;
inline constexpr float &fContentsScroll = archiveState.fContentsScroll;

// Called once by the start-up, before the first selection.
void loadArchive();
// Called by the start-up, the right button, F1 and article links: the
// record found, then taken as the current article.
void selectArticle(std::int32_t number);
// Where record number begins (its search, which selectArticle does first).
// Called by orbex-tool export, which finds every record in one pass.
std::size_t findRecord(std::int32_t number);
// The record beginning at start taken as the current article, number as
// selectArticle takes it. Called by selectArticle and orbex-tool export.
void takeRecord(std::size_t start, std::int32_t number);
// Called on F2: the current text into "save.txt".
void saveArticle();

} // namespace orbex
