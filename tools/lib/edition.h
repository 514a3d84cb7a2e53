// The magazine as static HTML, an archive edition: one page per article, the
// contents page as index.html, the start picture as the cover. The text of
// each page is the viewer's own layout of the article (the page's text), so
// every paragraph is a line of the picture, with its colours as styles.
#pragma once

#include <string>

#include "report.h"

namespace orbex {

// Writes the edition of the magazine in folder into outFolder (made when
// missing). Runs the viewer's start-up headless in folder, as render does:
// once per process.
bool exportHtml(const std::string &folder, const std::string &outFolder, Report &report);

// The name of article number's page in the edition.
std::string editionPage(int number);

} // namespace orbex
