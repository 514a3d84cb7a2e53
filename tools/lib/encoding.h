// UTF-8 decoding for the article sources is the code page's
// (common/codepage.h: nextUtf8), shared with the viewer's messages.
#pragma once

#include "common/codepage.h"
