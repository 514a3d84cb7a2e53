// An article archive taken back apart into sources that `archive` packs into
// the very same bytes: the normal markup wherever it says the bytes exactly,
// and escapes only where it cannot:
//   {raw XX ...}     bytes as they are (hex), e.g. bytes without a Windows-1252
//                    character, carriage returns, codes in odd places
//   {verbatim}       as the first line: the record is the lines below byte for
//                    byte, lead byte and header lines included
//   {no-separator}   at the end of the last source: no 0x9E follows it
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "articles.h"
#include "report.h"

namespace orbex {

// One source per record, named NN-slug.txt: NN the article number with at
// least two digits, the slug made from the title (or "contents" for a
// header-less first article). The bytes after the last separator, when
// there are any, become a last source ending in {no-separator}. An archive of
// more than MAX_ARTICLES articles gives none, and an error.
std::vector<ArticleSource> unpackArchive(const std::vector<std::uint8_t> &archive, Report &report);
// Writes the sources of the archive file (or of the archive of a zip
// magazine, a file named *.zip) into folder (made when missing, not a link),
// which must not hold article sources yet.
bool unpackArchiveFile(const std::string &archivePath, const std::string &folder, Report &report);

} // namespace orbex
