#include "support.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "picture/pixelformat.h"
#include "platform/headless/headless.h"
#include "platform/install.h"
#include "platform/testing.h"
#include "shell/reset.h"

namespace orbex::fuzz {

namespace {
// Removed when the fuzzer ends normally; one that found something keeps it.
std::string scratchFolder;
void removeScratchFolder() { removeAll(scratchFolder); }
} // namespace

std::string enterScratchFolder(const char *name) {
    std::string pattern = std::string("/tmp/orbex-fuzz-") + name + "-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr || ::chdir(pattern.c_str()) != 0 ||
        !std::filesystem::create_directory("data"))
        std::abort();
    scratchFolder = pattern;
    std::atexit(removeScratchFolder);
    return pattern;
}

bool writeFile(const std::string &path, const std::uint8_t *data, std::size_t size) {
    std::FILE *file = std::fopen(path.c_str(), "wb");
    if (file == nullptr)
        return false;
    bool written = size == 0 || std::fwrite(data, 1, size, file) == size;
    return std::fclose(file) == 0 && written;
}

bool writeFile(const std::string &path, const std::vector<std::uint8_t> &bytes) {
    return writeFile(path, bytes.data(), bytes.size());
}

void resetViewer() {
    orbex::resetViewer();
    resetPlatform();
    installBackend(headless::BACKEND, false);
}

void useDepth(std::size_t choice) {
    struct Layout {
        std::uint8_t red, green, blue;
    };
    constexpr Layout LAYOUTS[] = {{5, 6, 5}, {5, 5, 5}, {6, 5, 5}, {5, 5, 6}, {6, 6, 6}};
    choice %= DEPTH_CHOICES;
    if (choice == 0) {
        SCREENCOLORS = 24;
        return;
    }
    SCREENCOLORS = 16;
    const Layout &layout = LAYOUTS[choice - 1];
    nRedBits = layout.red, nGreenBits = layout.green, nBlueBits = layout.blue;
}

void removeAll(const std::string &path) {
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
}

void makeFolder(const std::string &path) {
    std::error_code error;
    std::filesystem::create_directories(path, error);
    if (error)
        std::abort();
}

Choices::Choices(const std::uint8_t *data, std::size_t size, std::size_t count)
    : choices(data, data + std::min(size, count)), pRest(data + std::min(size, count)),
      nRest(size - std::min(size, count)) {}

std::vector<std::vector<std::uint8_t>> splitFrames(const std::uint8_t *data, std::size_t size,
                                                   const std::string &separator, std::size_t limit) {
    std::vector<std::vector<std::uint8_t>> frames(1);
    for (std::size_t i = 0; i < size; ++i) {
        if (frames.size() < limit && i + separator.size() <= size &&
            std::equal(separator.begin(), separator.end(), data + i)) {
            frames.emplace_back();
            i += separator.size() - 1;
            continue;
        }
        frames.back().push_back(data[i]);
    }
    return frames;
}

} // namespace orbex::fuzz
