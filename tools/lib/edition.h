// The magazine as an archive edition: static HTML (one page per article, the
// contents page as index.html, the start picture as the cover) or the same
// pages as one EPUB 3 book. The text of each page is the viewer's own layout
// of the article (the page's text), so every paragraph is a line of the
// picture, with its colours as styles.
#pragma once

#include <string>

#include "report.h"

namespace orbex {

// Writes the edition of the magazine in folder into outFolder (made when
// missing). Runs the viewer's start-up headless in folder, as render does:
// once per process.
bool exportHtml(const std::string &folder, const std::string &outFolder, Report &report);

// Writes the same pages as an EPUB 3 book into the file outFile, which takes
// the place of an earlier one only when it is complete. The book is the same
// bytes for the same magazine: its identifier comes from the magazine's text
// and cover, its date from SOURCE_DATE_EPOCH (1980-01-01 without it). Once
// per process, as exportHtml.
bool exportEpub(const std::string &folder, const std::string &outFile, Report &report);

// The name of article number's page in the HTML edition.
std::string editionPage(int number);

} // namespace orbex
