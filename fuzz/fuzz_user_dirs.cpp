// Any bytes as the user's user-dirs.dirs, read for the picture folder that
// Print Screen falls back to, with and without a home folder.
#include <cstdint>
#include <string>

#include "platform/places.h"
#include "support.h"

namespace {

std::string configFolder;

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    configFolder = orbex::fuzz::enterScratchFolder("user-dirs") + "/config";
    orbex::fuzz::makeFolder(configFolder);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    if (!orbex::fuzz::writeFile(configFolder + "/user-dirs.dirs", data, size))
        return 0;
    orbex::picturesFolderFor(nullptr, configFolder.c_str(), "/home/reader");
    orbex::picturesFolderFor(nullptr, configFolder.c_str(), nullptr);
    orbex::picturesFolderFor("relative", configFolder.c_str(), "");
    return 0;
}
