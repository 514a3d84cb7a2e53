#include "epub.h"

#include <zip.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <memory>

namespace orbex {

namespace {

// The zip format counts from 1980 and stores local time without a zone: the
// book's entries take the date in UTC, so the bytes do not depend on TZ.
constexpr std::time_t ZIP_FIRST_DAY = 315532800; // 1980-01-01T00:00:00Z

std::string isoDate(std::time_t when) {
    std::tm utc{};
    gmtime_r(&when, &utc);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
    return text;
}

void dosDateOf(std::time_t when, std::uint16_t &time, std::uint16_t &date) {
    std::tm utc{};
    gmtime_r(&when, &utc);
    if (utc.tm_year < 80 || utc.tm_year > 207) { // outside what the format holds
        time = 0;
        date = utc.tm_year < 80 ? (1 << 5) | 1 : (127 << 9) | (12 << 5) | 31;
        return;
    }
    time = static_cast<std::uint16_t>((utc.tm_hour << 11) | (utc.tm_min << 5) | (utc.tm_sec / 2));
    date = static_cast<std::uint16_t>(((utc.tm_year - 80) << 9) | ((utc.tm_mon + 1) << 5) | utc.tm_mday);
}

constexpr const char *CONTAINER =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<container version=\"1.0\" xmlns=\"urn:oasis:names:tc:opendocument:xmlns:container\">\n"
    "<rootfiles>\n"
    "<rootfile full-path=\"EPUB/package.opf\" media-type=\"application/oebps-package+xml\"/>\n"
    "</rootfiles>\n"
    "</container>\n";

constexpr const char *XHTML = "application/xhtml+xml";

std::string packageDocument(const Book &book) {
    std::string out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                      "<package xmlns=\"http://www.idpf.org/2007/opf\" version=\"3.0\" unique-identifier=\"id\" "
                      "xml:lang=\"" +
                      book.language + "\">\n<metadata xmlns:dc=\"http://purl.org/dc/elements/1.1/\">\n" +
                      "<dc:identifier id=\"id\">" + xmlEscaped(book.identifier) + "</dc:identifier>\n" + "<dc:title>" +
                      xmlEscaped(book.title) + "</dc:title>\n" + "<dc:language>" + book.language + "</dc:language>\n" +
                      "<meta property=\"dcterms:modified\">" + isoDate(book.modified) +
                      "</meta>\n</metadata>\n<manifest>\n" + "<item id=\"nav\" href=\"nav.xhtml\" media-type=\"" +
                      XHTML + "\" properties=\"nav\"/>\n";
    for (std::size_t i = 0; i < book.files.size(); ++i) {
        const BookFile &file = book.files[i];
        out += "<item id=\"file-" + std::to_string(i + 1) + "\" href=\"" + xmlEscaped(file.name) + "\" media-type=\"" +
               file.mediaType + "\"" + (file.name == book.cover ? " properties=\"cover-image\"" : "") + "/>\n";
    }
    for (std::size_t i = 0; i < book.pages.size(); ++i)
        out += "<item id=\"page-" + std::to_string(i + 1) + "\" href=\"" + xmlEscaped(book.pages[i].name) +
               "\" media-type=\"" + XHTML + "\"/>\n";
    out += "</manifest>\n<spine>\n";
    for (std::size_t i = 0; i < book.pages.size(); ++i)
        out += "<itemref idref=\"page-" + std::to_string(i + 1) + "\"/>\n";
    return out + "</spine>\n</package>\n";
}

std::string navigationDocument(const Book &book) {
    std::string out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!DOCTYPE html>\n"
                      "<html xmlns=\"http://www.w3.org/1999/xhtml\" xmlns:epub=\"http://www.idpf.org/2007/ops\" "
                      "lang=\"" +
                      book.language + "\" xml:lang=\"" + book.language +
                      "\">\n<head>\n<meta charset=\"utf-8\"/>\n<title>" + xmlEscaped(book.title) +
                      "</title>\n</head>\n<body>\n<nav epub:type=\"toc\" id=\"toc\">\n<h1>" + xmlEscaped(book.title) +
                      "</h1>\n<ol>\n";
    for (const BookPage &page : book.pages)
        out += "<li><a href=\"" + xmlEscaped(page.name) + "\">" + xmlEscaped(page.title) + "</a></li>\n";
    return out + "</ol>\n</nav>\n</body>\n</html>\n";
}

struct SourceFree {
    void operator()(zip_source_t *source) const { zip_source_free(source); }
};

// The bytes a closed zip left in its buffer source.
bool bytesOf(zip_source_t *buffer, std::vector<std::uint8_t> &bytes) {
    if (zip_source_open(buffer) < 0)
        return false;
    bool read = zip_source_seek(buffer, 0, SEEK_END) == 0;
    const zip_int64_t size = read ? zip_source_tell(buffer) : -1;
    read = size >= 0 && zip_source_seek(buffer, 0, SEEK_SET) == 0;
    if (read) {
        bytes.resize(static_cast<std::size_t>(size));
        read = zip_source_read(buffer, bytes.data(), static_cast<zip_uint64_t>(size)) == size;
    }
    zip_source_close(buffer);
    return read;
}

} // namespace

std::string xmlEscaped(const std::string &utf8) {
    std::string out;
    for (char c : utf8) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        default:
            out += static_cast<unsigned char>(c) < 0x20 && c != '\n' && c != '\t' ? ' ' : c;
        }
    }
    return out;
}

