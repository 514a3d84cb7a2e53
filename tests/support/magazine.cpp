#include "support/magazine.h"

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

} // namespace orbex::test
