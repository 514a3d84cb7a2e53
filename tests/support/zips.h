// Zip files for the tests, written with libzip as a packer would write them,
// and the few ways a hostile one differs.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "support/viewer_test.h"

namespace orbex::test {

struct ZipEntry {
    std::string name; // as stored, "issue3/data/orbex.dat"; a folder ends in '/'
    Bytes data;
    // Unix mode bits kept in the entry (S_IFLNK | 0777 for a link), or 0
    // for none, as a packer on another system leaves them.
    mode_t mode = 0;
    // A run of zeros this long instead of data, made while it is packed:
    // neither it nor its whole is ever held in memory or on the disk.
    std::uint64_t zeros = 0;
};

// Writes the entries, deflated, into a new zip at path; false when libzip
// refused (the test then fails on its own).
bool writeZip(const std::filesystem::path &path, const std::vector<ZipEntry> &entries);
// Every file under folder, below top ("issue3/" or "" for none), its folders
// as entries of their own, as "zip -r" packs them.
std::vector<ZipEntry> entriesOf(const std::filesystem::path &folder, const std::string &top);

// The uncompressed size that entry number entry (from 0) declares, set in
// its local header and in its central directory record alike, as a zip
// bomb's maker would set it.
void declareSize(Bytes &zip, std::size_t entry, std::uint32_t size);
// Where the central directory's first record begins, or npos.
std::size_t firstCentralRecord(const Bytes &zip);

} // namespace orbex::test
