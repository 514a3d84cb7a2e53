#include "common/ziplayout.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "common/codepage.h"
#include "common/readlimits.h"

namespace orbex {

namespace {

constexpr std::uint32_t END = 0x06054b50;
constexpr std::uint32_t END64 = 0x06064b50;
constexpr std::uint32_t LOCATOR64 = 0x07064b50;
constexpr std::uint32_t CENTRAL = 0x02014b50;
constexpr std::uint32_t LOCAL = 0x04034b50;
constexpr std::uint32_t DESCRIPTOR = 0x08074b50;
constexpr std::size_t END_BYTES = 22;
constexpr std::size_t LOCATOR_BYTES = 20;
constexpr std::size_t END64_BYTES = 56;
constexpr std::size_t CENTRAL_BYTES = 46;
constexpr std::size_t LOCAL_BYTES = 30;
constexpr std::size_t MAX_COMMENT = 0xFFFF;
constexpr std::uint32_t NO_VALUE32 = 0xFFFFFFFF;
constexpr std::uint16_t ZIP64_FIELD = 1;
// The flags that change what a reader makes of an entry: encrypted (0),
// sizes in a descriptor after the data (3), strong encryption (6), names in
// UTF-8 (11). Packers differ in the others between the two headers.
constexpr std::uint16_t FLAGS_THAT_MATTER = 0x0849;
constexpr std::uint16_t FLAG_DESCRIPTOR = 0x0008;

std::uint16_t u16(const std::uint8_t *p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }
std::uint32_t u32(const std::uint8_t *p) { return u16(p) | (static_cast<std::uint32_t>(u16(p + 2)) << 16); }
std::uint64_t u64(const std::uint8_t *p) { return u32(p) | (static_cast<std::uint64_t>(u32(p + 4)) << 32); }

// Reading the zip's bytes, and saying why it is refused.
class Reader {
  public:
    Reader(int fd, std::uint64_t size, std::string &why) : fd(fd), size(size), why(why) {}

    // length bytes at offset into bytes; false (Broken) when the file ends first.
    bool read(std::uint64_t offset, std::size_t length, std::vector<std::uint8_t> &bytes, const char *what) {
        bytes.resize(length);
        if (offset > size || length > size - offset) {
            refuse(ZipVerdict::Broken, std::string("it is broken (") + what + " lies past its end)");
            return false;
        }
        std::size_t got = 0;
        while (got < length) {
            ssize_t n = ::pread(fd, bytes.data() + got, length - got, static_cast<off_t>(offset + got));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0) {
                refuse(ZipVerdict::Broken, std::string("it is broken (") + what + " cannot be read)");
                return false;
            }
            got += static_cast<std::size_t>(n);
        }
        return true;
    }

    ZipVerdict refuse(ZipVerdict verdict, const std::string &reason) {
        if (verdict_ == ZipVerdict::Ok) {
            verdict_ = verdict;
            why = reason;
        }
        return verdict;
    }
    ZipVerdict verdict() const { return verdict_; }

    const int fd;
    const std::uint64_t size;

