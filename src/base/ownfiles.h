// Where the viewer's own files live. "orbex.cfg", "orbex.log" and "save.txt"
// go into the magazine folder, as the original put them there. A magazine
// folder the reader cannot write (an installed or read-only magazine) has
// no such place: then they go into the reader's state folder for that
// magazine, $XDG_STATE_HOME/orbex/<magazine name>/ (default
// ~/.local/state/orbex/...), and are read back from there. Decided once at
// start-up; nothing changes for a writable magazine folder.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "base/textfile.h"

namespace orbex {

enum class OwnFile : std::uint8_t { Config, Log, Save };

struct OwnFilesState {
    // The magazine folder as messages name it; empty before start-up decided.
    std::string magazineFolder;
    // The state folder the files go to; empty while they stay in the
    // magazine folder, the working folder.
    std::string stateFolder;
    // Its base (XDG_STATE_HOME or ~/.local/state), the reader's own folder.
    std::string stateHome;
    // The magazine folder is not writable and no state folder could be named.
    bool noStateFolder = false;
    // The state folder is made at the first write, not before.
    bool stateFolderMade = false;
    // One line on standard error per file and run.
    std::array<bool, 3> reported{};
};

extern OwnFilesState ownFilesState;

// Used by chooseOwnFilesFolder: the name a magazine's state folder gets, the
// base name of its folder (an absolute path) or of its zip file without
// ".zip", with everything but letters, digits, '-', '_', '+' and '.' made
// '_', never hidden, never empty.
std::string magazineName(const std::string &magazineFolder);

// Called by main once, after it entered the magazine folder: the files stay
// in that folder when it is writable and not keepOut (an installed magazine
// the package manager owns), else go to the state folder.
void chooseOwnFilesFolder(bool keepOut);
// Called by main instead for a magazine that is never written, a zip file
// (an absolute path): the files go to the state folder.
void chooseStateFolder(const std::string &magazinePath);
// Called by the one above (and tests): the same decision from the answers
// given, whether the magazine folder is writable, its absolute path,
// $XDG_STATE_HOME and $HOME (either may be null; a relative XDG_STATE_HOME
// counts as unset).
void chooseOwnFilesFolder(bool magazineWritable, const std::string &magazineFolder, const char *xdgStateHome,
                          const char *home);

// Used by ownFilePath and readOwnFile: the bare name of one of the files
// ("orbex.cfg", "orbex.log", "save.txt").
const char *ownFileName(OwnFile file);
// Used by openOwnFile, readOwnFile and the failure report: where the file is
// written, its bare name in the magazine folder or its path in the state
// folder.
std::string ownFilePath(OwnFile file);
// Called by appendLogFile, createConfigFile and saveArticle: opens the file
// for writing where it lives, making the state folder first when that is the
// place. When it cannot be opened the writer is closed and the reason has
// been reported (reportOwnFileFailure).
TextFileWriter openOwnFile(OwnFile file, TextFileMode mode);
// Called by readConfigByte: opens the file for reading, the magazine
// folder's own copy when it has one, else the state folder's.
TextFileReader readOwnFile(OwnFile file);
// Called by openOwnFile, and by the writers of the three files when a write
// fails: one line on standard error, the first time in a run that the file
// could not be written: where, why, and what the viewer does without it.
void reportOwnFileFailure(OwnFile file, const std::string &why);

} // namespace orbex
