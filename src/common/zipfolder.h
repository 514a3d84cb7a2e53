// A zip file read as a read-only folder: a magazine handed out as one. It is
// checked whole when it is opened, before anything reads from it or writes
// anything anywhere: one zip whose parts tile the file (ziplayout.h), no
// entry outside the folder ("../", absolute names) or named as no file is,
// no symbolic link or device, nothing encrypted, no entry larger than the
// viewer reads of the file it stands for (readlimits.h), no more entries or
// bytes than a magazine can use, and every entry's data as long as it
// declares and intact. Its files are then streamed, inflated only as far as
// a reader reads them. One folder around everything in the zip is the
// magazine's folder; a zip with data/orbex.dat at its top is one as it is.
// Not in the browser's build, where the page reads zips itself.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "common/files.h"
#include "common/ziplayout.h"

using zip_t = struct zip;

namespace orbex {

// A zip entry in plain form, from the zip's top (zipfolder.cpp).
struct PlainEntry {
    std::string name;
    bool folder = false;
    std::uint64_t index = 0;
    std::uint64_t size = 0;
};

class ZipFolder {
  public:
    enum class Kind : std::uint8_t { File, Folder, Missing, Outside };
    // What a name reaches in the folder.
    struct Found {
        Kind kind = Kind::Missing;
        std::uint64_t size = 0;  // a file's size as its entry declares it
        std::uint64_t entry = 0; // a file's index in the zip
    };

    // Opens the zip on fd (which it then owns, also when it fails) and
    // checks it; nullptr, with "NAME: reason" in *why and the verdict in
    // *verdict when given, when it is refused. shown names the zip in
    // messages.
    static std::unique_ptr<ZipFolder> open(int fd, const std::string &shown, std::string &why,
                                           ZipVerdict *verdict = nullptr);
    ~ZipFolder();
    ZipFolder(const ZipFolder &) = delete;
    ZipFolder &operator=(const ZipFolder &) = delete;

    // relative as a folder's path reaches it: "." and empty parts dropped,
    // ".." taking one part back; absolute names and names that lead out of
    // the folder are Outside.
    Found find(std::string_view relative) const;
    // The file at relative as a stream of plain bytes, or nullptr when it is
    // no file. It ends at the entry's declared size, and seeks without
    // inflating more than the reads after it need.
    UniqueFile openFile(std::string_view relative) const;
    // Every file below the top folder in plain form, with its declared size,
    // in name order.
    std::vector<std::pair<std::string, std::uint64_t>> fileSizes() const;
    // The folder around everything ("issue3/"), or empty; for messages.
    const std::string &top() const { return topFolder; }

  private:
    ZipFolder() = default;
    ZipVerdict check(const std::vector<ZipRecord> &records, std::string &why);
    ZipVerdict fileEntries(const std::vector<PlainEntry> &entries, std::string &why);
    ZipVerdict checkData(std::string &why) const;

    zip_t *archive = nullptr;
    std::string topFolder;
    // Below the top folder, in plain form.
    std::map<std::string, Found, std::less<>> files;
    std::set<std::string, std::less<>> folders;
};

// Called by main once the zip magazine is open: from then on every relative
// name the viewer reads is read from it (openRegularFile), never from the
// disk, and no relative name is written.
void mountZip(std::unique_ptr<ZipFolder> zip);
// Puts the working folder back in its place (tests).
void unmountZip();

} // namespace orbex
