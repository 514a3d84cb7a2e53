#include "support/viewer_test.h"

#include <unistd.h>

#include <fstream>
#include <iterator>

#include "display/display.h"
#include "platform/headless/headless.h"
#include "shell/reset.h"

namespace orbex::test {

void resetViewer() {
    orbex::resetViewer();
    headless::reset();
    headless::install(false);
}

void ViewerTest::SetUp() {
    resetViewer();
    previous = std::filesystem::current_path();
    const auto *info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string(info->test_suite_name()) + "." + info->name();
    for (char &c : name)
        if (c == '/')
            c = '_';
    folder = std::filesystem::temp_directory_path() / ("orbex-test-" + std::to_string(::getpid())) / name;
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder / "data");
    std::filesystem::current_path(folder);
}

void ViewerTest::TearDown() {
    releaseDisplayObjects();
    std::filesystem::current_path(previous);
    if (!HasFailure())
        std::filesystem::remove_all(folder);
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
