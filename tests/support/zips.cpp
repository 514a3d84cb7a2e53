#include "support/zips.h"

#include <zip.h>

#include <algorithm>
#include <cstring>
#include <memory>

namespace orbex::test {

namespace {

// A source of n zeros that libzip pulls in pieces as it deflates them.
struct Zeros {
    std::uint64_t size;
    std::uint64_t given = 0;
};

zip_int64_t zerosSource(void *userdata, void *data, zip_uint64_t len, zip_source_cmd_t cmd) {
    auto *zeros = static_cast<Zeros *>(userdata);
    switch (cmd) {
    case ZIP_SOURCE_OPEN:
        zeros->given = 0;
        return 0;
    case ZIP_SOURCE_READ: {
        std::uint64_t n = std::min<std::uint64_t>(len, zeros->size - zeros->given);
        std::memset(data, 0, n);
        zeros->given += n;
        return static_cast<zip_int64_t>(n);
    }
    case ZIP_SOURCE_CLOSE:
        return 0;
    case ZIP_SOURCE_STAT: {
        auto *st = static_cast<zip_stat_t *>(data);
        zip_stat_init(st);
        st->size = zeros->size;
        st->valid |= ZIP_STAT_SIZE;
        return sizeof(zip_stat_t);
    }
    case ZIP_SOURCE_ERROR: {
        // Nothing fails here: no error to tell.
        zip_error_t none;
        zip_error_init(&none);
        zip_int64_t n = zip_error_to_data(&none, data, len);
        zip_error_fini(&none);
        return n;
    }
    case ZIP_SOURCE_FREE:
        delete zeros;
        return 0;
    case ZIP_SOURCE_SUPPORTS:
        return zip_source_make_command_bitmap(ZIP_SOURCE_OPEN, ZIP_SOURCE_READ, ZIP_SOURCE_CLOSE, ZIP_SOURCE_STAT,
                                              ZIP_SOURCE_ERROR, ZIP_SOURCE_FREE, -1);
    default:
        return -1;
    }
}

zip_source_t *sourceOf(zip_t *archive, const ZipEntry &entry) {
    if (entry.zeros != 0)
        return zip_source_function(archive, zerosSource, new Zeros{entry.zeros});
    // libzip keeps the bytes until the archive is written: a copy it frees.
    // It takes no buffer at all for an empty file.
    if (entry.data.empty())
        return zip_source_buffer(archive, nullptr, 0, 0);
    void *copy = std::malloc(entry.data.size());
    if (copy == nullptr)
        return nullptr;
    std::memcpy(copy, entry.data.data(), entry.data.size());
    zip_source_t *source = zip_source_buffer(archive, copy, entry.data.size(), 1);
    if (source == nullptr)
        std::free(copy);
    return source;
}

// The n-th record with this signature (from 0), or npos.
std::size_t nth(const Bytes &bytes, const char (&signature)[5], std::size_t n) {
    auto at = bytes.begin();
    for (std::size_t i = 0; at != bytes.end(); ++i, at += 4) {
        at = std::search(at, bytes.end(), signature, signature + 4);
        if (at == bytes.end() || i == n)
            break;
    }
    return at == bytes.end() ? std::string::npos : static_cast<std::size_t>(at - bytes.begin());
}

} // namespace

bool writeZip(const std::filesystem::path &path, const std::vector<ZipEntry> &entries) {
    int error = 0;
    zip_t *archive = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    if (archive == nullptr)
        return false;
    bool ok = true;
    for (const ZipEntry &entry : entries) {
        zip_int64_t index = -1;
        if (!entry.name.empty() && entry.name.back() == '/') {
            index = zip_dir_add(archive, entry.name.c_str(), ZIP_FL_ENC_RAW);
        } else if (zip_source_t *source = sourceOf(archive, entry); source != nullptr) {
            index = zip_file_add(archive, entry.name.c_str(), source, ZIP_FL_ENC_RAW);
            if (index < 0)
                zip_source_free(source);
            // Zeros pack a thousandfold at the best deflate, as a bomb is made.
            else if (entry.zeros != 0)
                zip_set_file_compression(archive, static_cast<zip_uint64_t>(index), ZIP_CM_DEFLATE, 9);
        }
        if (index >= 0 && entry.mode != 0)
            zip_file_set_external_attributes(archive, static_cast<zip_uint64_t>(index), 0, ZIP_OPSYS_UNIX,
                                             static_cast<zip_uint32_t>(entry.mode) << 16);
        ok = ok && index >= 0;
    }
    if (!ok || zip_close(archive) != 0) {
        zip_discard(archive);
        return false;
    }
    return true;
}

std::vector<ZipEntry> entriesOf(const std::filesystem::path &folder, const std::string &top) {
    std::vector<ZipEntry> entries;
    if (!top.empty())
        entries.push_back({top, {}});
    std::vector<std::filesystem::path> paths;
    for (const auto &entry : std::filesystem::recursive_directory_iterator(folder))
        paths.push_back(entry.path());
    std::sort(paths.begin(), paths.end());
    for (const std::filesystem::path &path : paths) {
        std::string name = top + path.lexically_relative(folder).generic_string();
        if (std::filesystem::is_directory(path))
            entries.push_back({name + "/", {}});
        else
            entries.push_back({name, readFile(path)});
    }
    return entries;
}

void declareSize(Bytes &zip, std::size_t entry, std::uint32_t size) {
    auto patch = [&](std::size_t offset) {
        for (int i = 0; i < 4; ++i)
            zip.at(offset + i) = static_cast<std::uint8_t>(size >> (8 * i));
    };
    patch(nth(zip, "PK\3\4", entry) + 22);
    patch(nth(zip, "PK\1\2", entry) + 24);
}

std::size_t firstCentralRecord(const Bytes &zip) { return nth(zip, "PK\1\2", 0); }

} // namespace orbex::test
