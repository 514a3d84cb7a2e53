#include "shell/magazine.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

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

bool enterMagazine(const char *dataDir, bool *installed) {
    *installed = false;
    const char *named = std::getenv("ORBEX_MAGAZINE");
    if (named != nullptr && *named != 0) {
        if (::chdir(named) != 0) {
            std::fprintf(stderr, "orbex: cannot enter ORBEX_MAGAZINE folder %s\n", named);
            return false;
        }
        *installed = isInstalledMagazine(".", executablePath(), dataDir != nullptr ? dataDir : "");
        return true;
    }
    if (holdsMagazine(".")) {
        *installed = isInstalledMagazine(".", executablePath(), dataDir != nullptr ? dataDir : "");
        return true;
    }
    std::string demo = findDemoMagazine(executablePath(), dataDir != nullptr ? dataDir : "");
    if (demo.empty()) {
        std::fprintf(stderr, "orbex: no magazine here (no data/orbex.dat) and no installed one; start it in a "
                             "magazine folder or name one with ORBEX_MAGAZINE\n");
        return false;
    }
    if (::chdir(demo.c_str()) != 0) {
        std::fprintf(stderr, "orbex: cannot enter the demo magazine %s: %s\n", demo.c_str(), std::strerror(errno));
        return false;
    }
    *installed = isInstalledMagazine(".", executablePath(), dataDir != nullptr ? dataDir : "");
    return true;
}

} // namespace orbex
