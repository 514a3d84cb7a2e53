// Any bytes as a PCX file, read into both targets with and without offsets.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "picture/pcx.h"

namespace {
std::string pcxPath;
} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    char folder[] = "/tmp/orbex-fuzz-pcx-XXXXXX";
    if (mkdtemp(folder) == nullptr)
        std::abort();
    pcxPath = std::string(folder) + "/input.pcx";
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    std::FILE *file = std::fopen(pcxPath.c_str(), "wb");
    if (file == nullptr)
        return 0;
    std::fwrite(data, 1, size, file);
    std::fclose(file);
    // Offsets from the file's first bytes, so placement is explored too.
    std::int32_t dx = size > 0 ? static_cast<std::int8_t>(data[0]) * 8 : 0;
    std::int32_t dy = size > 1 ? static_cast<std::int8_t>(data[1]) * 8 : 0;
    orbex::readPcx(pcxPath.c_str(), orbex::PCX_READ_PALETTE, 0, 0);
    orbex::readPcx(pcxPath.c_str(), 0, dx, dy);
    orbex::readCursorPcx(pcxPath.c_str(), orbex::PCX_READ_PALETTE, 0, 0);
    orbex::readCursorPcx(pcxPath.c_str(), 0, dx, dy);
    return 0;
}
