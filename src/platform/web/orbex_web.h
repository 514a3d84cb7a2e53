/* What the page offers the program in the browser build. The functions are
 * implemented in JavaScript (library_orbex.js, linked with --js-library) over
 * the page (web/src/page.mjs). The ones marked "waits" suspend the program with
 * Asyncify until the browser has what they wait for, and must be listed in
 * ASYNCIFY_IMPORTS; all others return at once.
 *
 * Text handed in is Windows-1252, as the viewer stores it. Frames and shots
 * come as RGBA, converted by the program (common/frameview.h).
 */
#ifndef ORBEX_WEB_H
#define ORBEX_WEB_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Display. */

/* Shows a frame on the canvas (Flip, after drawing): rgba holds width x
 * height pixels of red, green, blue and alpha bytes, of which rows
 * first_row to last_row are new and the others as last shown (none is new
 * when first_row > last_row). The page puts the new rows on the canvas as
 * they are; the memory stays the program's. */
void orbex_present(const void *rgba, int width, int height, int first_row, int last_row);
/* Waits: the next animation frame; while the page is hidden, until it is
 * visible again. With ?clock=step:MS it only lets the page run once. */
void orbex_wait_frame(void);

/* Input. An event is three words: message, wParam, lParam. */

/* Takes the next input event into out[3]; 0 when none is ready. */
int orbex_poll_event(uint32_t *out);
/* Waits: until orbex_poll_event has an event (WaitMessage). */
void orbex_wait_event(void);
/* The pointer in frame coordinates into xy[2]; (640, 240) while it is away
 * from the canvas. Always 1. */
int orbex_cursor_pos(int32_t *xy);
/* 0 hides the browser's pointer over the canvas (the viewer draws its own). */
void orbex_show_cursor(int visible);

/* Files. */

/* Waits: until the file at path (as the program opens it) is in the file
 * system, or known missing, when it is one of the magazine's still on its
 * way; returns at once otherwise. */
void orbex_wait_file(const char *path);

/* Page. */

/* Waits: a dialog the reader confirms; in a scripted run it is only written
 * to the console as "caption: text" and confirmed at once. */
void orbex_message_box(const char *text, const char *caption);
/* One line to the browser console (a trailing line feed is dropped). */
void orbex_log(const char *line);
/* Offers length bytes as a file the browser downloads under name. */
void orbex_download(const char *name, const void *data, uint32_t length);
/* The shown article's text as one JSON object in UTF-8 (src/platform/web/
 * text.cpp writes it): everything when the article or its lines change, only
 * "view" when only the position did, {"shown":false} when no article is. */
void orbex_article_text(const char *json);
/* A scripted run's shot: a PNG of rgba (width x height pixels of red,
 * green, blue and alpha bytes), put into the result under name. */
void orbex_shot(const char *name, const void *rgba, int width, int height);

/* Sound, for the BASS_* operations; one module plays at a time. */

/* Opens the output at rate frames per second (BASS_Init); 0 without Web Audio. */
int orbex_sound_init(uint32_t rate);
/* The output plays (BASS_Start); the music stays silent until the reader's
 * first click or key, then goes on from where it would be. */
void orbex_sound_start(void);
/* Waits: loads a module from a copy of the bytes (BASS_MusicLoad), paused.
 * A handle above 0, or 0 when the module cannot be played. */
int orbex_music_load(const void *data, uint32_t length);
/* Plays a loaded module, looping for ever (BASS_MusicPlay); 0 for an unknown
 * handle. The one playing goes on where it is, another starts from its start. */
int orbex_music_play(int handle);
/* Output volume 0 to 100, 0 silence (BASS_SetVolume). */
void orbex_sound_volume(int volume);
/* Silence until the next orbex_sound_start (BASS_Stop). */
void orbex_sound_stop(void);
/* Forgets a module (BASS_MusicFree); the one playing falls silent. */
void orbex_music_free(int handle);

#ifdef __cplusplus
}
#endif

#endif
