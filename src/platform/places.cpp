#include "platform/places.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "common/files.h"
#include "platform/internal.h"

namespace orbex {

namespace {

struct PlacesState {
    std::string startFolder;
};

PlacesState places;

bool isAbsolute(const char *path) { return path != nullptr && path[0] == '/'; }

// The value of one line of user-dirs.dirs: "$HOME/Bilder" or "/abs/path".
std::string userDirsValue(const std::string &line, const std::string &key, const std::string &home) {
    std::size_t start = line.find_first_not_of(" \t");
    if (start == std::string::npos || line.compare(start, key.size(), key) != 0)
        return {};
    std::size_t equals = line.find_first_not_of(" \t", start + key.size());
    if (equals == std::string::npos || line[equals] != '=')
        return {};
    std::size_t open = line.find('"', equals);
    std::size_t close = open == std::string::npos ? open : line.find('"', open + 1);
    if (close == std::string::npos)
        return {};
    std::string value = line.substr(open + 1, close - open - 1);
    if (value.rfind("$HOME", 0) == 0)
        return home.empty() ? std::string() : home + value.substr(5);
    return isAbsolute(value.c_str()) ? value : std::string();
}

// A small text file's bytes (a regular file only, and no more than a
// settings file has), read without a stream: the streams' locales would
// weigh down the browser's program.
std::string smallFileText(const char *path) {
    constexpr std::size_t MOST = 64 * 1024;
    std::string text;
    UniqueFile file = openRegularFile(path);
    if (file == nullptr)
        return text;
    char buffer[4096];
    for (std::size_t n; text.size() < MOST && (n = std::fread(buffer, 1, sizeof buffer, file.get())) > 0;)
        text.append(buffer, n);
    return text;
}

} // namespace

void rememberStartFolder() {
    places.startFolder.clear();
    if (char *folder = ::getcwd(nullptr, 0)) {
        places.startFolder = folder;
        std::free(folder);
    }
}

std::string userPath(const char *path) {
    if (path == nullptr || *path == 0)
        return {};
    if (isAbsolute(path) || places.startFolder.empty())
        return path;
    return places.startFolder + "/" + path;
}

bool folderWritable(const char *folder) { return ::faccessat(AT_FDCWD, folder, W_OK | X_OK, AT_EACCESS) == 0; }

std::string picturesFolderFor(const char *xdgPicturesDir, const char *xdgConfigHome, const char *home) {
    if (isAbsolute(xdgPicturesDir))
        return xdgPicturesDir;
    std::string homeFolder = isAbsolute(home) ? home : "";
    std::string config = isAbsolute(xdgConfigHome) ? xdgConfigHome : homeFolder.empty() ? "" : homeFolder + "/.config";
    if (!config.empty()) {
        const std::string dirs = smallFileText((config + "/user-dirs.dirs").c_str());
        std::string found;
        for (std::size_t at = 0; at < dirs.size();) {
            const std::size_t end = std::min(dirs.find('\n', at), dirs.size());
            if (std::string value = userDirsValue(dirs.substr(at, end - at), "XDG_PICTURES_DIR", homeFolder);
                !value.empty())
                found = value;
            at = end + 1;
        }
        if (!found.empty())
            return found;
    }
    return homeFolder.empty() ? std::string() : homeFolder + "/Pictures";
}

std::string shotsFolder() {
    std::string start = places.startFolder.empty() ? "." : places.startFolder;
    return shotsFolderFor(start, folderWritable(start.c_str()), std::getenv("XDG_PICTURES_DIR"),
                          std::getenv("XDG_CONFIG_HOME"), std::getenv("HOME"));
}

std::string shotsFolderFor(const std::string &start, bool startWritable, const char *xdgPicturesDir,
                           const char *xdgConfigHome, const char *home) {
    if (startWritable)
        return start;
    std::string pictures = picturesFolderFor(xdgPicturesDir, xdgConfigHome, home);
    // With nowhere else to go the start folder is tried all the same, and
    // the failure is told.
    if (pictures.empty())
        return start;
    // The user's own folder: a link there is the user's choice. A folder
    // that cannot be made is told when the shot is written into it.
    std::string ignored;
    makeFolder(pictures, 0755, true, ignored);
    return pictures;
}

void resetPlaces() { places = PlacesState{}; }

} // namespace orbex
