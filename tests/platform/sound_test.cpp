#include "platform/sound/sound.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/bass.h"
#include "platform/headless/headless.h"
#include "platform/testing.h"
#include "support/modules.h"
#include "support/viewer_test.h"

namespace orbex::test {
namespace {

// The library over the desktop player, put together as a backend does.
struct ModuleLibrary {
    explicit ModuleLibrary(sound::Output *output) : player(output) {}
    sound::ModulePlayer player;
    SoundLibrary bass{&player};
};

class SoundTest : public ViewerTest {};

// An audio device that the test controls: whether it opens, whether it is lost.
class FakeOutput final : public sound::Output {
  public:
    bool open(DWORD rate) override {
        ++opens;
        openRate = rate;
        bOpen = bOpens;
        bLost = false;
        return bOpens;
    }
    void close() override { bOpen = false; }
    bool lost() override { return bLost; }
    bool bOpens = true;
    bool bOpen = false;
    bool bLost = false;
    int opens = 0;
    DWORD openRate = 0;
};

HMUSIC loadFile(ModuleLibrary &lib, const char *name, DWORD flags = BASS_MUSIC_LOOP) {
    return lib.bass.musicLoad(FALSE, name, 0, 0, flags);
}

TEST_F(SoundTest, LoadsPlaysAndFreesAModule) {
    ASSERT_TRUE(writeDemoModule("tune.xm", 0));
    ModuleLibrary lib(nullptr);
    ASSERT_TRUE(lib.bass.init(-1, 44100, 0, nullptr));
    EXPECT_EQ(lib.bass.getVolume(), 100);
    HMUSIC h = loadFile(lib, "tune.xm");
    ASSERT_NE(h, 0u);
    EXPECT_EQ(lib.bass.errorGetCode(), BASS_OK);
    // Playing needs the started output.
    EXPECT_FALSE(lib.bass.musicPlay(h));
    EXPECT_EQ(lib.bass.errorGetCode(), BASS_ERROR_START);
    ASSERT_TRUE(lib.bass.start());
    EXPECT_TRUE(lib.bass.musicPlay(h));
    EXPECT_TRUE(lib.bass.musicFree(h));
    EXPECT_FALSE(lib.bass.musicPlay(h));
    EXPECT_EQ(lib.bass.errorGetCode(), BASS_ERROR_HANDLE);
    EXPECT_FALSE(lib.bass.musicFree(h));
    EXPECT_EQ(lib.bass.errorGetCode(), BASS_ERROR_HANDLE);
    EXPECT_FALSE(lib.bass.musicFree(0));
    // Handles are never given twice.
    EXPECT_NE(loadFile(lib, "tune.xm"), h);
    EXPECT_TRUE(lib.bass.stop());
}

TEST_F(SoundTest, NothingWorksBeforeInitialisation) {
    ASSERT_TRUE(writeDemoModule("tune.xm", 0));
    ModuleLibrary lib(nullptr);
    EXPECT_LT(lib.bass.getVolume(), 0);
    EXPECT_EQ(lib.bass.errorGetCode(), BASS_ERROR_INIT);
    EXPECT_FALSE(lib.bass.setVolume(50));
    EXPECT_EQ(loadFile(lib, "tune.xm"), 0u);
    EXPECT_EQ(lib.bass.errorGetCode(), BASS_ERROR_INIT);
    EXPECT_FALSE(lib.bass.start());
    EXPECT_FALSE(lib.bass.stop());
    EXPECT_EQ(lib.bass.errorGetCode(), BASS_ERROR_INIT);
    EXPECT_FALSE(lib.bass.musicPlay(0));
    EXPECT_EQ(lib.bass.errorGetCode(), BASS_ERROR_HANDLE);
    // Only the default device, at a rate a device can take.
    EXPECT_FALSE(lib.bass.init(0, 44100, 0, nullptr));
    EXPECT_EQ(lib.bass.errorGetCode(), BASS_ERROR_DEVICE);
    EXPECT_FALSE(lib.bass.init(-1, 0, 0, nullptr));
    EXPECT_EQ(lib.bass.errorGetCode(), BASS_ERROR_FORMAT);
    EXPECT_LT(lib.bass.getVolume(), 0);
}

TEST_F(SoundTest, RefusesFilesThatAreNoModulesWithoutBlocking) {
    ModuleLibrary lib(nullptr);
    ASSERT_TRUE(lib.bass.init(-1, 44100, 0, nullptr));
    EXPECT_EQ(loadFile(lib, "missing.xm"), 0u);
    EXPECT_EQ(lib.bass.errorGetCode(), BASS_ERROR_FILEOPEN);
    EXPECT_EQ(loadFile(lib, "data"), 0u);
    EXPECT_EQ(lib.bass.errorGetCode(), BASS_ERROR_FILEOPEN);
    EXPECT_EQ(loadFile(lib, "/dev/zero"), 0u);
    EXPECT_EQ(lib.bass.errorGetCode(), BASS_ERROR_FILEOPEN);
    ASSERT_EQ(mkfifo("pipe.xm", 0600), 0);
    EXPECT_EQ(loadFile(lib, "pipe.xm"), 0u);
    EXPECT_EQ(lib.bass.errorGetCode(), BASS_ERROR_FILEOPEN);
    EXPECT_EQ(lib.bass.musicLoad(FALSE, nullptr, 0, 0, 4), 0u);

    // A huge file is refused by its size, before anything is read.
    int fd = ::open("huge.xm", O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::ftruncate(fd, off_t{1} << 33), 0);
    ::close(fd);
    EXPECT_EQ(loadFile(lib, "huge.xm"), 0u);
    EXPECT_EQ(lib.bass.errorGetCode(), BASS_ERROR_MEM);

    writeFile("empty.xm", Bytes{});
    EXPECT_EQ(loadFile(lib, "empty.xm"), 0u);
    writeFile("text.xm", std::string("this is no tracker module, only some text"));
    EXPECT_EQ(loadFile(lib, "text.xm"), 0u);
    EXPECT_EQ(lib.bass.errorGetCode(), BASS_ERROR_FILEFORM);

    // Cut and damaged modules: refused or played, never a crash.
    Bytes good = demoModule(1);
    for (std::size_t cut : {17u, 60u, 336u, 400u, 600u, 900u}) {
        writeFile("cut.xm", Bytes(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(cut)));
        HMUSIC h = loadFile(lib, "cut.xm");
        if (h != 0)
            lib.bass.musicFree(h);
    }
    for (std::size_t at = 60; at < good.size(); at += 37) {
        Bytes bad = good;
        bad[at] ^= 0xFF;
        writeFile("bad.xm", bad);
        if (HMUSIC h = loadFile(lib, "bad.xm"); h != 0) {
            ASSERT_TRUE(lib.bass.start());
            lib.bass.musicPlay(h);
            lib.player.advance(200);
            lib.bass.musicFree(h);
        }
    }
    // What failed before does not hold back a good module.
    ASSERT_TRUE(writeDemoModule("good.xm", 0));
    EXPECT_NE(loadFile(lib, "good.xm"), 0u);
}

TEST_F(SoundTest, LoadsFromMemoryAndFromAPartOfAFile) {
    Bytes module = demoModule(0);
    Bytes padded(100 + module.size() + 50, 0xAA);
    std::copy(module.begin(), module.end(), padded.begin() + 100);
    writeFile("archive.bin", padded);
    ModuleLibrary lib(nullptr);
    ASSERT_TRUE(lib.bass.init(-1, 44100, 0, nullptr));
    EXPECT_NE(lib.bass.musicLoad(TRUE, module.data(), 0, static_cast<DWORD>(module.size()), 4), 0u);
    EXPECT_EQ(lib.bass.musicLoad(TRUE, module.data(), 0, 0, 4), 0u);
    EXPECT_EQ(lib.bass.errorGetCode(), BASS_ERROR_ILLPARAM);
    EXPECT_NE(lib.bass.musicLoad(FALSE, "archive.bin", 100, static_cast<DWORD>(module.size()), 4), 0u);
    EXPECT_EQ(lib.bass.musicLoad(FALSE, "archive.bin", 5000, 0, 4), 0u);
}

TEST_F(SoundTest, VolumeRunsFromZeroToAHundredAndZeroIsSilence) {
    ASSERT_TRUE(writeDemoModule("tune.xm", 0));
    ModuleLibrary lib(nullptr);
    lib.player.setCapturePath("out.wav");
    ASSERT_TRUE(lib.bass.init(-1, 22050, 0, nullptr));
    ASSERT_TRUE(lib.bass.start());
    ASSERT_TRUE(lib.bass.musicPlay(loadFile(lib, "tune.xm")));
    EXPECT_FALSE(lib.bass.setVolume(101));
    EXPECT_EQ(lib.bass.errorGetCode(), BASS_ERROR_ILLPARAM);
    EXPECT_FALSE(lib.bass.setVolume(-1));
    EXPECT_EQ(lib.bass.getVolume(), 100);
    lib.player.advance(500);
    ASSERT_TRUE(lib.bass.setVolume(50));
    EXPECT_EQ(lib.bass.getVolume(), 50);
    lib.player.advance(500);
    ASSERT_TRUE(lib.bass.setVolume(0));
    lib.player.advance(500);
    // A new initialisation keeps the volume.
    ASSERT_TRUE(lib.bass.init(-1, 22050, 0, nullptr));
    EXPECT_EQ(lib.bass.getVolume(), 0);

    Wave wave = readWave("out.wav");
    ASSERT_TRUE(wave.bValid);
    EXPECT_EQ(wave.dwRate, 22050u);
    ASSERT_EQ(wave.frames(), 3 * 11025u);
    double full = rmsLevel(wave, 0, 11025);
    double half = rmsLevel(wave, 11025, 22050);
    EXPECT_GT(full, 2000.0);
    EXPECT_NEAR(half / full, 0.5, 0.15);
    EXPECT_EQ(rmsLevel(wave, 22050, 33075), 0.0);
}

TEST_F(SoundTest, TheClockDecidesHowMuchIsPlayedAndTheSoundIsAlwaysTheSame) {
    ASSERT_TRUE(writeDemoModule("tune.xm", 1));
    auto run = [](const char *capture, DWORD step, int steps) {
        ModuleLibrary lib(nullptr);
        lib.player.setCapturePath(capture);
        lib.bass.init(-1, 44100, 0, nullptr);
        lib.bass.start();
        lib.bass.musicPlay(lib.bass.musicLoad(FALSE, "tune.xm", 0, 0, 4));
        for (int i = 0; i < steps; ++i)
            lib.player.advance(step);
    };
    run("a.wav", 20, 50);
    run("b.wav", 20, 50);
    run("c.wav", 7, 143); // 1001 ms, in steps that are no whole number of frames
    Wave a = readWave("a.wav");
    ASSERT_TRUE(a.bValid);
    EXPECT_EQ(a.frames(), 44100u);
    EXPECT_EQ(readFile("a.wav"), readFile("b.wav"));
    Wave c = readWave("c.wav");
    EXPECT_EQ(c.frames(), 44144u);
    EXPECT_TRUE(std::equal(a.samples.begin(), a.samples.end(), c.samples.begin()));
}

TEST_F(SoundTest, CaptureHoldsOnlyWhatIsPlayedAndStaysValidAtEveryStep) {
    ASSERT_TRUE(writeDemoModule("tune.xm", 0));
    ModuleLibrary lib(nullptr);
    lib.player.setCapturePath("out.wav");
    // Nothing is captured before the first initialisation opens the file.
    lib.player.advance(100);
    EXPECT_FALSE(std::filesystem::exists("out.wav"));
    ASSERT_TRUE(lib.bass.init(-1, 11025, 0, nullptr));
    EXPECT_TRUE(readWave("out.wav").bValid);
    HMUSIC h = loadFile(lib, "tune.xm");
    lib.player.advance(100); // not started: time passes, nothing is played
    EXPECT_EQ(readWave("out.wav").frames(), 0u);
    ASSERT_TRUE(lib.bass.start());
    lib.player.advance(100); // started, nothing playing: silence is played
    ASSERT_TRUE(lib.bass.musicPlay(h));
    lib.player.advance(100);
    Wave wave = readWave("out.wav");
    ASSERT_TRUE(wave.bValid);
    ASSERT_EQ(wave.frames(), 2205u);
    EXPECT_EQ(rmsLevel(wave, 0, 1102), 0.0);
    EXPECT_GT(rmsLevel(wave, 1103, 2205), 1000.0);
    ASSERT_TRUE(lib.bass.stop());
    lib.player.advance(100);
    EXPECT_EQ(readWave("out.wav").frames(), 2205u);
    // Resumed where it stopped.
    ASSERT_TRUE(lib.bass.start());
    lib.player.advance(100);
    EXPECT_EQ(readWave("out.wav").frames(), 3307u);
    // Another rate cannot go into the same file: the capture ends there.
    ASSERT_TRUE(lib.bass.init(-1, 22050, 0, nullptr));
    ASSERT_TRUE(lib.bass.start());
    lib.player.advance(100);
    wave = readWave("out.wav");
    EXPECT_TRUE(wave.bValid);
    EXPECT_EQ(wave.frames(), 3307u);
}

TEST_F(SoundTest, CaptureIntoAFifoIsRefusedWithoutBlocking) {
    ASSERT_EQ(::mkfifo("pipe.wav", 0600), 0);
    ModuleLibrary lib(nullptr);
    lib.player.setCapturePath("pipe.wav");
    // No reader on the FIFO: the initialisation neither hangs nor fails.
    EXPECT_TRUE(lib.bass.init(-1, 11025, 0, nullptr));
    ASSERT_TRUE(lib.bass.start());
    lib.player.advance(100);
}

TEST_F(SoundTest, AModuleLoadedWithoutLoopEndsAndTheTunesDiffer) {
    ASSERT_TRUE(writeDemoModule("low.xm", 0));
    ASSERT_TRUE(writeDemoModule("high.xm", 1));
    ModuleLibrary lib(nullptr);
    lib.player.setCapturePath("out.wav");
    ASSERT_TRUE(lib.bass.init(-1, 44100, 0, nullptr));
    ASSERT_TRUE(lib.bass.start());
    HMUSIC once = loadFile(lib, "low.xm", 0);
    ASSERT_TRUE(lib.bass.musicPlay(once));
    lib.player.advance(4000); // the tune lasts under two seconds
    ASSERT_TRUE(lib.bass.musicFree(once));
    HMUSIC looping = loadFile(lib, "high.xm");
    ASSERT_TRUE(lib.bass.musicPlay(looping));
    lib.player.advance(4000);
    Wave wave = readWave("out.wav");
    ASSERT_TRUE(wave.bValid);
    EXPECT_GT(rmsLevel(wave, 0, 44100), 1000.0);
    EXPECT_EQ(rmsLevel(wave, 3 * 44100, 4 * 44100), 0.0);
    EXPECT_GT(rmsLevel(wave, 7 * 44100, 8 * 44100), 1000.0);
    // The high tune changes sign far more often than the low one.
    EXPECT_GT(signChanges(wave, 5 * 44100, 6 * 44100), 4 * signChanges(wave, 0, 44100));
}

TEST_F(SoundTest, ADeviceIsOpenedAtTheRateAndReopenedWhenLost) {
    ASSERT_TRUE(writeDemoModule("tune.xm", 0));
    FakeOutput device;
    ModuleLibrary lib(&device);
    device.bOpens = false;
    EXPECT_FALSE(lib.bass.init(-1, 44100, 0, nullptr));
    EXPECT_EQ(lib.bass.errorGetCode(), BASS_ERROR_DRIVER);
    EXPECT_LT(lib.bass.getVolume(), 0);
    device.bOpens = true;
    ASSERT_TRUE(lib.bass.init(-1, 44100, 0, nullptr));
    EXPECT_TRUE(device.bOpen);
    // A second initialisation reopens at the new rate.
    ASSERT_TRUE(lib.bass.init(-1, 11025, 0, nullptr));
    EXPECT_EQ(device.openRate, 11025u);
    EXPECT_EQ(device.opens, 3);
    HMUSIC h = loadFile(lib, "tune.xm");
    ASSERT_TRUE(lib.bass.start());
    device.bLost = true;
    EXPECT_FALSE(lib.bass.musicPlay(h));
    EXPECT_EQ(lib.bass.errorGetCode(), BASS_ERROR_BUFLOST);
    ASSERT_TRUE(lib.bass.start());
    EXPECT_EQ(device.opens, 4);
    EXPECT_TRUE(lib.bass.musicPlay(h));
    // The device pulls the mix; advance is for a library without a device.
    std::vector<std::int16_t> pulled(2 * 4096, 0);
    lib.player.render(pulled.data(), 4096);
    EXPECT_TRUE(std::any_of(pulled.begin(), pulled.end(), [](std::int16_t s) { return s != 0; }));
    lib.bass.stop();
    lib.player.render(pulled.data(), 4096);
    EXPECT_TRUE(std::all_of(pulled.begin(), pulled.end(), [](std::int16_t s) { return s == 0; }));
    lib.bass.reset();
    EXPECT_FALSE(device.bOpen);
}

// The test controls sit in front of the real library.
TEST_F(SoundTest, HeadlessControlsInjectFailuresAndRecordCalls) {
    ASSERT_TRUE(writeDemoModule("tune.xm", 0));
    failSound(SoundOp::Start, 77);
    ASSERT_TRUE(BASS_Init(-1, 44100, 0, nullptr));
    HMUSIC h = BASS_MusicLoad(FALSE, "tune.xm", 0, 0, 4);
    EXPECT_FALSE(BASS_Start());
    EXPECT_EQ(BASS_ErrorGetCode(), 77);
    EXPECT_FALSE(BASS_MusicPlay(h));
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_START);
    EXPECT_TRUE(BASS_Start());
    EXPECT_TRUE(BASS_MusicPlay(h));
    setSoundVolume(7);
    EXPECT_EQ(BASS_GetVolume(), 7);
    failSound(SoundOp::GetVolume, -3);
    EXPECT_EQ(BASS_GetVolume(), -3);
    EXPECT_EQ(BASS_GetVolume(), 7);
    std::vector<std::string> expected{"BASS_Init -1 44100", "BASS_MusicLoad tune.xm 4",
                                      "BASS_Start",         "BASS_MusicPlay 1",
                                      "BASS_Start",         "BASS_MusicPlay 1"};
    EXPECT_EQ(soundCalls(), expected);
    // A reset forgets everything, the library included.
    resetPlatform();
    EXPECT_TRUE(soundCalls().empty());
    EXPECT_LT(BASS_GetVolume(), 0);
}

} // namespace
} // namespace orbex::test
