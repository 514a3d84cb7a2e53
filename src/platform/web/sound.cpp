// The browser backend's music: the page's chiptune3 player.
#include <map>

#include "platform/web/orbex_web.h"
#include "platform/web/web.h"

namespace orbex::web {

namespace {

// The page plays one module at a time and loops every module, as the viewer
// always asks it to; the library's handles map to the page's own.
class PageMusic final : public MusicEngine {
  public:
    bool open(DWORD rate) override { return orbex_sound_init(rate) != 0; }
    // The page keeps its audio context for the next open: a context made anew
    // would need the reader's gesture again.
    void close() override {}
    bool lost() override { return false; }
    bool load(HMUSIC handle, std::vector<std::uint8_t> bytes, bool) override {
        int page = orbex_music_load(bytes.data(), static_cast<std::uint32_t>(bytes.size()));
        if (page <= 0)
            return false;
        pageHandles[handle] = page;
        return true;
    }
    void play(HMUSIC handle) override {
        if (auto it = pageHandles.find(handle); it != pageHandles.end())
            orbex_music_play(it->second);
    }
    void free(HMUSIC handle) override {
        if (auto it = pageHandles.find(handle); it != pageHandles.end()) {
            orbex_music_free(it->second);
            pageHandles.erase(it);
        }
    }
    void setRunning(bool running) override {
        if (running)
            orbex_sound_start();
        else
            orbex_sound_stop();
    }
    void setVolume(int volume) override { orbex_sound_volume(volume); }
    void reset() override {
        orbex_sound_stop();
        for (const auto &[handle, page] : pageHandles)
            orbex_music_free(page);
        pageHandles.clear();
    }

  private:
    std::map<HMUSIC, int> pageHandles;
};

PageMusic music;

} // namespace

MusicEngine *pageMusic() { return &music; }

} // namespace orbex::web
