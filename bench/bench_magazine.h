// The magazine the benchmarks run on: the sample issue's font and pictures,
// an archive of about 1 MiB made here, and the viewer started headless on it.
#pragma once

#include <cstdint>
#include <string>

namespace orbex::bench {

// Articles of the bench archive: 1 the contents page, 2 a short article,
// 3 one whose text fills the whole 65,536-byte buffer; the last one ends the
// archive, behind filler articles.
constexpr std::int32_t SHORT_ARTICLE = 2;
constexpr std::int32_t LONG_ARTICLE = 3;
extern std::int32_t nLastArticle;

// Makes a temporary folder with data/ filled from the sample magazine at
// `sample` and changes into it; false (with a message) when files are missing.
bool prepareMagazine(const std::string &sample);
// Removes the folder again.
void removeMagazine();

// Every subsystem back to its start, the headless backend with only `depth`
// offered and `padding` extra bytes per row, then doInit, initAssets without
// music, and loadArchive. False when the display could not be set up.
bool startViewer(int depth, int padding = 0);

// Selects `number` in viewing mode with the pointer hovering a link: on
// line 4 for the short article, near the bottom of the window for the long
// one, which is scrolled to its end (End key) so every byte is laid out.
void showArticle(std::int32_t number);

} // namespace orbex::bench
