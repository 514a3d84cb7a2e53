// The orbex binary run headless with the virtual clock and the audio capture:
// the start module sounds from the first frame, and after F12 the fade
// brings it down to silence and ends the run.
#include <filesystem>

#include "support/magazine.h"
#include "support/modules.h"
#include "support/page_files.h"
#include "support/viewer_test.h"

namespace orbex::test {
namespace {

constexpr std::size_t FRAME_MS = 20;
constexpr std::size_t FRAMES_PER_FLIP = 44100 * FRAME_MS / 1000;

class MusicEndToEndTest : public ViewerTest {
  protected:
    void SetUp() override {
        ViewerTest::SetUp();
        // A blank font and a background of one colour; no other picture.
        TestMagazine magazine;
        magazine.font = Bytes(32768, 0);
        magazine.archive = archiveOf({"", "Inhalt\nORBEX\nMusik\n"});
        magazine.background = solidPcx(640, 480, 0x20, 0x40, 0x80);
        magazine.startPicture.reset();
        magazine.endPicture.reset();
        magazine.config.reset();
        magazine.files["extreme2.xm"] = demoModule(0);
        magazine.write();
    }

    int runViewer(const std::string &script, const std::string &capture, const std::string &letters = "l") {
        writeFile("script.txt", script);
        ProgramRun run = headlessRun(letters);
        run.environment.push_back("ORBEX_AUDIO_CAPTURE=" + capture);
        return runProgram(run).status();
    }
};

TEST_F(MusicEndToEndTest, MusicFromTheStartThenTheFadeToSilenceEndsTheRun) {
    // The move after the fade is the message at which the quit request
    // closes the window; the frames behind it are never drawn.
    const std::string script = "frames 50\nkey F12\nframes 150\nmove 10 10\nframes 500\n";
    ASSERT_EQ(runViewer(script, "capture.wav"), 0);
    std::string log = readText("orbex.log");
    EXPECT_NE(log.find("Closing Engine"), std::string::npos);
    // The fade raised the quit request after 100 outro frames; the other 50
    // were drawn while waiting for the next message.
    std::size_t afterQuit = 0;
    for (std::size_t at = log.find("A F T E R"); at != std::string::npos; at = log.find("A F T E R", at + 1))
        ++afterQuit;
    EXPECT_GE(afterQuit, 45u);
    EXPECT_LE(afterQuit, 55u);

    Wave wave = readWave("capture.wav");
    ASSERT_TRUE(wave.bValid);
    EXPECT_EQ(wave.dwRate, 44100u);
    // The start frame, 50 intro frames and 150 outro frames: never the last 500.
    ASSERT_EQ(wave.frames() % FRAMES_PER_FLIP, 0u);
    ASSERT_GE(wave.frames(), 200 * FRAMES_PER_FLIP);
    ASSERT_LE(wave.frames(), 210 * FRAMES_PER_FLIP);
    auto level = [&](std::size_t flip) { return rmsLevel(wave, flip * FRAMES_PER_FLIP, (flip + 5) * FRAMES_PER_FLIP); };
    EXPECT_GT(level(0), 1000.0);
    EXPECT_GT(level(25), 1000.0);
    // F12 is taken after the 51st flip; each outro frame lowers the volume by one.
    double early = level(60);
    double middle = level(110);
    double late = level(140);
    EXPECT_GT(early, 1.5 * middle);
    EXPECT_GT(middle, 2.0 * late);
    EXPECT_GT(late, 0.0);
    // The fade ended about 50 frames before the run did.
    EXPECT_EQ(rmsLevel(wave, wave.frames() - 40 * FRAMES_PER_FLIP, wave.frames()), 0.0);
}

TEST_F(MusicEndToEndTest, AScriptedRunCapturesTheSameSoundEveryTime) {
    const std::string script = "frames 30\nkey F12\nframes 20\n";
    ASSERT_EQ(runViewer(script, "first.wav"), 0);
    ASSERT_EQ(runViewer(script, "second.wav"), 0);
    Wave wave = readWave("first.wav");
    ASSERT_TRUE(wave.bValid);
    EXPECT_GT(wave.frames(), 50 * FRAMES_PER_FLIP);
    EXPECT_EQ(readFile("first.wav"), readFile("second.wav"));
}

TEST_F(MusicEndToEndTest, WithoutMusicNothingIsCaptured) {
    ASSERT_EQ(runViewer("frames 10\n", "capture.wav", "n"), 0);
    EXPECT_FALSE(std::filesystem::exists("capture.wav"));
    EXPECT_FALSE(std::filesystem::exists("orbex.cfg"));
}

} // namespace
} // namespace orbex::test
