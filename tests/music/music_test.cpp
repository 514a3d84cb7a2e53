#include "music/music.h"

#include <cstdlib>

#include "base/config.h"
#include "base/settings.h"
#include "platform/bass.h"
#include "platform/headless/headless.h"
#include "platform/install.h"
#include "platform/testing.h"
#include "present/frame.h"
#include "shell/startup.h"
#include "support/modules.h"
#include "support/viewer_test.h"

namespace orbex::test {
namespace {

using headless::messageBoxes;
using Texts = std::vector<std::string>;

class MusicTest : public ViewerTest {
  protected:
    void SetUp() override {
        ViewerTest::SetUp();
        ASSERT_TRUE(writeDemoModule("extreme2.xm", 0));
        ASSERT_TRUE(writeDemoModule("high.xm", 1));
    }
    // Draws n frames of the end picture, as the frame update does in the outro.
    static void drawOutroFrames(int n) {
        std::vector<std::uint8_t> frame(640 * 480 * 3);
        ViewerMode = MODE_OUTRO;
        for (int i = 0; i < n; ++i)
            drawFrame(LockedFrame(frame.data(), 640 * 2));
    }
};

TEST_F(MusicTest, StartLoadsAndPlaysTheStartModuleLooping) {
    startMusic(nullptr);
    Texts expected{"BASS_Init -1 44100", "BASS_MusicLoad extreme2.xm 4", "BASS_Start", "BASS_MusicPlay 1"};
    EXPECT_EQ(soundCalls(), expected);
    EXPECT_EQ(hMusic, 1u);
    EXPECT_TRUE(messageBoxes().empty());
    // The missing configuration file is made with its defaults.
    EXPECT_EQ(readFile("orbex.cfg"), (Bytes{1, 1, 1}));
    EXPECT_EQ(nSampleRateCode, 1);
    EXPECT_EQ(BASS_GetVolume(), 100);

    stopMusic();
    EXPECT_EQ(soundCalls().back(), "BASS_MusicFree 1");
    EXPECT_EQ(soundCalls()[soundCalls().size() - 2], "BASS_Stop");
    EXPECT_TRUE(messageBoxes().empty());
}

TEST_F(MusicTest, WithoutMusicNothingStartsOrStopsButALinkStillPlays) {
    writeFile("orbex.cfg", Bytes{2, 1, 1});
    bMusicOn = 0;
    startMusic(nullptr);
    EXPECT_TRUE(soundCalls().empty());
    EXPECT_EQ(nSampleRateCode, 0);
    std::filesystem::remove("orbex.cfg");
    startMusic(nullptr);
    EXPECT_FALSE(std::filesystem::exists("orbex.cfg"));

    // The configuration was never read: the switch uses the rate of code 0.
    switchMusic("high.xm");
    Texts expected{"BASS_Stop",  "BASS_MusicFree 0", "BASS_Init -1 44100", "BASS_MusicLoad high.xm 4",
                   "BASS_Start", "BASS_MusicPlay 1"};
    EXPECT_EQ(soundCalls(), expected);
    EXPECT_TRUE(messageBoxes().empty());
    stopMusic();
    EXPECT_EQ(soundCalls().size(), expected.size());
}

TEST_F(MusicTest, RateRuleAtStartAndAtEverySwitch) {
    const std::pair<int, const char *> cases[] = {{0, "44100"}, {1, "44100"}, {2, "22050"},
                                                  {3, "11025"}, {4, "44100"}, {255, "44100"}};
    for (auto [code, rate] : cases) {
        SCOPED_TRACE(code);
        resetViewer();
        writeFile("orbex.cfg", Bytes{static_cast<std::uint8_t>(code), 1, 1});
        startMusic(nullptr);
        switchMusic("high.xm");
        switchMusic("extreme2.xm");
        Texts inits;
        for (const auto &call : soundCalls())
            if (call.rfind("BASS_Init", 0) == 0)
                inits.push_back(call);
        std::string expected = std::string("BASS_Init -1 ") + rate;
        EXPECT_EQ(inits, (Texts{expected, expected, expected}));
        EXPECT_TRUE(messageBoxes().empty());
    }
    // An empty file reads as 255.
    resetViewer();
    writeFile("orbex.cfg", Bytes{});
    startMusic(nullptr);
    EXPECT_EQ(nSampleRateCode, 255);
    EXPECT_EQ(soundCalls().front(), "BASS_Init -1 44100");
}

TEST_F(MusicTest, StartFailuresAreShownAndTheStartGoesOn) {
    // Without an initialised library nothing loads, starts or plays: each
    // step still runs and says so.
    failSound(SoundOp::Init, BASS_ERROR_DRIVER);
    startMusic(nullptr);
    EXPECT_EQ(soundCalls().size(), 4u);
    EXPECT_EQ(messageBoxes(), (Texts{"Initialisierung des BASS fehlgeschlagen!", "BASS START FEHLGESCHLAGEN",
                                     "ERRORDESC: BASS_ERROR_HANDLE"}));
    EXPECT_EQ(hMusic, 0u);

    resetViewer();
    failSound(SoundOp::Start, BASS_ERROR_DRIVER);
    startMusic(nullptr);
    EXPECT_EQ(messageBoxes(), (Texts{"BASS START FEHLGESCHLAGEN", "ERRORDESC: BASS_ERROR_START"}));

    // "extreme2.xm" missing: the play step reports the invalid handle.
    resetViewer();
    std::filesystem::remove("extreme2.xm");
    startMusic(nullptr);
    EXPECT_EQ(messageBoxes(), (Texts{"ERRORDESC: BASS_ERROR_HANDLE"}));
    EXPECT_EQ(hMusic, 0u);
}

TEST_F(MusicTest, PlayFailuresNameThreeCodesWithPrefixAtStartWithoutAtASwitch) {
    const std::pair<int, const char *> named[] = {{BASS_ERROR_START, "BASS_ERROR_START"},
                                                  {BASS_ERROR_HANDLE, "BASS_ERROR_HANDLE"},
                                                  {BASS_ERROR_BUFLOST, "BASS_ERROR_BUFLOST"}};
    for (auto [code, text] : named) {
        SCOPED_TRACE(code);
        resetViewer();
        failSound(SoundOp::MusicPlay, code);
        startMusic(nullptr);
        failSound(SoundOp::MusicPlay, code);
        switchMusic("high.xm");
        EXPECT_EQ(messageBoxes(), (Texts{std::string("ERRORDESC: ") + text, text}));
    }
    for (int code : {BASS_OK, BASS_ERROR_MEM, BASS_ERROR_FILEOPEN, BASS_ERROR_INIT, BASS_ERROR_UNKNOWN, 1000}) {
        SCOPED_TRACE(code);
        resetViewer();
        failSound(SoundOp::MusicPlay, code);
        startMusic(nullptr);
        failSound(SoundOp::MusicPlay, code);
        switchMusic("high.xm");
        EXPECT_TRUE(messageBoxes().empty());
    }
}

TEST_F(MusicTest, SwitchIgnoresEveryOtherResultAndReplacesTheModule) {
    startMusic(nullptr);
    failSound(SoundOp::Stop, BASS_ERROR_INIT);
    failSound(SoundOp::MusicFree, BASS_ERROR_HANDLE);
    failSound(SoundOp::Init, BASS_ERROR_DRIVER);
    failSound(SoundOp::Start, BASS_ERROR_DRIVER);
    switchMusic("high.xm");
    // The injected failures left the library as it was: still started.
    EXPECT_TRUE(messageBoxes().empty());
    EXPECT_EQ(hMusic, 2u);
    EXPECT_EQ(soundCalls().back(), "BASS_MusicPlay 2");

    // A file the library cannot read: the invalid handle is reported.
    writeFile("broken.xm", std::string("Extended Module: but nothing else"));
    switchMusic("broken.xm");
    EXPECT_EQ(hMusic, 0u);
    EXPECT_EQ(messageBoxes(), (Texts{"BASS_ERROR_HANDLE"}));
}

TEST_F(MusicTest, SwitchPlaysTheNewTuneInPlaceOfTheOld) {
    setenv("ORBEX_AUDIO_CAPTURE", "capture.wav", 1);
    installBackend(headless::BACKEND, false);
    unsetenv("ORBEX_AUDIO_CAPTURE");
    startMusic(nullptr);
    for (int i = 0; i < 50; ++i)
        advanceSound(20);
    switchMusic("high.xm");
    for (int i = 0; i < 50; ++i)
        advanceSound(20);
    Wave wave = readWave("capture.wav");
    ASSERT_TRUE(wave.bValid);
    ASSERT_EQ(wave.frames(), 88200u);
    EXPECT_GT(rmsLevel(wave, 0, 4410), 1000.0);
    EXPECT_GT(rmsLevel(wave, 44100, 48510), 1000.0);
    EXPECT_GT(signChanges(wave, 44100, 88200), 4 * signChanges(wave, 0, 44100));
}

TEST_F(MusicTest, TheFadeLowersByOneAndEndsTheOutroAtZero) {
    startMusic(nullptr);
    setSoundVolume(3);
    EXPECT_EQ(fadeMusicStep(), 2);
    EXPECT_EQ(fadeMusicStep(), 1);
    EXPECT_EQ(fadeMusicStep(), 0);
    EXPECT_EQ(fadeMusicStep(), 0);
    Texts volumes;
    for (const auto &call : soundCalls())
        if (call.rfind("BASS_SetVolume", 0) == 0)
            volumes.push_back(call);
    EXPECT_EQ(volumes, (Texts{"BASS_SetVolume 2", "BASS_SetVolume 1", "BASS_SetVolume 0"}));

    setSoundVolume(3);
    drawOutroFrames(2);
    EXPECT_EQ(bQuitRequest, 0);
    drawOutroFrames(1);
    EXPECT_EQ(bQuitRequest, 1);
    EXPECT_EQ(BASS_GetVolume(), 0);
}

TEST_F(MusicTest, ANegativeVolumeKeepsTheEndPicture) {
    // Never initialised (letter n): the library answers a negative volume.
    bMusicOn = 0;
    startMusic(nullptr);
    EXPECT_LT(fadeMusicStep(), 0);
    drawOutroFrames(200);
    EXPECT_EQ(bQuitRequest, 0);
    EXPECT_TRUE(soundCalls().empty());

    resetViewer();
    startMusic(nullptr);
    failSound(SoundOp::GetVolume, -1, 3);
    EXPECT_EQ(fadeMusicStep(), -1);
    EXPECT_EQ(fadeMusicStep(), -1);
    EXPECT_EQ(fadeMusicStep(), -1);
    EXPECT_EQ(fadeMusicStep(), 99);
}

TEST_F(MusicTest, StopAtExitReportsAFailureAndFreesInEitherCase) {
    // The display start failed: the music never started, the stop fails.
    stopMusic();
    EXPECT_EQ(soundCalls(), (Texts{"BASS_Stop", "BASS_MusicFree 0"}));
    EXPECT_EQ(messageBoxes(), (Texts{"BASS STOP FEHLGESCHLAGEN - warscheinlich lief es nicht..."}));

    resetViewer();
    startMusic(nullptr);
    failSound(SoundOp::Stop, BASS_ERROR_UNKNOWN);
    stopMusic();
    EXPECT_EQ(soundCalls().back(), "BASS_MusicFree 1");
    EXPECT_EQ(messageBoxes(), (Texts{"BASS STOP FEHLGESCHLAGEN - warscheinlich lief es nicht..."}));
}

} // namespace
} // namespace orbex::test
