// The functions of orbex_web.h, linked into the program with --js-library.
// They only move bytes between the program's memory and the page glue
// (src/page.mjs, Module.orbexPage); the page does the work. The waiting ones
// suspend the program through Asyncify and must be in ASYNCIFY_IMPORTS.

mergeInto(LibraryManager.library, {
  $orbexPage: function () {
    return Module['orbexPage'];
  },

  // Resumes the program. Its exit() ends the resumed run with ExitStatus,
  // which is no error here.
  $orbexWake: function (wakeUp, value) {
    try {
      wakeUp(value);
    } catch (e) {
      if (!(e instanceof ExitStatus) && e !== 'unwind') throw e;
    }
  },

  // The program's monotonic clock (steady_clock, and through it
  // timeGetTime). A desktop's counts from the system's start, long before
  // the program's, so the viewer's first frame closes its first frame-rate
  // window at once; the browser's counts from the page's start, which made
  // the start picture's first second a short window of a few frames. So it
  // counts as a system's that has been up for a day.
  emscripten_get_now: function () {
    return performance.now() + 24 * 60 * 60 * 1000;
  },

  // A copy, so the page may keep it while the program goes on.
  $orbexBytes: function (ptr, length) {
    return HEAPU8.slice(ptr, ptr + length);
  },

  $orbexText: function (ptr) {
    if (!ptr) return '';
    var end = ptr;
    while (HEAPU8[end]) ++end;
    return Module['orbexPage'].decode1252(HEAPU8.subarray(ptr, end));
  },

  orbex_present__deps: ['$orbexPage'],
  orbex_present: function (ptr, width, height, first, last) {
    orbexPage().present(HEAPU8, ptr, width, height, first, last);
  },

  orbex_wait_frame__deps: ['$orbexPage', '$Asyncify', '$orbexWake'],
  orbex_wait_frame: function () {
    return Asyncify.handleSleep(function (wakeUp) {
      orbexPage().nextFrame().then(function () { orbexWake(wakeUp, 0); });
    });
  },

  // Sleeps only while the file is on its way; woken again (rewinding), it
  // must take its sleep's end, as every import that slept.
  orbex_wait_file__deps: ['$orbexPage', '$Asyncify', '$orbexWake'],
  orbex_wait_file: function (path) {
    var waiting = null;
    if (Asyncify.state === Asyncify.State.Normal) {
      waiting = orbexPage().fileOnItsWay(UTF8ToString(path));
      if (!waiting) return;
    }
    return Asyncify.handleSleep(function (wakeUp) {
      waiting.then(function () { orbexWake(wakeUp, 0); });
    });
  },

  orbex_poll_event__deps: ['$orbexPage'],
  orbex_poll_event: function (out) {
    var event = orbexPage().pollEvent();
    if (!event) return 0;
    HEAPU32[out >> 2] = event[0] >>> 0;
    HEAPU32[(out >> 2) + 1] = event[1] >>> 0;
    HEAPU32[(out >> 2) + 2] = event[2] >>> 0;
    return 1;
  },

  orbex_wait_event__deps: ['$orbexPage', '$Asyncify', '$orbexWake'],
  orbex_wait_event: function () {
    return Asyncify.handleSleep(function (wakeUp) {
      orbexPage().nextEvent().then(function () { orbexWake(wakeUp, 0); });
    });
  },

  orbex_cursor_pos__deps: ['$orbexPage'],
  orbex_cursor_pos: function (xy) {
    var at = orbexPage().cursor;
    HEAP32[xy >> 2] = at.x;
    HEAP32[(xy >> 2) + 1] = at.y;
    return 1;
  },

  orbex_show_cursor__deps: ['$orbexPage'],
  orbex_show_cursor: function (visible) {
    orbexPage().showCursor(visible !== 0);
  },

  orbex_message_box__deps: ['$orbexPage', '$orbexText', '$Asyncify', '$orbexWake'],
  orbex_message_box: function (text, caption) {
    var body = orbexText(text);
    var title = orbexText(caption);
    return Asyncify.handleSleep(function (wakeUp) {
      orbexPage().messageBox(body, title).then(function () { orbexWake(wakeUp, 0); });
    });
  },

  orbex_log__deps: ['$orbexPage', '$orbexText'],
  orbex_log: function (line) {
    orbexPage().log(orbexText(line));
  },

  orbex_download__deps: ['$orbexPage', '$orbexBytes'],
  orbex_download: function (name, ptr, length) {
    orbexPage().download(UTF8ToString(name), orbexBytes(ptr, length));
  },

  orbex_article_text__deps: ['$orbexPage'],
  orbex_article_text: function (json) {
    orbexPage().articleText(JSON.parse(UTF8ToString(json)));
  },

  orbex_shot__deps: ['$orbexPage', '$orbexBytes'],
  orbex_shot: function (name, ptr, width, height) {
    orbexPage().shot(UTF8ToString(name), orbexBytes(ptr, width * height * 4), width, height);
  },

  orbex_sound_init__deps: ['$orbexPage'],
  orbex_sound_init: function (rate) {
    return orbexPage().sound.init(rate >>> 0) ? 1 : 0;
  },

  orbex_sound_start__deps: ['$orbexPage'],
  orbex_sound_start: function () {
    orbexPage().sound.start();
  },

  orbex_music_load__deps: ['$orbexPage', '$orbexBytes', '$Asyncify', '$orbexWake'],
  orbex_music_load: function (ptr, length) {
    // Taken before the program sleeps: its memory may change meanwhile.
    var bytes = Asyncify.state === Asyncify.State.Normal ? orbexBytes(ptr, length) : null;
    return Asyncify.handleSleep(function (wakeUp) {
      orbexPage().sound.load(bytes).then(
        function (handle) { orbexWake(wakeUp, handle); },
        function () { orbexWake(wakeUp, 0); });
    });
  },

  orbex_music_play__deps: ['$orbexPage'],
  orbex_music_play: function (handle) {
    return orbexPage().sound.play(handle) ? 1 : 0;
  },

  orbex_sound_volume__deps: ['$orbexPage'],
  orbex_sound_volume: function (volume) {
    orbexPage().sound.volume(volume);
  },

  orbex_sound_stop__deps: ['$orbexPage'],
  orbex_sound_stop: function () {
    orbexPage().sound.stop();
  },

  orbex_music_free__deps: ['$orbexPage'],
  orbex_music_free: function (handle) {
    orbexPage().sound.free(handle);
  },
});
