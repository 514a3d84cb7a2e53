// Where the user's paths are taken from and where the port's own pictures go:
// the folder the program was started in, which the viewer leaves for the
// magazine's folder, and the user's picture folder.
#pragma once

#include <string>

namespace orbex {

// Called by main before it enters the magazine folder.
void rememberStartFolder();
// A path the user gave (ORBEX_SCRIPT, a script's shots, ORBEX_AUDIO_CAPTURE),
// made independent of the working folder: relative paths are taken from the
// start folder. Absolute or empty paths, and any path when no start folder
// is known, stay as given. Called by the script reader, and for the
// backends by Platform::userPath.
std::string userPath(const char *path);
// Whether files can be made in folder by this user. Called by
// chooseOwnFilesFolder and shotsFolder.
bool folderWritable(const char *folder);

// The user's picture folder from what the environment says:
// $XDG_PICTURES_DIR, else the XDG_PICTURES_DIR line of user-dirs.dirs in
// $XDG_CONFIG_HOME (default ~/.config), else ~/Pictures. Empty when none
// can be named. Relative values are ignored, as the XDG rules ask.
std::string picturesFolderFor(const char *xdgPicturesDir, const char *xdgConfigHome, const char *home);
// Where Print Screen puts its pictures: the start folder, or the user's
// picture folder (made when missing) when the start folder is not writable.
// Called by Platform::saveScreenshot.
std::string shotsFolder();
// The same from the answers given (tests): the start folder ("." when not
// known), whether it is writable, and the environment's values.
std::string shotsFolderFor(const std::string &start, bool startWritable, const char *xdgPicturesDir,
                           const char *xdgConfigHome, const char *home);

} // namespace orbex
