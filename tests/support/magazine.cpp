#include "support/magazine.h"

#include "articles.h"
#include "fontsource.h"
#include "images.h"
#include "support/page_files.h"

namespace orbex::test {

TestMagazine::TestMagazine()
    : archive(archiveOf({"d\nInhalt\n", "xTitel\nAutor\n\nText\n"})), font(markerFontBytes()),
      startPicture(solidRaw(START_RED, 0, 0)), endPicture(solidPcx(640, 480, 0, END_GREEN, 0)),
      background(solidPcx(640, 480, 0, 0, BACKGROUND_BLUE)), config(Bytes{1, 1, 1}) {}

void TestMagazine::write(const std::filesystem::path &folder) const {
    std::filesystem::create_directories(folder / "data");
    auto put = [&](const char *name, const std::optional<Bytes> &bytes) {
        if (bytes)
            writeFile(folder / name, *bytes);
    };
    if (archive)
        writeFile(folder / "data" / "orbex.dat", *archive);
    put("data/chars.168", font);
    put("data/begin.raw", startPicture);
    put("data/ende.pcx", endPicture);
    put("data/BG_8b.pcx", background);
    put("data/cursor.pcx", pointer);
    put("orbex.cfg", config);
    for (const auto &[name, bytes] : files) {
        std::filesystem::create_directories((folder / name).parent_path());
        writeFile(folder / name, bytes);
    }
}

void copySampleMagazine(const std::filesystem::path &folder) {
    namespace fs = std::filesystem;
    const fs::path sample = ORBEX_SAMPLE_MAGAZINE;
    fs::create_directories(folder);
    fs::copy(sample / "data", folder / "data", fs::copy_options::recursive | fs::copy_options::overwrite_existing);
    for (const fs::directory_entry &entry : fs::directory_iterator(sample)) {
        const std::string extension = entry.path().extension().string();
        if (entry.is_regular_file() &&
            (extension == ".xm" || extension == ".mod" || extension == ".s3m" || extension == ".it"))
            fs::copy_file(entry.path(), folder / entry.path().filename(), fs::copy_options::overwrite_existing);
    }
}

std::string archiveOf(std::initializer_list<std::string> articles) {
    std::string archive;
    for (const std::string &article : articles)
        archive += article + '\x9E';
    return archive;
}

void buildSampleMagazine() {
    std::vector<ArticleSource> sources;
    Report report;
    ASSERT_TRUE(loadArticleSources(ORBEX_MAGAZINE_SOURCES "/articles", sources, report));
    std::vector<std::uint8_t> archive;
    ASSERT_TRUE(buildArchive(sources, archive, report)) << report.errors.front();
    EXPECT_TRUE(report.warnings.empty()) << report.warnings.front();
    ASSERT_TRUE(writeBytes("data/orbex.dat", archive));

    std::vector<std::uint8_t> source;
    ASSERT_TRUE(readBytes(ORBEX_MAGAZINE_SOURCES "/font.hex", source));
    ASSERT_TRUE(writeBytes("data/chars.168",
                           buildFont(parseHexFont(std::string(source.begin(), source.end()), report), report)));
    struct Picture {
        const char *source, *target;
    } pictures[] = {{"ende", "data/ende.pcx"}, {"bg", "data/BG_8b.pcx"}, {"cursor", "data/cursor.pcx"}};
    for (const Picture &p : pictures) {
        RgbImage image;
        std::vector<std::uint8_t> pcx;
        ASSERT_TRUE(readPng(std::string(ORBEX_MAGAZINE_SOURCES "/pictures/") + p.source + ".png", image, report));
        ASSERT_TRUE(encodePcx(quantize(image, report), pcx, report));
        ASSERT_TRUE(writeBytes(p.target, pcx));
    }
    RgbImage start;
    std::vector<std::uint8_t> raw;
    ASSERT_TRUE(readPng(ORBEX_MAGAZINE_SOURCES "/pictures/begin.png", start, report));
    ASSERT_TRUE(encodeRaw(start, raw, report));
    ASSERT_TRUE(writeBytes("data/begin.raw", raw));
}

} // namespace orbex::test
