// The orbex binary run headless with the virtual clock and the audio capture:
// the start module sounds from the first frame, and after F12 the fade
// brings it down to silence and ends the run.
#include <cstdlib>
#include <filesystem>

#include "support/modules.h"
#include "support/viewer_test.h"

namespace orbex::test {
namespace {

constexpr std::size_t FRAME_MS = 20;
constexpr std::size_t FRAMES_PER_FLIP = 44100 * FRAME_MS / 1000;

class MusicEndToEndTest : public ViewerTest {
  protected:
    void SetUp() override {
        ViewerTest::SetUp();
        writeFile("data/chars.168", Bytes(32768, 0));
        writeFile("data/orbex.dat", std::string("\x9E"
                                                "Inhalt\nORBEX\nMusik\n\x9E"));
        writeBackground();
        ASSERT_TRUE(writeDemoModule("extreme2.xm", 0));
    }

    // A 640x480 PCX of one colour, so the viewer finds its background.
    static void writeBackground() {
        Bytes pcx(128, 0);
        pcx[0] = 10, pcx[1] = 5, pcx[2] = 1, pcx[3] = 8;
        pcx[8] = 639 & 0xFF, pcx[9] = 639 >> 8, pcx[10] = 479 & 0xFF, pcx[11] = 479 >> 8;
        for (int left = 640 * 480; left > 0; left -= 63) {
            pcx.push_back(static_cast<std::uint8_t>(0xC0 | (left < 63 ? left : 63)));
            pcx.push_back(1);
        }
        pcx.push_back(12);
        Bytes palette(768, 0);
        palette[3] = 0x20, palette[4] = 0x40, palette[5] = 0x80;
        pcx.insert(pcx.end(), palette.begin(), palette.end());
        writeFile("data/BG_8b.pcx", pcx);
    }

    // Runs the viewer here with only the variables named, so nothing of the
    // test's own environment reaches it.
    static int runViewer(const std::string &script, const std::string &capture) {
        writeFile("script.txt", script);
        std::string command = "env -i ORBEX_VIDEO=headless ORBEX_CLOCK=step:20 ORBEX_SCRIPT=script.txt "
                              "ORBEX_AUDIO_CAPTURE=" +
                              capture + " '" + ORBEX_BINARY + "' l >/dev/null 2>stderr.txt";
        return std::system(command.c_str());
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
    writeFile("script.txt", std::string("frames 10\n"));
    std::string command = std::string("env -i ORBEX_VIDEO=headless ORBEX_CLOCK=step:20 ORBEX_SCRIPT=script.txt "
                                      "ORBEX_AUDIO_CAPTURE=capture.wav '") +
                          ORBEX_BINARY + "' n >/dev/null 2>stderr.txt";
    ASSERT_EQ(std::system(command.c_str()), 0);
    EXPECT_FALSE(std::filesystem::exists("capture.wav"));
    EXPECT_FALSE(std::filesystem::exists("orbex.cfg"));
}

} // namespace
} // namespace orbex::test
