// Any bytes as a zip magazine: the whole check at opening, then, when it is
// taken, every file read through the mount as the viewer reads, with seeks
// back and forth.
#include <fcntl.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "common/files.h"
#include "common/zipfolder.h"
#include "support.h"

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    orbex::fuzz::enterScratchFolder("zip");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    if (!orbex::fuzz::writeFile("magazine.zip", data, size))
        return 0;
    std::string why;
    auto zip = orbex::ZipFolder::open(::open("magazine.zip", O_RDONLY), "magazine.zip", why);
    if (zip == nullptr)
        return 0;
    orbex::mountZip(std::move(zip));
    for (const char *name : {"data/orbex.dat", "data/chars.168", "data/begin.raw", "data/ende.pcx", "data/BG_8b.pcx",
                             "data/cursor.pcx", "orbex.cfg", "extreme2.xm", "./data/../extreme2.xm", "../x", "data"}) {
        orbex::UniqueFile file = orbex::openRegularFile(name);
        if (file == nullptr)
            continue;
        char buffer[4096];
        while (std::fread(buffer, 1, sizeof buffer, file.get()) > 0) {
        }
        std::fseek(file.get(), 1, SEEK_SET);
        std::fread(buffer, 1, sizeof buffer, file.get());
        std::fseek(file.get(), -2, SEEK_END);
        std::fread(buffer, 1, sizeof buffer, file.get());
    }
    orbex::unmountZip();
    return 0;
}