  private:
    std::string &why;
    ZipVerdict verdict_ = ZipVerdict::Ok;
};

std::string quoted(const std::string &name) { return terminalText(name.size() > 200 ? name.substr(0, 200) : name); }

// Where the table of contents lies and how many entries it has, from the
// one end record (and its ZIP64 record where there is one).
struct Directory {
    std::uint64_t entries = 0;
    std::uint64_t offset = 0;
    std::uint64_t size = 0;
    std::uint64_t end = 0; // where what follows the table begins
};

// The end records read field by field in the format's order (the zip64
// locator and record only when the plain record says so): one reading,
// longer than most, that follows the zip format's APPNOTE line by line.
bool findDirectory(Reader &zip, Directory &directory) {
    const std::size_t tail = static_cast<std::size_t>(std::min<std::uint64_t>(zip.size, END_BYTES + MAX_COMMENT));
    std::vector<std::uint8_t> bytes;
    if (tail < END_BYTES) {
        zip.refuse(ZipVerdict::NotZip, "it is no zip file");
        return false;
    }
    if (!zip.read(zip.size - tail, tail, bytes, "its end"))
        return false;
    // Every place an end record could stand: a second one (in the comment,
    // or a zip appended to another) would be another table of contents.
    std::size_t found = 0;
    std::size_t at = 0;
    for (std::size_t i = tail - END_BYTES + 1; i-- > 0;)
        if (u32(&bytes[i]) == END && i + END_BYTES + u16(&bytes[i + 20]) <= tail) {
            if (found++ == 0)
                at = i;
        }
    if (found == 0) {
        zip.refuse(ZipVerdict::NotZip, "it is no zip file");
        return false;
    }
    if (found > 1) {
        zip.refuse(ZipVerdict::TwoEnds, "it has more than one end record, so more than one table of contents");
        return false;
    }
    const std::uint8_t *end = &bytes[at];
    if (at + END_BYTES + u16(end + 20) != tail) {
        zip.refuse(ZipVerdict::Gap, "bytes follow its end record");
        return false;
    }
    const std::uint64_t endAt = zip.size - tail + at;
    bool split = u16(end + 4) != 0 || u16(end + 6) != 0 || u16(end + 8) != u16(end + 10);
    directory = {u16(end + 10), u32(end + 16), u32(end + 12), endAt};
    if (at >= LOCATOR_BYTES && u32(end - LOCATOR_BYTES) == LOCATOR64) {
        const std::uint8_t *locator = end - LOCATOR_BYTES;
        const std::uint64_t recordAt = u64(locator + 8);
        std::vector<std::uint8_t> record;
        if (!zip.read(recordAt, END64_BYTES, record, "its ZIP64 end record"))
            return false;
        if (u32(record.data()) != END64 || 12 + u64(&record[4]) != endAt - LOCATOR_BYTES - recordAt) {
            zip.refuse(ZipVerdict::Broken, "it is broken (its ZIP64 end record is damaged)");
            return false;
        }
        split = split || u32(locator + 4) != 0 || u32(locator + 16) > 1 || u32(&record[16]) != 0 ||
                u32(&record[20]) != 0 || u64(&record[24]) != u64(&record[32]);
        directory = {u64(&record[32]), u64(&record[48]), u64(&record[40]), recordAt};
    }
    if (split) {
        zip.refuse(ZipVerdict::Split, "it is one part of a zip split over several files");
        return false;
    }
    if (directory.offset > directory.end || directory.size > directory.end - directory.offset) {
        zip.refuse(ZipVerdict::Broken, "it is broken (its table of contents lies outside it)");
        return false;
    }
    if (directory.offset + directory.size != directory.end) {
        zip.refuse(ZipVerdict::Gap, "bytes lie between its table of contents and its end record");
        return false;
    }
    if (directory.entries > ZIP_ENTRY_LIMIT || directory.size > ZIP_DIRECTORY_LIMIT) {
        zip.refuse(ZipVerdict::TooMany,
                   "more than " + std::to_string(ZIP_ENTRY_LIMIT) + " entries, more than a magazine has");
        return false;
    }
    return true;
}

// The 64-bit values of the ZIP64 extra field for the 32-bit fields that say
// "see there", in the field's order.
bool zip64Values(const std::uint8_t *extra, std::size_t length, std::uint64_t *const fields[], std::size_t count) {
    for (std::size_t at = 0; at + 4 <= length;) {
        const std::size_t size = u16(extra + at + 2);
        if (at + 4 + size > length)
            break;
        if (u16(extra + at) == ZIP64_FIELD) {
            std::size_t field = at + 4;
            for (std::size_t i = 0; i < count; ++i) {
                if (*fields[i] != NO_VALUE32)
                    continue;
                if (field + 8 > at + 4 + size)
                    return false;
                *fields[i] = u64(extra + field);
                field += 8;
            }
            return true;
        }
        at += 4 + size;
    }
    return std::none_of(fields, fields + count, [](const std::uint64_t *f) { return *f == NO_VALUE32; });
}

// What a central record says that its local header must say too.
struct Header {
    std::uint16_t needed = 0, flags = 0, method = 0, time = 0, date = 0;
    bool zip64 = false;
};

bool readRecords(Reader &zip, const Directory &directory, std::vector<ZipRecord> &records,
                 std::vector<Header> &headers) {
    std::vector<std::uint8_t> bytes;
    if (!zip.read(directory.offset, static_cast<std::size_t>(directory.size), bytes, "its table of contents"))
        return false;
    std::size_t at = 0;
    for (std::uint64_t i = 0; i < directory.entries; ++i) {
        const std::string where =
            "it is broken (its table of contents is damaged at entry " + std::to_string(i + 1) + ")";
        if (at + CENTRAL_BYTES > bytes.size() || u32(&bytes[at]) != CENTRAL) {
            zip.refuse(ZipVerdict::Broken, where);
            return false;
        }
        const std::uint8_t *c = &bytes[at];
        const std::size_t nameLength = u16(c + 28);
        const std::size_t extraLength = u16(c + 30);
        const std::size_t next = at + CENTRAL_BYTES + nameLength + extraLength + u16(c + 32);
        if (next > bytes.size()) {
            zip.refuse(ZipVerdict::Broken, where);
            return false;
        }
        ZipRecord record;
        record.name.assign(reinterpret_cast<const char *>(c + CENTRAL_BYTES), nameLength);
        record.flags = u16(c + 8);
        record.method = u16(c + 10);
        record.crc = u32(c + 16);
        record.packed = u32(c + 20);
        record.size = u32(c + 24);
        record.localOffset = u32(c + 42);
        record.mode = u32(c + 38) >> 16;
        Header header{u16(c + 6), u16(c + 8), u16(c + 10), u16(c + 12), u16(c + 14)};
        header.zip64 = record.packed == NO_VALUE32 || record.size == NO_VALUE32;
        std::uint64_t *const fields[] = {&record.size, &record.packed, &record.localOffset};
        if (!zip64Values(c + CENTRAL_BYTES + nameLength, extraLength, fields, 3)) {
            zip.refuse(ZipVerdict::Broken, "it is broken (the ZIP64 sizes of " + quoted(record.name) + " are missing)");
            return false;
        }
        records.push_back(std::move(record));
        headers.push_back(header);
        at = next;
    }
    if (at != bytes.size()) {
        zip.refuse(ZipVerdict::Gap, "bytes lie in its table of contents behind its last entry");
        return false;
    }
    return true;
}

// The local header agrees with the record, and the data descriptor behind
// the data where the flags say there is one; end gets where the entry ends.
// Field by field in the format's order, as findDirectory reads its own.
bool checkLocal(Reader &zip, ZipRecord &record, const Header &central, std::uint64_t directoryAt, std::uint64_t &end) {
    const std::string name = quoted(record.name);
    std::vector<std::uint8_t> bytes;
    if (record.localOffset >= directoryAt) {
        zip.refuse(ZipVerdict::Broken, "it is broken (the header of " + name + " lies past its entries)");
        return false;
    }
    if (!zip.read(record.localOffset, LOCAL_BYTES, bytes, "a local header"))
        return false;
    if (u32(bytes.data()) != LOCAL) {
        zip.refuse(ZipVerdict::Broken, "it is broken (the header of " + name + " is damaged)");
        return false;
    }
    const std::size_t nameLength = u16(&bytes[26]);
    const std::size_t extraLength = u16(&bytes[28]);
    std::uint64_t crc = u32(&bytes[14]);
    std::uint64_t packed = u32(&bytes[18]);
    std::uint64_t size = u32(&bytes[22]);
    const Header local{u16(&bytes[4]), u16(&bytes[6]), u16(&bytes[8]), u16(&bytes[10]), u16(&bytes[12])};
    std::vector<std::uint8_t> more;
    if (!zip.read(record.localOffset + LOCAL_BYTES, nameLength + extraLength, more, "a local header"))
        return false;
    const std::string localName(reinterpret_cast<const char *>(more.data()), nameLength);
    std::uint64_t *const fields[] = {&size, &packed};
    const bool zip64 = size == NO_VALUE32 || packed == NO_VALUE32;
    const bool descriptor = (local.flags & FLAG_DESCRIPTOR) != 0;
    auto agrees = [](std::uint64_t here, std::uint64_t there, bool mayBeZero) {
        return here == there || (mayBeZero && here == 0);
    };
    if (!zip64Values(more.data() + nameLength, extraLength, fields, 2) || localName != record.name ||
        local.method != central.method || local.time != central.time || local.date != central.date ||
        local.needed > central.needed || (local.flags & FLAGS_THAT_MATTER) != (central.flags & FLAGS_THAT_MATTER) ||
        !agrees(crc, record.crc, descriptor) || !agrees(packed, record.packed, descriptor) ||
        !agrees(size, record.size, descriptor)) {
        zip.refuse(ZipVerdict::Header, "the local header of " + name + " disagrees with its table of contents");
        return false;
    }
    record.dataOffset = record.localOffset + LOCAL_BYTES + nameLength + extraLength;
    end = record.dataOffset + record.packed;
    if (end < record.dataOffset || end > directoryAt) {
        zip.refuse(ZipVerdict::Overlap, "the data of " + name + " runs into its table of contents");
        return false;
    }
    if (!descriptor)
        return true;
    // crc, then both sizes in 4 bytes, or 8 where the entry is ZIP64; a
    // signature before them is optional.
    const std::size_t sizeBytes = zip64 || central.zip64 ? 8 : 4;
    if (!zip.read(end, static_cast<std::size_t>(std::min<std::uint64_t>(4 + 4 + 2 * sizeBytes, directoryAt - end)),
                  bytes, "a data descriptor"))
        return false;
    const std::size_t signature = bytes.size() >= 4 && u32(bytes.data()) == DESCRIPTOR ? 4 : 0;
    const std::size_t length = signature + 4 + 2 * sizeBytes;
    if (bytes.size() < length) {
        zip.refuse(ZipVerdict::Overlap, "the data of " + name + " runs into its table of contents");
        return false;
    }
    const std::uint8_t *d = &bytes[signature];
    const std::uint64_t dPacked = sizeBytes == 8 ? u64(d + 4) : u32(d + 4);
    const std::uint64_t dSize = sizeBytes == 8 ? u64(d + 12) : u32(d + 8);
    if (u32(d) != record.crc || dPacked != record.packed || dSize != record.size) {
        zip.refuse(ZipVerdict::Header, "the data descriptor of " + name + " disagrees with its table of contents");
        return false;
    }
    end += length;
    return true;
}

} // namespace

