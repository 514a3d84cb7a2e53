// The common base of the viewer's tests: every subsystem back at its start
// values, the headless backend installed, and a fresh temporary folder as
// the working directory.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace orbex::test {

// Puts the viewer, the platform and the headless backend back to program start.
void resetViewer();

class ViewerTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

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
