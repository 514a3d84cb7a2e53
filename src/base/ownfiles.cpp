#include "base/ownfiles.h"

#include <strings.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "common/files.h"
#include "common/start.h"
#include "platform/places.h"

namespace orbex {

OwnFilesState ownFilesState;

namespace {

constexpr const char *OWN_FILE_NAMES[] = {CONFIG_FILE, "orbex.log", "save.txt"};
// What the viewer does without each file, for the line on standard error.
constexpr const char *DOING_WITHOUT[] = {"the settings are the defaults", "log lines are lost",
                                         "the article is not saved"};

std::size_t indexOf(OwnFile file) { return static_cast<std::size_t>(file); }

bool isAbsolute(const char *path) { return path != nullptr && path[0] == '/'; }

std::string workingFolder() {
    std::string folder;
    if (char *cwd = ::getcwd(nullptr, 0)) {
        folder = cwd;
        std::free(cwd);
    }
    return folder;
}

// The state home is the reader's own: made with its parents, links taken as
// the reader set them up. The two folders below it are the viewer's and are
// never taken through a link.
bool makeStateFolder(std::string &why) {
    OwnFilesState &s = ownFilesState;
    if (s.stateFolderMade)
        return true;
    std::string folder;
    std::string reason;
    auto make = [&](const std::string &path, bool followLink) {
        if (makeFolder(path, 0700, followLink, reason))
            return true;
        why = "cannot make " + path + ": " + reason;
        return false;
    };
    for (std::size_t slash = s.stateHome.find('/', 1);; slash = s.stateHome.find('/', slash + 1)) {
        folder = s.stateHome.substr(0, slash);
        if (!folder.empty() && !make(folder, true))
            return false;
        if (slash == std::string::npos)
            break;
    }
    if (!make(s.stateHome + "/orbex", false) || !make(s.stateFolder, false))
        return false;
    s.stateFolderMade = true;
    return true;
}

} // namespace

std::string magazineName(const std::string &magazineFolder) {
    std::string base = magazineFolder;
    while (base.size() > 1 && base.back() == '/')
        base.pop_back();
    base = base.substr(base.find_last_of('/') + 1);
    // A zip and the folder it unpacks to are one magazine.
    if (base.size() > 4 && strcasecmp(base.c_str() + base.size() - 4, ".zip") == 0)
        base.resize(base.size() - 4);
    std::string name;
    for (char c : base) {
        bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
                     c == '_' || c == '+' || c == '.';
        name += plain ? c : '_';
    }
    // Never "." or "..", never hidden.
    if (!name.empty() && name[0] == '.')
        name[0] = '_';
    return name.empty() ? "magazine" : name;
}

void chooseOwnFilesFolder(bool keepOut) {
    chooseOwnFilesFolder(!keepOut && folderWritable("."), workingFolder(), std::getenv("XDG_STATE_HOME"),
                         std::getenv("HOME"));
}

void chooseStateFolder(const std::string &magazinePath) {
    chooseOwnFilesFolder(false, magazinePath, std::getenv("XDG_STATE_HOME"), std::getenv("HOME"));
}

void chooseOwnFilesFolder(bool magazineWritable, const std::string &magazineFolder, const char *xdgStateHome,
                          const char *home) {
    OwnFilesState &s = ownFilesState;
    s = OwnFilesState{};
    s.magazineFolder = magazineFolder;
    if (magazineWritable)
        return;
    if (isAbsolute(xdgStateHome))
        s.stateHome = xdgStateHome;
    else if (isAbsolute(home))
        s.stateHome = std::string(home) + "/.local/state";
    while (s.stateHome.size() > 1 && s.stateHome.back() == '/')
        s.stateHome.pop_back();
    if (s.stateHome.empty() || s.stateHome == "/") {
        s.stateHome.clear();
        s.noStateFolder = true;
        return;
    }
    s.stateFolder = s.stateHome + "/orbex/" + magazineName(magazineFolder);
}

const char *ownFileName(OwnFile file) { return OWN_FILE_NAMES[indexOf(file)]; }

std::string ownFilePath(OwnFile file) {
    const OwnFilesState &s = ownFilesState;
    return s.stateFolder.empty() ? ownFileName(file) : s.stateFolder + "/" + ownFileName(file);
}

TextFileWriter openOwnFile(OwnFile file, TextFileMode mode) {
    std::string why;
    if (!ownFilesState.stateFolder.empty() && !makeStateFolder(why)) {
        reportOwnFileFailure(file, why);
        return TextFileWriter();
    }
    TextFileWriter writer(ownFilePath(file).c_str(), mode);
    if (!writer.isOpen())
        reportOwnFileFailure(file, writer.failure());
    return writer;
}

TextFileReader readOwnFile(OwnFile file) {
    TextFileReader own(ownFileName(file));
    if (own.isOpen() || ownFilesState.stateFolder.empty())
        return own;
    return TextFileReader(ownFilePath(file).c_str());
}

void reportOwnFileFailure(OwnFile file, const std::string &why) {
    OwnFilesState &s = ownFilesState;
    if (s.reported[indexOf(file)])
        return;
    s.reported[indexOf(file)] = true;
    std::string path = ownFilePath(file);
    if (path[0] != '/' && !s.magazineFolder.empty())
        path = s.magazineFolder + "/" + path;
    const char *unnamed = s.noStateFolder ? " (the magazine cannot be written, and neither XDG_STATE_HOME nor HOME "
                                            "names a state folder)"
                                          : "";
    std::fprintf(stderr, "orbex: cannot write %s: %s%s; %s\n", path.c_str(), why.c_str(), unnamed,
                 DOING_WITHOUT[indexOf(file)]);
}

} // namespace orbex
