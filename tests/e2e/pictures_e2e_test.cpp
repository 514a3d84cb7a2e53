// The orbex binary run headless on a magazine of real pictures: the start
// picture reaches the screen pixel for pixel, and a missing background ends
// the run by itself.
#include <fcntl.h>
#include <png.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <thread>

#include "platform/png.h"
#include "support/pictures.h"

extern char **environ;

namespace orbex::test {
namespace {

struct RunResult {
    bool bExited = false;
    int nStatus = -1;
    std::string stderrText;
};

// Runs the viewer in the current folder with script, standard error into a file.
RunResult runViewer(const std::string &script) {
    writeFile("script.txt", script);
    std::vector<std::string> env;
    for (char **e = environ; *e != nullptr; ++e)
        if (std::strncmp(*e, "ORBEX_", 6) != 0)
            env.emplace_back(*e);
    env.emplace_back("ORBEX_VIDEO=headless");
    env.emplace_back("ORBEX_CLOCK=step:20");
    env.emplace_back("ORBEX_SCRIPT=script.txt");
    std::vector<char *> envp;
    for (std::string &s : env)
        envp.push_back(s.data());
    envp.push_back(nullptr);
    std::string binary = ORBEX_BINARY;
    char *argv[] = {binary.data(), nullptr};

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 2, "stderr.txt", O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    RunResult result;
    int rc = posix_spawn(&pid, binary.c_str(), &actions, nullptr, argv, envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0)
        return result;
    // A stuck viewer is ended after a minute rather than holding the suite.
    int status = 0;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (waitpid(pid, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    result.bExited = WIFEXITED(status);
    result.nStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.stderrText = readText("stderr.txt");
    return result;
}

Bytes readPngRgb(const char *path) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path))
        return {};
    image.format = PNG_FORMAT_RGB;
    Bytes rgb(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr) || image.width != 640 || image.height != 480)
        return {};
    return rgb;
}

// A gradient under a checkerboard with a white frame: easy to recognise.
Bytes startPicture() {
    Bytes raw(640 * 480 * 3);
    for (int y = 0; y < 480; ++y)
        for (int x = 0; x < 640; ++x) {
            std::uint8_t *p = raw.data() + 3 * (640 * y + x);
            bool border = x < 4 || y < 4 || x >= 636 || y >= 476;
            p[0] = border ? 255 : static_cast<std::uint8_t>(x * 255 / 639);
            p[1] = border ? 255 : static_cast<std::uint8_t>(y * 255 / 479);
            p[2] = border ? 255 : ((x / 40 + y / 40) % 2 ? 200 : 40);
        }
    return raw;
}

Bytes stripes(int width, int height, int period) {
    Bytes out(static_cast<std::size_t>(width * height));
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            out[static_cast<std::size_t>(y * width + x)] = static_cast<std::uint8_t>((x + y) / period % 256);
    return out;
}

class PicturesEndToEndTest : public ViewerTest {
  protected:
    void writeMagazine() {
        writeFile("data/begin.raw", startPicture());
        writeFile("data/BG_8b.pcx", encodePcx(640, 480, stripes(640, 480, 16), testPalette()));
        writeFile("data/ende.pcx", encodePcx(640, 480, stripes(640, 480, 4), testPalette()));
        writeFile("data/cursor.pcx", encodePcx(32, 32, stripes(32, 32, 1), testPalette()));
        writeFile("data/chars.168", fontFile(32768, [](int, int c, int r) { return c == r % 8; }));
        std::filesystem::path sample = std::filesystem::path(ORBEX_SAMPLE_MAGAZINE) / "data" / "orbex.dat";
        if (std::filesystem::exists(sample))
            std::filesystem::copy_file(sample, "data/orbex.dat");
        else
            writeFile("data/orbex.dat", std::string("Inhalt\nRedaktion\n\nText.\n\x9E"));
    }
};

TEST_F(PicturesEndToEndTest, TheStartPictureReachesTheScreenAtTwentyFourBits) {
    writeMagazine();
    writeFile("orbex.cfg", Bytes{1, 2, 1});
    RunResult run = runViewer("frames 2\nshot a.png\n");
    ASSERT_TRUE(run.bExited) << run.stderrText;
    EXPECT_EQ(run.nStatus, 0) << run.stderrText;
    Bytes shot = readPngRgb("a.png");
    ASSERT_EQ(shot.size(), 640u * 480 * 3);
    EXPECT_TRUE(shot == startPicture());
}

TEST_F(PicturesEndToEndTest, TheStartPictureReachesTheScreenPackedAtSixteenBits) {
    writeMagazine();
    writeFile("orbex.cfg", Bytes{1, 3, 1});
    RunResult run = runViewer("frames 2\nshot a.png\n");
    ASSERT_TRUE(run.bExited) << run.stderrText;
    EXPECT_EQ(run.nStatus, 0) << run.stderrText;
    Bytes raw = startPicture();
    Bytes packed(640 * 480 * 2);
    for (std::size_t i = 0; i < 640 * 480; ++i) {
        unsigned word = (raw[3 * i] >> 3) << 11 | (raw[3 * i + 1] >> 2) << 5 | raw[3 * i + 2] >> 3;
        packed[2 * i] = static_cast<std::uint8_t>(word & 0xFF);
        packed[2 * i + 1] = static_cast<std::uint8_t>(word >> 8);
    }
    Bytes want = frameToRgb(FrameView{packed.data(), 640, 480, 640 * 2, 16, 0xF800, 0x07E0, 0x001F});
    Bytes shot = readPngRgb("a.png");
    ASSERT_EQ(shot.size(), want.size());
    EXPECT_TRUE(shot == want);
}

TEST_F(PicturesEndToEndTest, AMissingBackgroundIsReportedAndTheRunEndsByItself) {
    writeMagazine();
    std::filesystem::remove("data/BG_8b.pcx");
    writeFile("orbex.cfg", Bytes{1, 2, 1});
    // The viewer closes at the next window message (here the pointer's
    // move), so the second shot is never taken.
    RunResult run = runViewer("frames 2\nshot a.png\nmove 5 5\nframes 50\nshot b.png\n");
    ASSERT_TRUE(run.bExited);
    EXPECT_EQ(run.nStatus, 0);
    EXPECT_NE(run.stderrText.find("ORBEX 5: ERROR (CODE 1): Konnte BackgroundPIC nicht lesen!!! Versuche den Viewer "
                                  "zu beenden ... Sollte dieser Fehler erneut auftreten informieren sie "),
              std::string::npos)
        << run.stderrText;
    EXPECT_FALSE(std::filesystem::exists("b.png"));
}

} // namespace
} // namespace orbex::test