const char *zipVerdictCode(ZipVerdict verdict) {
    static constexpr const char *CODES[] = {
        "ok",      "not-zip",   "split",  "two-ends",  "broken",          "outside",  "name",      "link",
        "special", "encrypted", "method", "duplicate", "file-and-folder", "too-many", "too-large", "total",
        "overlap", "gap",       "header", "bigger",    "smaller",         "damaged",
    };
    return CODES[static_cast<std::size_t>(verdict)];
}

ZipVerdict readZipLayout(int fd, std::vector<ZipRecord> &records, std::string &why) {
    records.clear();
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        why = "it is no zip file";
        return ZipVerdict::NotZip;
    }
    Reader zip(fd, static_cast<std::uint64_t>(st.st_size), why);
    Directory directory;
    std::vector<Header> headers;
    if (!findDirectory(zip, directory) || !readRecords(zip, directory, records, headers))
        return zip.verdict();
    // The entries in the file's order, each beginning where the one before
    // ends, the first at its start and the last where the table begins.
    std::vector<std::size_t> order(records.size());
    for (std::size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    std::stable_sort(order.begin(), order.end(),
                     [&](std::size_t a, std::size_t b) { return records[a].localOffset < records[b].localOffset; });
    std::uint64_t expected = 0;
    const ZipRecord *before = nullptr;
    for (std::size_t i : order) {
        ZipRecord &record = records[i];
        if (record.localOffset < expected) {
            zip.refuse(ZipVerdict::Overlap, "its entries " + quoted(before->name) + " and " + quoted(record.name) +
                                                " overlap, as in a zip bomb");
            return zip.verdict();
        }
        if (record.localOffset > expected) {
            zip.refuse(ZipVerdict::Gap, "bytes lie outside its entries, before " + quoted(record.name));
            return zip.verdict();
        }
        if (!checkLocal(zip, record, headers[i], directory.offset, expected))
            return zip.verdict();
        before = &record;
    }
    if (expected != directory.offset)
        zip.refuse(ZipVerdict::Gap, "bytes lie outside its entries, before its table of contents");
    return zip.verdict();
}

} // namespace orbex
