// A zip read as a magazine folder: what its names reach, how its files read,
// and every way a zip is refused before anything is read from it.
#include "common/zipfolder.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "common/readlimits.h"
#include "support/viewer_test.h"
#include "support/zips.h"

namespace orbex::test {
namespace {

class ZipFolderTest : public ViewerTest {
  protected:
    // The zip written from entries and opened; why holds the refusal.
    std::unique_ptr<ZipFolder> open(const std::vector<ZipEntry> &entries) {
        EXPECT_TRUE(writeZip("test.zip", entries));
        return openFile("test.zip");
    }
    std::unique_ptr<ZipFolder> openFile(const std::string &path) {
        why.clear();
        return ZipFolder::open(::open(path.c_str(), O_RDONLY), path, why);
    }
    // Refused, with a reason that names the problem.
    void expectRefused(const std::vector<ZipEntry> &entries, const std::string &reason) {
        EXPECT_EQ(open(entries), nullptr) << reason;
        EXPECT_NE(why.find(reason), std::string::npos) << why;
        EXPECT_EQ(why.rfind("test.zip: ", 0), 0u) << why;
    }

    std::string why;
};

const Bytes ARCHIVE = bytesOf("Contents\n\x9E");

std::string contentOf(std::FILE *file) {
    std::string text;
    for (int c; (c = std::fgetc(file)) != EOF;)
        text += static_cast<char>(c);
    return text;
}

TEST_F(ZipFolderTest, OneTopFolderIsTheMagazinesAndNamesReachWhatAFoldersPathsWould) {
    auto zip = open({{"issue3/", {}},
                     {"issue3/data/", {}},
                     {"issue3/data/orbex.dat", ARCHIVE},
                     {"issue3/extreme2.xm", bytesOf("module")}});
    ASSERT_NE(zip, nullptr) << why;
    EXPECT_EQ(zip->top(), "issue3/");
    EXPECT_EQ(zip->find("data/orbex.dat").kind, ZipFolder::Kind::File);
    EXPECT_EQ(zip->find("data/orbex.dat").size, ARCHIVE.size());
    EXPECT_EQ(zip->find("./data//orbex.dat").kind, ZipFolder::Kind::File);
    EXPECT_EQ(zip->find("data/../extreme2.xm").kind, ZipFolder::Kind::File);
    EXPECT_EQ(zip->find("data").kind, ZipFolder::Kind::Folder);
    EXPECT_EQ(zip->find(".").kind, ZipFolder::Kind::Folder);
    EXPECT_EQ(zip->find("issue3/data/orbex.dat").kind, ZipFolder::Kind::Missing);
    EXPECT_EQ(zip->find("../issue3/data/orbex.dat").kind, ZipFolder::Kind::Outside);
    EXPECT_EQ(zip->find("/etc/passwd").kind, ZipFolder::Kind::Outside);

    // Without folder entries, and with the archive at the top: no top folder,
    // also when the only folder at the top is data/.
    zip = open({{"issue3/data/orbex.dat", ARCHIVE}});
    ASSERT_NE(zip, nullptr) << why;
    EXPECT_EQ(zip->find("data/orbex.dat").kind, ZipFolder::Kind::File);
    zip = open({{"data/orbex.dat", ARCHIVE}, {"data/chars.168", Bytes(32768)}});
    ASSERT_NE(zip, nullptr) << why;
    EXPECT_EQ(zip->top(), "");
    EXPECT_EQ(zip->find("data/chars.168").kind, ZipFolder::Kind::File);
    // A Mac's metadata beside the one top folder is left out, not taken
    // for a second folder.
    zip = open(
        {{"issue3/data/orbex.dat", ARCHIVE}, {"__MACOSX/", {}}, {"__MACOSX/issue3/data/._orbex.dat", bytesOf("mac")}});
    ASSERT_NE(zip, nullptr) << why;
    EXPECT_EQ(zip->top(), "issue3/");
    EXPECT_EQ(zip->find("__MACOSX").kind, ZipFolder::Kind::Missing);
    // Two folders at the top: neither is the magazine's.
    zip = open({{"a/data/orbex.dat", ARCHIVE}, {"b/x", bytesOf("x")}});
    ASSERT_NE(zip, nullptr) << why;
    EXPECT_EQ(zip->find("a/data/orbex.dat").kind, ZipFolder::Kind::File);
}

TEST_F(ZipFolderTest, FilesStreamAsOnTheDiskAndEndAtTheirSize) {
    Bytes module(200000);
    for (std::size_t i = 0; i < module.size(); ++i)
        module[i] = static_cast<std::uint8_t>(i * 7 + i / 251);
    auto zip = open({{"data/orbex.dat", ARCHIVE}, {"extreme2.xm", module}});
    ASSERT_NE(zip, nullptr) << why;
    UniqueFile file = zip->openFile("extreme2.xm");
    ASSERT_NE(file, nullptr);
    ASSERT_EQ(std::fseek(file.get(), 0, SEEK_END), 0);
    EXPECT_EQ(std::ftell(file.get()), 200000);
    // Forward past what was read, back to before it, and at the end.
    Bytes got(10);
    ASSERT_EQ(std::fseek(file.get(), 150000, SEEK_SET), 0);
    ASSERT_EQ(std::fread(got.data(), 1, got.size(), file.get()), 10u);
    EXPECT_EQ(got, Bytes(module.begin() + 150000, module.begin() + 150010));
    ASSERT_EQ(std::fseek(file.get(), 3, SEEK_SET), 0);
    ASSERT_EQ(std::fread(got.data(), 1, got.size(), file.get()), 10u);
    EXPECT_EQ(got, Bytes(module.begin() + 3, module.begin() + 13));
    ASSERT_EQ(std::fseek(file.get(), -4, SEEK_END), 0);
    EXPECT_EQ(std::fread(got.data(), 1, got.size(), file.get()), 4u);
    EXPECT_NE(std::fseek(file.get(), -1, SEEK_SET), 0);
    EXPECT_EQ(zip->openFile("data"), nullptr);
    EXPECT_EQ(zip->openFile("nothing"), nullptr);
}

TEST_F(ZipFolderTest, MountedItTakesTheWorkingFoldersPlaceForRelativeNamesOnly) {
    std::filesystem::create_directories("data");
    writeFile("data/orbex.dat", std::string("on the disk"));
    writeFile("disk-only.txt", std::string("disk"));
    auto zip = open({{"issue/data/orbex.dat", ARCHIVE}});
    ASSERT_NE(zip, nullptr) << why;
    mountZip(std::move(zip));
    UniqueFile archive = openRegularFile("data/orbex.dat");
    ASSERT_NE(archive, nullptr);
    EXPECT_EQ(contentOf(archive.get()), "Contents\n\x9E");
    EXPECT_EQ(openRegularFile("disk-only.txt"), nullptr);
    EXPECT_EQ(openRegularDescriptor("disk-only.txt", O_RDONLY), -1);
    UniqueFile absolute = openRegularFile((folder / "disk-only.txt").c_str());
    ASSERT_NE(absolute, nullptr);
    EXPECT_EQ(contentOf(absolute.get()), "disk");
    // Nothing relative is written while a zip is the folder.
    std::string refusal;
    EXPECT_EQ(openRegularForWriting("orbex.log", O_WRONLY | O_CREAT | O_APPEND, refusal), -1);
    EXPECT_NE(refusal.find("zip"), std::string::npos) << refusal;
    EXPECT_FALSE(std::filesystem::exists("orbex.log"));

    // The mounted zip is the viewer's state: its reset puts the disk back.
    resetViewer();
    archive = openRegularFile("data/orbex.dat");
    ASSERT_NE(archive, nullptr);
    EXPECT_EQ(contentOf(archive.get()), "on the disk");
}

TEST_F(ZipFolderTest, EntriesThatLeadOutOrAreNoPlainFilesAreRefused) {
    const ZipEntry archive{"data/orbex.dat", ARCHIVE};
    expectRefused({archive, {"../evil.txt", bytesOf("x")}}, "entry ../evil.txt lies outside the magazine's folder");
    expectRefused({archive, {"data/../../evil.txt", bytesOf("x")}}, "lies outside");
    expectRefused({archive, {"/etc/evil", bytesOf("x")}}, "lies outside");
    expectRefused({archive, {"C:evil", bytesOf("x")}}, "lies outside");
    expectRefused({archive, {"data\\..\\..\\evil", bytesOf("x")}}, "lies outside");
    expectRefused({archive, {"data/link", bytesOf("/etc/passwd"), S_IFLNK | 0777}}, "is a symbolic link");
    expectRefused({archive, {"fifo", {}, S_IFIFO | 0644}}, "neither a file nor a folder");
    // Control codes in a name never reach the terminal, C1 ones included.
    expectRefused({archive, {"../\x1b[2J\xc2\x9b", bytesOf("x")}}, "entry ../\\x1b[2J\\x9b lies");
    // A name two readers would take in two ways is no name.
    expectRefused({archive, {"./data/orbex.dat", ARCHIVE}}, "has a name no magazine file has");
    expectRefused({archive, {"data/orbex.dat/x", bytesOf("x")}}, "is both a file and a folder");
}

TEST_F(ZipFolderTest, EntriesBiggerThanTheViewerReadsAreRefusedByTheirDeclaredSize) {
    const ZipEntry archive{"data/orbex.dat", ARCHIVE};
    ASSERT_NE(open({archive, {"data/cursor.pcx", {}, 0, 64 * KIB}}), nullptr) << why;
    expectRefused({archive, {"data/cursor.pcx", {}, 0, 64 * KIB + 1}},
                  "entry data/cursor.pcx declares 65537 bytes; the viewer reads at most 65536 of it");
    // Read limits are those of the files' plain names below the top folder.
    expectRefused({{"i/data/orbex.dat", ARCHIVE}, {"i/data/chars.168", {}, 0, 64 * KIB + 1}}, "reads at most");
    // What the entries declare decides, whatever their data: patched as a
    // bomb's maker would, one entry and five.
    std::vector<ZipEntry> many{archive};
    for (int i = 0; i < 5; ++i)
        many.push_back({"m" + std::to_string(i) + ".xm", Bytes(1000, 'm')});
    ASSERT_TRUE(writeZip("test.zip", many));
    Bytes zip = readFile("test.zip");
    declareSize(zip, 1, ANY_FILE_LIMIT + 1);
    writeFile("one.zip", zip);
    EXPECT_EQ(openFile("one.zip"), nullptr);
    EXPECT_NE(why.find("entry m0.xm declares 67108865 bytes"), std::string::npos) << why;
    for (std::size_t i = 1; i <= 5; ++i)
        declareSize(zip, i, 60 * MIB);
    writeFile("five.zip", zip);
    EXPECT_EQ(openFile("five.zip"), nullptr);
    EXPECT_NE(why.find("its files declare more than 268435456 bytes together"), std::string::npos) << why;
    many.resize(1);
    for (std::size_t i = 0; i < ZIP_ENTRY_LIMIT; ++i)
        many.push_back({"f" + std::to_string(i), {}});
    expectRefused(many, "more than 4096 entries");
}

TEST_F(ZipFolderTest, DataThatDisagreesWithItsEntryOrItsDirectoryIsRefused) {
    // A bomb that declares 100 bytes and inflates to a megabyte.
    Bytes big(MIB, 'a');
    ASSERT_TRUE(writeZip("good.zip", {{"data/orbex.dat", ARCHIVE}, {"extreme2.xm", big}}));
    Bytes zip = readFile("good.zip");
    Bytes liar = zip;
    declareSize(liar, 1, 100);
    writeFile("liar.zip", liar);
    EXPECT_EQ(openFile("liar.zip"), nullptr);
    EXPECT_NE(why.find("extreme2.xm"), std::string::npos) << why;

    // A flipped byte in the deflated data: behind the second local header,
    // its 30 bytes and its name.
    Bytes damaged = zip;
    std::size_t second = std::search(damaged.begin() + 4, damaged.end(), "PK\3\4", "PK\3\4" + 4) - damaged.begin();
    damaged.at(second + 30 + 11 + 40) ^= 0x55;
    writeFile("damaged.zip", damaged);
    EXPECT_EQ(openFile("damaged.zip"), nullptr);
    EXPECT_NE(why.find("extreme2.xm"), std::string::npos) << why;

    // The central directory broken, cut short, or no zip at all.
    Bytes broken = zip;
    broken.at(firstCentralRecord(broken) + 1) = 'X';
    writeFile("broken.zip", broken);
    EXPECT_EQ(openFile("broken.zip"), nullptr);
    EXPECT_NE(why.find("it is broken"), std::string::npos) << why;
    writeFile("short.zip", Bytes(zip.begin(), zip.end() - 30));
    EXPECT_EQ(openFile("short.zip"), nullptr);
    writeFile("text.zip", std::string("just text\n"));
    EXPECT_EQ(openFile("text.zip"), nullptr);
    writeFile("empty.zip", std::string());
    EXPECT_EQ(openFile("empty.zip"), nullptr);
    EXPECT_EQ(openFile("missing.zip"), nullptr);
    EXPECT_NE(why.find("cannot open it"), std::string::npos) << why;
}

// The table of zips every reader of zip magazines reads, the page's too
// (web/test/zip.test.mjs): each zip with the verdict all must give.
struct ZipCase {
    std::string zip, verdict, what;
};

void PrintTo(const ZipCase &c, std::ostream *out) { *out << c.zip; }

std::vector<ZipCase> zipCases() {
    std::vector<ZipCase> cases;
    std::ifstream table(std::string(ORBEX_TEST_DATA) + "/zips/verdicts.tsv");
    for (std::string line; std::getline(table, line);) {
        if (line.empty() || line[0] == '#')
            continue;
        const std::size_t tab = line.find('\t');
        const std::size_t second = line.find('\t', tab + 1);
        cases.push_back({line.substr(0, tab), line.substr(tab + 1, second - tab - 1), line.substr(second + 1)});
    }
    return cases;
}

class ZipVerdictTest : public ::testing::TestWithParam<ZipCase> {};

TEST_P(ZipVerdictTest, TheZipGetsTheVerdictEveryReaderGives) {
    const ZipCase &c = GetParam();
    const std::string path = std::string(ORBEX_TEST_DATA) + "/zips/" + c.zip;
    std::string why;
    ZipVerdict verdict = ZipVerdict::Ok;
    // Opening checks the whole zip: a zip that inflates one stretch for
    // each of thousands of entries would take minutes here.
    auto folder = ZipFolder::open(::open(path.c_str(), O_RDONLY | O_CLOEXEC), c.zip, why, &verdict);
    EXPECT_STREQ(zipVerdictCode(verdict), c.verdict.c_str()) << c.what << ": " << why;
    EXPECT_EQ(folder != nullptr, c.verdict == "ok") << why;
    if (folder == nullptr)
        EXPECT_EQ(why.rfind(c.zip + ": ", 0), 0u) << why;
    else
        EXPECT_EQ(folder->find("data/orbex.dat").kind, ZipFolder::Kind::File);
}

INSTANTIATE_TEST_SUITE_P(Table, ZipVerdictTest, ::testing::ValuesIn(zipCases()),
                         [](const ::testing::TestParamInfo<ZipCase> &info) {
                             std::string name = info.param.zip.substr(0, info.param.zip.rfind('.'));
                             std::replace(name.begin(), name.end(), '-', '_');
                             return name;
                         });

} // namespace
} // namespace orbex::test
