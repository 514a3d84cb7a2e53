// The regression tour: the sample magazine run headless with the virtual
// clock through tests/regression/tour.txt. Its log must match
// tests/regression/tour.log line by line and its shots the reference
// pictures there pixel by pixel; a mismatch leaves NAME-ACTUAL.png (or
// tour-ACTUAL.log) beside the reference. ORBEX_REFRESH_REFERENCES=1 makes
// the run's log and shots the new references (tests/regression/refresh.sh).
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "images.h"
#include "platform/headless/headless.h"
#include "platform/install.h"
#include "shell/startup.h"
#include "support/magazine.h"
#include "support/modules.h"
#include "support/viewer_test.h"

namespace orbex::test {
namespace {

namespace fs = std::filesystem;

constexpr std::size_t FRAMES_PER_FLIP = 44100 * 20 / 1000;
const std::string SAME_AS = "same-as-";
const std::string ACTUAL = "-ACTUAL";

fs::path referenceFolder() { return ORBEX_REGRESSION_DIR; }

// Read when the suite loads: every test clears the ORBEX_* variables of its
// process before it runs.
const bool bRefreshReferences = [] {
    const char *value = std::getenv("ORBEX_REFRESH_REFERENCES");
    return value != nullptr && *value != '\0' && std::string(value) != "0";
}();

// What the script does, counted the way the headless backend plays it: one
// flip at start, then one per frame of a "frames" command.
struct Tour {
    std::vector<std::string> shots;
    std::size_t nFlips = 1;
    std::size_t nFlipsBeforeF12 = 0;
};

Tour readTour() {
    Tour tour;
    std::istringstream lines(readText(referenceFolder() / "tour.txt"));
    for (std::string line; std::getline(lines, line);) {
        std::istringstream words(line);
        std::string command, argument;
        words >> command >> argument;
        if (command == "frames")
            tour.nFlips += std::stoul(argument);
        else if (command == "shot")
            tour.shots.push_back(argument);
        else if (command == "key" && argument == "F12")
            tour.nFlipsBeforeF12 = tour.nFlips;
    }
    return tour;
}

// Runs the tour in folder, with the letter l.
int runTour(const fs::path &folder) {
    copySampleMagazine(folder);
    ProgramRun run;
    run.folder = folder;
    run.arguments = {"l"};
    run.environment = {"ORBEX_VIDEO=headless", "ORBEX_CLOCK=step:20",
                       "ORBEX_SCRIPT=" + (referenceFolder() / "tour.txt").string(), "ORBEX_AUDIO_CAPTURE=capture.wav"};
    return runProgram(run).status();
}

// The same tour inside this process, as a test or benchmark runs the viewer
// again and again: only the one reset between runs.
int runTourHere(const fs::path &folder) {
    copySampleMagazine(folder);
    const fs::path previous = fs::current_path();
    fs::current_path(folder);
    const std::string script = (referenceFolder() / "tour.txt").string();
    ::setenv("ORBEX_CLOCK", "step:20", 1);
    ::setenv("ORBEX_SCRIPT", script.c_str(), 1);
    ::setenv("ORBEX_AUDIO_CAPTURE", "capture.wav", 1);
    resetViewer();
    int result = installBackend(headless::BACKEND, true) ? 0 : -1;
    char commandLine[] = "l";
    if (result == 0)
        result = WinMain(nullptr, nullptr, commandLine, SW_SHOWDEFAULT);
    // Completes the capture file.
    resetViewer();
    for (const char *name : {"ORBEX_CLOCK", "ORBEX_SCRIPT", "ORBEX_AUDIO_CAPTURE"})
        ::unsetenv(name);
    fs::current_path(previous);
    return result;
}

std::vector<std::string> splitLines(const std::string &text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        end = end == std::string::npos ? text.size() : end + 1;
        lines.push_back(text.substr(start, end - start));
        start = end;
    }
    return lines;
}

// A log line as the reader of a test failure needs to see it: line ends shown.
std::string shown(const std::string &line) {
    std::string out;
    for (char c : line)
        out += c == '\r' ? std::string("\\r") : c == '\n' ? std::string("\\n") : std::string(1, c);
    return "\"" + out + "\"";
}

// Empty when the logs are the same; otherwise where they first part.
std::string compareLogs(const std::string &expected, const std::string &actual) {
    const std::vector<std::string> want = splitLines(expected);
    const std::vector<std::string> got = splitLines(actual);
    for (std::size_t i = 0; i < want.size() || i < got.size(); ++i) {
        if (i < want.size() && i < got.size() && want[i] == got[i])
            continue;
        return "line " + std::to_string(i + 1) + " differs: expected " +
               (i < want.size() ? shown(want[i]) : "no more lines") + ", got " +
               (i < got.size() ? shown(got[i]) : "no more lines") + " (" + std::to_string(want.size()) +
               " lines expected, " + std::to_string(got.size()) + " written)";
    }
    return {};
}

std::string hexColour(const RgbImage &image, std::size_t pixel) {
    char text[8];
    std::snprintf(text, sizeof text, "#%02X%02X%02X", image.rgb[3 * pixel], image.rgb[3 * pixel + 1],
                  image.rgb[3 * pixel + 2]);
    return text;
}

// Empty when both pictures decode to the same pixels; otherwise what differs.
std::string comparePictures(const fs::path &expectedPath, const fs::path &actualPath) {
    RgbImage expected, actual;
    Report report;
    if (!readPng(expectedPath.string(), expected, report) || !readPng(actualPath.string(), actual, report))
        return report.errors.empty() ? "unreadable" : report.errors.front();
    if (expected.width != actual.width || expected.height != actual.height)
        return "size " + std::to_string(actual.width) + "x" + std::to_string(actual.height) + " instead of " +
               std::to_string(expected.width) + "x" + std::to_string(expected.height);
    std::size_t nDiffering = 0, first = 0;
    for (std::size_t pixel = 0; pixel < expected.rgb.size() / 3; ++pixel)
        for (int c = 0; c < 3; ++c)
            if (expected.rgb[3 * pixel + c] != actual.rgb[3 * pixel + c]) {
                if (nDiffering++ == 0)
                    first = pixel;
                break;
            }
    if (nDiffering == 0)
        return {};
    const int width = expected.width;
    return std::to_string(nDiffering) + " pixels differ, the first at (" + std::to_string(first % width) + ", " +
           std::to_string(first / width) + "): " + hexColour(actual, first) + " instead of " +
           hexColour(expected, first);
}

fs::path actualBeside(const fs::path &reference) {
    return reference.parent_path() / (reference.stem().string() + ACTUAL + reference.extension().string());
}

class RegressionTour : public ViewerTest {};

TEST_F(RegressionTour, LogAndShotsMatchTheReferences) {
    const Tour tour = readTour();
    ASSERT_FALSE(tour.shots.empty());
    ASSERT_TRUE(fs::exists(fs::path(ORBEX_SAMPLE_MAGAZINE) / "data" / "orbex.dat"))
        << "build the sample magazine first (target magazine)";
    const fs::path run = folder / "tour";
    ASSERT_EQ(runTour(run), 0) << readText(run / "stderr.txt");
    EXPECT_EQ(readText(run / "stderr.txt"), "") << "no message box on the tour";
    EXPECT_EQ(readFile(run / "orbex.cfg"), (Bytes{1, 1, 1})) << "a first start writes the default configuration";

    const fs::path references = referenceFolder();
    const bool bRefresh = bRefreshReferences;

    const fs::path expectedLog = references / "tour.log";
    const std::string log = readText(run / "orbex.log");
    if (bRefresh) {
        writeFile(expectedLog, log);
        fs::remove(actualBeside(expectedLog));
    } else {
        const std::string difference = compareLogs(readText(expectedLog), log);
        if (difference.empty()) {
            fs::remove(actualBeside(expectedLog));
        } else {
            writeFile(actualBeside(expectedLog), log);
            ADD_FAILURE() << "orbex.log: " << difference << "; see " << actualBeside(expectedLog);
        }
    }

    for (const std::string &shot : tour.shots) {
        SCOPED_TRACE(shot);
        ASSERT_TRUE(fs::exists(run / shot));
        if (shot.rfind(SAME_AS, 0) == 0) {
            const std::string earlier = shot.substr(SAME_AS.size());
            EXPECT_EQ(comparePictures(run / earlier, run / shot), "") << "against " << earlier;
            continue;
        }
        const fs::path reference = references / shot;
        if (bRefresh) {
            fs::copy_file(run / shot, reference, fs::copy_options::overwrite_existing);
            fs::remove(actualBeside(reference));
            continue;
        }
        const std::string difference =
            fs::exists(reference) ? comparePictures(reference, run / shot) : "no reference picture";
        if (difference.empty()) {
            fs::remove(actualBeside(reference));
        } else {
            fs::copy_file(run / shot, actualBeside(reference), fs::copy_options::overwrite_existing);
            ADD_FAILURE() << shot << ": " << difference << "; see " << actualBeside(reference);
        }
    }

    // A reference that the tour no longer shoots would go unchecked for ever.
    for (const fs::directory_entry &entry : fs::directory_iterator(references)) {
        const std::string name = entry.path().filename().string();
        if (entry.path().extension() != ".png" || name.find(ACTUAL) != std::string::npos)
            continue;
        if (std::find(tour.shots.begin(), tour.shots.end(), name) != tour.shots.end())
            continue;
        if (bRefresh)
            fs::remove(entry.path());
        else
            ADD_FAILURE() << name << " is no shot of tour.txt";
    }
}

TEST_F(RegressionTour, TheMusicSoundsTheSameEveryTimeUntilItFadesOut) {
    const Tour tour = readTour();
    ASSERT_TRUE(fs::exists(fs::path(ORBEX_SAMPLE_MAGAZINE) / "data" / "orbex.dat"))
        << "build the sample magazine first (target magazine)";
    ASSERT_EQ(runTour(folder / "first"), 0) << readText(folder / "first" / "stderr.txt");
    ASSERT_EQ(runTour(folder / "second"), 0) << readText(folder / "second" / "stderr.txt");
    const Bytes capture = readFile(folder / "first" / "capture.wav");
    EXPECT_TRUE(capture == readFile(folder / "second" / "capture.wav")) << "two captures of the tour differ";
    EXPECT_EQ(readText(folder / "first" / "orbex.log"), readText(folder / "second" / "orbex.log"));

    Wave wave = readWave((folder / "first" / "capture.wav").string());
    ASSERT_TRUE(wave.bValid);
    EXPECT_EQ(wave.dwRate, 44100u);
    ASSERT_EQ(wave.frames(), tour.nFlips * FRAMES_PER_FLIP) << "every flip renders one frame's worth of music";

    auto level = [&](std::size_t flip, std::size_t nFlips = 10) {
        return rmsLevel(wave, flip * FRAMES_PER_FLIP, (flip + nFlips) * FRAMES_PER_FLIP);
    };
    auto crossings = [&](std::size_t flip) {
        return signChanges(wave, flip * FRAMES_PER_FLIP, (flip + 5) * FRAMES_PER_FLIP);
    };
    const std::size_t f12 = tour.nFlipsBeforeF12;
    ASSERT_GT(f12, 100u);
    for (std::size_t flip = 0; flip + 10 <= f12; flip += 10)
        EXPECT_GT(level(flip), 1000.0) << "music from flip " << flip;
    // The music link put the low, slow module on in place of the start music.
    EXPECT_LT(3 * crossings(f12 - 5), crossings(0));
    // The fade lowers the volume by one a frame from F12 on, to silence after
    // 100 frames; the run ends a few frames later.
    EXPECT_GT(level(f12), 1.5 * level(f12 + 50));
    EXPECT_GT(level(f12 + 50), 2.0 * level(f12 + 85));
    EXPECT_GT(level(f12 + 85), 0.0);
    EXPECT_EQ(level(f12 + 100, tour.nFlips - f12 - 100), 0.0);
}

TEST_F(RegressionTour, TwoRunsInOneProcessGiveTheSameLogShotsAndMusic) {
    const Tour tour = readTour();
    ASSERT_TRUE(fs::exists(fs::path(ORBEX_SAMPLE_MAGAZINE) / "data" / "orbex.dat"))
        << "build the sample magazine first (target magazine)";
    ASSERT_EQ(runTourHere(folder / "first"), 0);
    ASSERT_EQ(runTourHere(folder / "second"), 0);
    EXPECT_EQ(compareLogs(readText(referenceFolder() / "tour.log"), readText(folder / "first" / "orbex.log")), "");
    EXPECT_EQ(readText(folder / "first" / "orbex.log"), readText(folder / "second" / "orbex.log"));
    for (const std::string &shot : tour.shots)
        EXPECT_TRUE(readFile(folder / "first" / shot) == readFile(folder / "second" / shot)) << shot;
    const Bytes capture = readFile(folder / "first" / "capture.wav");
    EXPECT_EQ(capture.size(), 44 + 4 * tour.nFlips * FRAMES_PER_FLIP);
    EXPECT_TRUE(capture == readFile(folder / "second" / "capture.wav")) << "the second run's music differs";
}

} // namespace
} // namespace orbex::test
