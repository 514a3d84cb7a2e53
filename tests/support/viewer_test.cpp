#include "support/viewer_test.h"

#include <stdlib.h>

#include <cstring>
#include <fstream>
#include <iterator>

#include "display/display.h"
#include "platform/headless/headless.h"
#include "platform/install.h"
#include "platform/testing.h"
#include "shell/reset.h"

extern char **environ;

namespace orbex::test {

void resetViewer() {
    orbex::resetViewer();
    resetPlatform();
    installBackend(headless::BACKEND, false);
}

void clearViewerEnvironment() {
    std::vector<std::string> names;
    for (char **e = environ; *e != nullptr; ++e)
        if (std::strncmp(*e, "ORBEX_", 6) == 0)
            names.emplace_back(*e, std::strcspn(*e, "="));
    for (const std::string &name : names)
        ::unsetenv(name.c_str());
}

void ViewerTest::SetUp() {
    clearViewerEnvironment();
    resetViewer();
    previous = std::filesystem::current_path();
    std::string pattern = (std::filesystem::temp_directory_path() / "orbex-test-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr)
        << "cannot make a folder in " << std::filesystem::temp_directory_path();
    folder = pattern;
    std::filesystem::create_directories(folder / "data");
    std::filesystem::current_path(folder);
}

void ViewerTest::TearDown() {
    releaseDisplayObjects();
    std::filesystem::current_path(previous);
    if (!folder.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(folder, ignored);
    }
}

ProgramRun ViewerTest::headlessRun(const std::string &letters, const std::filesystem::path &in) const {
    ProgramRun run;
    run.folder = in.empty() ? folder : in;
    if (!letters.empty())
        run.arguments.push_back(letters);
    run.environment = {"ORBEX_VIDEO=headless", "ORBEX_CLOCK=step:20", "ORBEX_SCRIPT=script.txt"};
    return run;
}

Bytes bytesOf(const std::string &text) { return Bytes(text.begin(), text.end()); }

void writeFile(const std::filesystem::path &path, const Bytes &bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char *>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

void writeFile(const std::filesystem::path &path, const std::string &text) { writeFile(path, bytesOf(text)); }

Bytes readFile(const std::filesystem::path &path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string readText(const std::filesystem::path &path) {
    Bytes b = readFile(path);
    return std::string(b.begin(), b.end());
}

std::vector<std::string> logLines() {
    std::string text = readText("orbex.log");
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
        lines.push_back(text.substr(start, end - start));
    if (start < text.size())
        lines.push_back(text.substr(start));
    return lines;
}

} // namespace orbex::test
