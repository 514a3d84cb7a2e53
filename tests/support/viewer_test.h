// The common base of the viewer's tests: no ORBEX_* variable of the caller's
// environment, every subsystem back at its start values, the headless backend
// installed, and a fresh temporary folder as the working directory, removed
// with everything in it at the end.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "support/process.h"

namespace orbex::test {

// Puts the viewer, the platform and the headless backend back to program start.
void resetViewer();
// Removes every ORBEX_* variable from this process's environment, so the
// viewer run inside a test sees none that the person running the tests set.
void clearViewerEnvironment();

class ViewerTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    // The viewer binary with these letters, headless, with the virtual clock
    // (step:20) and the input script "script.txt", in the test's folder
    // unless another is given.
    ProgramRun headlessRun(const std::string &letters, const std::filesystem::path &in = {}) const;

    std::filesystem::path folder;

  private:
    std::filesystem::path previous;
};

using Bytes = std::vector<std::uint8_t>;

Bytes bytesOf(const std::string &text);
void writeFile(const std::filesystem::path &path, const Bytes &bytes);
void writeFile(const std::filesystem::path &path, const std::string &text);
Bytes readFile(const std::filesystem::path &path);
std::string readText(const std::filesystem::path &path);
// The entries of "orbex.log", split at 13 10; a last line without them is kept.
std::vector<std::string> logLines();

} // namespace orbex::test
