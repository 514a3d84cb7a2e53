#include "shell/magazine.h"

#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "common/files.h"
#include "platform/places.h"
#ifdef ORBEX_HAVE_LIBZIP
#include "common/start.h"
#include "common/zipfolder.h"
#endif

namespace orbex {

namespace {

std::string executablePath() {
    char path[4096];
    ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
    return n > 0 ? std::string(path, static_cast<std::size_t>(n)) : std::string();
}

bool sameFolder(const std::string &a, const std::string &b) {
    struct stat sa {
    }, sb{};
    return ::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
           sa.st_ino == sb.st_ino;
}

} // namespace

bool isInstalledMagazine(const std::string &folder, const std::string &exePath, const std::string &dataDir) {
    std::size_t slash = exePath.find_last_of('/');
    if (slash != std::string::npos && sameFolder(folder, exePath.substr(0, slash) + "/../share/orbex/magazine"))
        return true;
    return !dataDir.empty() && sameFolder(folder, dataDir + "/magazine");
}

bool holdsMagazine(const std::string &folder) {
    struct stat st {};
    return ::lstat((folder + "/data/orbex.dat").c_str(), &st) == 0;
}

std::string findDemoMagazine(const std::string &exePath, const std::string &dataDir) {
    std::size_t slash = exePath.find_last_of('/');
    if (slash != std::string::npos) {
        std::string exeDir = exePath.substr(0, slash);
        for (const std::string &candidate : {exeDir + "/../share/orbex/magazine", exeDir + "/magazine"})
            if (holdsMagazine(candidate))
                return candidate;
    }
    if (!dataDir.empty() && holdsMagazine(dataDir + "/magazine"))
        return dataDir + "/magazine";
    return {};
}

bool isZipName(const std::string &path) {
    return path.size() > 4 && ::strcasecmp(path.c_str() + path.size() - 4, ".zip") == 0;
}

bool namesMagazine(const std::string &argument) {
    struct stat st {};
    return !argument.empty() && ::stat(argument.c_str(), &st) == 0 &&
           (S_ISDIR(st.st_mode) || (S_ISREG(st.st_mode) && isZipName(argument)));
}

CommandLine splitCommandLine(const std::vector<std::string> &arguments) {
    CommandLine line;
    std::size_t words = 0;
    for (const std::string &argument : arguments) {
        if (namesMagazine(argument)) {
            line.magazines.push_back(argument);
            continue;
        }
        if (words++ > 0)
            line.letters += ' ';
        line.letters += argument;
    }
    return line;
}

namespace {

// A zip file as the magazine: checked whole before anything reads from it,
// then mounted in the working folder's place.
bool openZipMagazine(const std::string &path, bool mustHoldMagazine, OpenedMagazine *opened, std::string &problem) {
#ifdef ORBEX_HAVE_LIBZIP
    int fd = openRegularDescriptor(path.c_str(), O_RDONLY);
    if (fd < 0) {
        problem = "cannot read the magazine " + path + ": " + std::strerror(errno);
        return false;
    }
    std::string why;
    std::unique_ptr<ZipFolder> zip = ZipFolder::open(fd, path, why);
    if (zip == nullptr) {
        problem = "cannot open the magazine " + why;
        return false;
    }
    if (mustHoldMagazine && zip->find(ARCHIVE_FILE).kind != ZipFolder::Kind::File) {
        problem = path + " holds no magazine (no data/orbex.dat at its top or in its one top folder)";
        return false;
    }
    opened->zip = userPath(path.c_str());
    mountZip(std::move(zip));
    return true;
#else
    (void)mustHoldMagazine, (void)opened;
    problem = "cannot open the magazine " + path + ": this build reads no zip files";
    return false;
#endif
}

// A folder or zip file the reader named. A plain file can only be meant as
// a zip; the command line's route names it so.
bool enterNamed(const std::string &path, const char *source, bool mustHoldMagazine, const char *dataDir,
                OpenedMagazine *opened, std::string &problem) {
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode))
        return openZipMagazine(path, mustHoldMagazine, opened, problem);
    if (::chdir(path.c_str()) != 0) {
        problem = std::string("cannot enter ") + source + " folder " + path + ": " + std::strerror(errno);
        return false;
    }
    if (mustHoldMagazine && !holdsMagazine(".")) {
        problem = path + " holds no magazine (no data/orbex.dat)";
        return false;
    }
    opened->installed = isInstalledMagazine(".", executablePath(), dataDir != nullptr ? dataDir : "");
    return true;
}

} // namespace

bool enterMagazine(const std::string &named, const char *dataDir, OpenedMagazine *opened, std::string &problem) {
    *opened = OpenedMagazine{};
    // The command line is the more specific: it names this one start's magazine.
    if (!named.empty())
        return enterNamed(named, "the", true, dataDir, opened, problem);
    const char *variable = std::getenv("ORBEX_MAGAZINE");
    if (variable != nullptr && *variable != 0)
        return enterNamed(variable, "ORBEX_MAGAZINE", false, dataDir, opened, problem);
    if (holdsMagazine(".")) {
        opened->installed = isInstalledMagazine(".", executablePath(), dataDir != nullptr ? dataDir : "");
        return true;
    }
    std::string demo = findDemoMagazine(executablePath(), dataDir != nullptr ? dataDir : "");
    if (demo.empty()) {
        problem = "no magazine here (no data/orbex.dat) and no installed one; name a magazine folder or zip file "
                  "on the command line, or start it in a magazine folder";
        return false;
    }
    if (::chdir(demo.c_str()) != 0) {
        problem = "cannot enter the demo magazine " + demo + ": " + std::strerror(errno);
        return false;
    }
    opened->installed = isInstalledMagazine(".", executablePath(), dataDir != nullptr ? dataDir : "");
    return true;
}

} // namespace orbex