std::string uuidUrnOf(const std::vector<std::uint8_t> &bytes) {
    // FNV-1a over 128 bits: stable across runs and machines, and enough to
    // tell two magazines apart.
    using Hash = unsigned __int128;
    const Hash prime = (Hash{1} << 88) | 0x13B;
    Hash hash = (Hash{0x6c62272e07bb0142u} << 64) | 0x62b821756295c58du;
    for (std::uint8_t byte : bytes) {
        hash ^= byte;
        hash *= prime;
    }
    std::uint8_t id[16];
    for (int i = 15; i >= 0; --i, hash >>= 8)
        id[i] = static_cast<std::uint8_t>(hash);
    id[6] = static_cast<std::uint8_t>((id[6] & 0x0F) | 0x80); // version 8: a custom hash
    id[8] = static_cast<std::uint8_t>((id[8] & 0x3F) | 0x80); // the RFC's variant
    std::string out = "urn:uuid:";
    char hex[3];
    for (int i = 0; i < 16; ++i) {
        if (i == 4 || i == 6 || i == 8 || i == 10)
            out += '-';
        std::snprintf(hex, sizeof hex, "%02x", id[i]);
        out += hex;
    }
    return out;
}

bool bookDate(std::time_t &when, std::string &why) {
    const char *given = std::getenv("SOURCE_DATE_EPOCH");
    if (given == nullptr || *given == 0) {
        when = ZIP_FIRST_DAY;
        return true;
    }
    char *end = nullptr;
    errno = 0;
    const long long seconds = std::strtoll(given, &end, 10);
    // Past 9999 the package's date has no form.
    if (*given < '0' || *given > '9' || *end != 0 || errno != 0 || seconds > 253402300799LL) {
        why = std::string("SOURCE_DATE_EPOCH: not a number of seconds since 1970 (") + given + ")";
        return false;
    }
    when = static_cast<std::time_t>(seconds);
    return true;
}

bool packEpub(const Book &book, std::vector<std::uint8_t> &zipBytes, std::string &why) {
    zip_error_t error;
    zip_error_init(&error);
    std::unique_ptr<zip_source_t, SourceFree> buffer(zip_source_buffer_create(nullptr, 0, 0, &error));
    zip_t *archive = buffer ? zip_open_from_source(buffer.get(), ZIP_TRUNCATE, &error) : nullptr;
    if (archive == nullptr) {
        why = std::string("cannot make the book (") + zip_error_strerror(&error) + ")";
        zip_error_fini(&error);
        return false;
    }
    zip_error_fini(&error);
    zip_source_keep(buffer.get()); // the zip's closing frees it once; the bytes are read after

    // libzip reads these only at zip_close.
    const std::string mimetype = "application/epub+zip", container = CONTAINER;
    const std::string package = packageDocument(book), navigation = navigationDocument(book);
    std::uint16_t dosTime = 0, dosDate = 0;
    dosDateOf(book.modified, dosTime, dosDate);
    auto add = [&](const std::string &name, const void *data, std::size_t size, bool stored) {
        zip_source_t *source = zip_source_buffer(archive, data, size, 0);
        const zip_int64_t index = source ? zip_file_add(archive, name.c_str(), source, 0) : -1;
        if (index < 0) {
            zip_source_free(source);
            return false;
        }
        const auto entry = static_cast<zip_uint64_t>(index);
        return (!stored || zip_set_file_compression(archive, entry, ZIP_CM_STORE, 0) == 0) &&
               zip_file_set_dostime(archive, entry, dosTime, dosDate, 0) == 0;
    };
    bool ok = add("mimetype", mimetype.data(), mimetype.size(), true) &&
              add("META-INF/container.xml", container.data(), container.size(), false) &&
              add("EPUB/package.opf", package.data(), package.size(), false) &&
              add("EPUB/nav.xhtml", navigation.data(), navigation.size(), false);
    for (const BookFile &file : book.files)
        ok = ok && add("EPUB/" + file.name, file.bytes.data(), file.bytes.size(), false);
    for (const BookPage &page : book.pages)
        ok = ok && add("EPUB/" + page.name, page.bytes.data(), page.bytes.size(), false);
    if (!ok || zip_close(archive) != 0) {
        why = std::string("cannot make the book (") + zip_strerror(archive) + ")";
        zip_discard(archive);
        return false;
    }
    if (!bytesOf(buffer.get(), zipBytes)) {
        why = "cannot make the book (" + std::string(zip_error_strerror(zip_source_error(buffer.get()))) + ")";
        return false;
    }
    return true;
}

} // namespace orbex
