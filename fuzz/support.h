// What the fuzz targets share: a scratch folder as the working folder, the
// input written as a file, the viewer back at its start, and the first bytes
// of an input read as choices.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace orbex::fuzz {

// Makes a fresh folder under /tmp (with data/ inside) and changes into it, as
// the viewer runs in its magazine folder, and removes it at a normal exit;
// aborts when it cannot. Called once from LLVMFuzzerInitialize; returns the
// folder's absolute path.
std::string enterScratchFolder(const char *name);
// The bytes as the whole file at path; false when it cannot be written.
bool writeFile(const std::string &path, const std::uint8_t *data, std::size_t size);
bool writeFile(const std::string &path, const std::vector<std::uint8_t> &bytes);
// Every subsystem, the platform and the headless backend back at program
// start, as the tests do it.
void resetViewer();
// The screen depth as a choice: 0 is 24 bits, 1 to 5 a 16-bit layout (5-6-5,
// 5-5-5, 6-5-5, 5-5-6, and 6-6-6, which packing does not know).
constexpr std::size_t DEPTH_CHOICES = 6;
void useDepth(std::size_t choice);
// Removes path and all below it (a scratch folder's leftovers).
void removeAll(const std::string &path);
// Makes the folder path (and its parents); aborts when it cannot.
void makeFolder(const std::string &path);

// The first bytes of an input as choices, the rest as the file: a short
// input gives zeros for the choices it lacks and an empty file.
class Choices {
  public:
    Choices(const std::uint8_t *data, std::size_t size, std::size_t count);
    std::uint8_t byte(std::size_t i) const { return i < choices.size() ? choices[i] : 0; }
    const std::uint8_t *rest() const { return pRest; }
    std::size_t restSize() const { return nRest; }

  private:
    std::vector<std::uint8_t> choices;
    const std::uint8_t *pRest;
    std::size_t nRest;
};

// The input cut at every occurrence of separator into at most limit parts
// (the last part keeps the rest, separators included).
std::vector<std::vector<std::uint8_t>> splitFrames(const std::uint8_t *data, std::size_t size,
                                                   const std::string &separator, std::size_t limit);

} // namespace orbex::fuzz
