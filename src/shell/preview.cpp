#include "shell/preview.h"

#include <algorithm>

#include "picture/pictures.h"
#include "present/frame.h"
#include "text/archive.h"
#include "text/font.h"

namespace orbex {

void reopenMagazine(std::int32_t article, std::int32_t line) {
    // Behind the end marker the selection expects zeros, also where the old
    // archive was longer.
    ArticleArchive.fill(0);
    loadArchive();
    loadFont();
    // The pictures in the start's order (a missing background shows the end
    // picture, as at start), but the start picture, which is past and not
    // shown again; the music is not touched.
    prepareEndPicture();
    prepareBackground();
    keepBackground();
    buildPointer();
    nArticle = std::max<std::int32_t>(article, 1);
    selectArticle(nArticle);
    ScrollPosition = static_cast<float>(std::max<std::int32_t>(line, 0));
    if (ViewerMode == MODE_INTRO) {
        ViewerMode = MODE_VIEWING;
        // The intro's end sets the step from the measured rate; none yet.
        if (dwFrames != 0.0f)
            fScrollStep = 20.0f / dwFrames;
    }
}

} // namespace orbex
