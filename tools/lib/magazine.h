// A magazine folder with its sources inside: DIR/src holds what people edit,
// DIR itself the files the viewer reads.
//   DIR/src/articles/NN-name.txt  -> DIR/data/orbex.dat
//   DIR/src/font.hex              -> DIR/data/chars.168
//   DIR/src/pictures/begin.png    -> DIR/data/begin.raw
//   DIR/src/pictures/ende.png     -> DIR/data/ende.pcx
//   DIR/src/pictures/bg.png       -> DIR/data/BG_8b.pcx
//   DIR/src/pictures/cursor.png   -> DIR/data/cursor.pcx
//   DIR/src/music/*               -> DIR/* (extreme2.xm plays from the start)
#pragma once

#include <string>

#include "report.h"

namespace orbex {

// The folder of the sources inside a magazine folder.
constexpr const char *SOURCES_FOLDER = "src";

// A title the pictures and the contents page can show: 1 to 60 characters
// of Windows-1252 without control characters. why says what is wrong.
bool usableMagazineTitle(const std::string &utf8, std::string &why);
// Makes every file of the magazine in folder from folder/src, then checks
// it; a step whose source has a problem writes nothing, the others go on.
bool buildMagazine(const std::string &folder, bool dither, Report &report);
// Which of build's steps run; the check always does. The preview runs the
// steps whose sources changed.
struct BuildSteps {
    bool archive = true, font = true, pictures = true, music = true;
};
bool buildMagazine(const std::string &folder, bool dither, const BuildSteps &steps, Report &report);
// A small complete magazine in folder (new, or empty): its sources under
// src/, a contents page, a help page and one article with links, pictures
// showing the title, the sample font and two demo modules; then built.
bool newMagazine(const std::string &folder, const std::string &title, Report &report);

} // namespace orbex
