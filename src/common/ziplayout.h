// A zip file's table of contents as its bytes lay it out, read before any
// zip library sees the file. A zip is often someone else's download, and the
// format leaves room for tricks that make one zip mean two things: a second
// end record (two tables of contents), a local header that names another
// file or size than the table does, entries whose data overlap (zip bombs
// inflate the same bytes once for every entry), bytes outside every entry.
// Here a zip is taken only when its entries, their table and its end record
// tile the file exactly, so every reader sees the same files and every
// compressed byte belongs to one entry. The page's reader (web/src/zip.mjs)
// applies the same rules, and tests/data/zips holds the cases on which both
// must give the same verdict.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace orbex {

// Why a zip is refused; the codes (zipVerdictCode) are the case table's.
enum class ZipVerdict : std::uint8_t {
    Ok,
    NotZip,        // no end record, or no zip at all
    Split,         // one part of a zip split over several files
    TwoEnds,       // more than one end record
    Broken,        // the table of contents or a header is damaged or cut
    Outside,       // a name that leads out of the folder
    BadName,       // a name no magazine file has (backslash, empty part)
    Link,          // a symbolic link
    Special,       // a FIFO, device or socket
    Encrypted,     // an encrypted entry
    Method,        // a compression the readers cannot inflate
    Duplicate,     // two entries of one name
    FileAndFolder, // a name that is a file and a folder
    TooMany,       // more entries than a magazine has
    TooLarge,      // an entry declares more than the viewer reads of its file
    Total,         // the entries declare more than a magazine can use
    Overlap,       // the data of two entries overlap
    Gap,           // bytes outside the entries, their table and the end record
    Header,        // a local header disagrees with the table of contents
    Bigger,        // data that inflates to more than it declares
    Smaller,       // data that inflates to less than it declares
    Damaged,       // data that fails to inflate or its checksum
};
const char *zipVerdictCode(ZipVerdict verdict);

// One entry of the table of contents, checked against its local header.
struct ZipRecord {
    std::string name; // the name's bytes as stored
    std::uint16_t flags = 0;
    std::uint16_t method = 0;
    std::uint32_t crc = 0;
    std::uint64_t packed = 0; // compressed size
    std::uint64_t size = 0;   // size once inflated
    std::uint64_t localOffset = 0;
    std::uint64_t dataOffset = 0;
    // The Unix file type and permission bits a packer keeps in the upper
    // half of the external attributes, whatever system it says made the
    // entry; 0 where it keeps none.
    std::uint32_t mode = 0;
};

// Reads the table of contents of the zip open on fd (which stays open) and
// checks that the file is one zip, tiled exactly by its parts. On refusal
// the verdict says why and *why has the reason in words.
ZipVerdict readZipLayout(int fd, std::vector<ZipRecord> &records, std::string &why);

} // namespace orbex
