// An EPUB 3 book from finished XHTML pages: the container, the package
// document, the navigation document and the zip around them, all in memory,
// the same bytes for the same book.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

namespace orbex {

struct BookFile {
    std::string name;      // below the book's folder, "article-2.xhtml"
    std::string mediaType; // "image/png"
    std::vector<std::uint8_t> bytes;
};

struct BookPage {
    std::string name; // an XHTML content document
    std::string title;
    std::vector<std::uint8_t> bytes;
};

struct Book {
    std::string identifier; // "urn:uuid:..."
    std::string title;
    std::string language;        // "de"
    std::time_t modified = 0;    // the package's date and every entry's
    std::vector<BookPage> pages; // the reading order, each in the table of contents
    std::vector<BookFile> files; // what the pages use: styles, pictures
    std::string cover;           // the name of the cover picture among files, or empty
};

// UTF-8 text for an XML or XHTML text or attribute: markup characters as
// entities, control characters XML does not allow as spaces.
std::string xmlEscaped(const std::string &utf8);

// A name-based UUID (version 8, RFC 9562) of bytes, as "urn:uuid:...".
std::string uuidUrnOf(const std::vector<std::uint8_t> &bytes);

// The moment SOURCE_DATE_EPOCH names, or 1980-01-01 (the zip format's
// first day) when it is not set; false when it is set but no such moment.
bool bookDate(std::time_t &when, std::string &why);

// The whole book as a zip: mimetype first and stored, then META-INF, then
// the package in EPUB/. why gets the reason when it cannot.
bool packEpub(const Book &book, std::vector<std::uint8_t> &zipBytes, std::string &why);

} // namespace orbex
