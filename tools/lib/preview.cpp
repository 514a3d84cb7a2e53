// The preview's builds, its watch over the sources and its server. Each good
// build is a new site in a temporary folder (orbex-tool site's, so it holds
// what a published site would); the server answers from the newest, by the
// rules of a real host (web/tools/server.mjs): only regular files reached
// without a link, nothing sniffed, the sandbox policy on everything but the
// pages. /.orbex-preview/state tells the page, waiting until there is news,
// which build it is, what changed and what went wrong.
#include "preview.h"

#include <httplib.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <iterator>
#include <map>
#include <mutex>
#include <regex>
#include <set>
#include <thread>

#include "common/codepage.h"
#include "common/readlimits.h"
#include "files.h"
#include "magazine.h"
#include "site.h"

extern char **environ;

namespace orbex {

namespace {

constexpr const char *STATE_PATH = "/.orbex-preview/state";
constexpr auto POLL = std::chrono::milliseconds(50);
constexpr int SETTLE_POLLS = 20;
constexpr auto LONGEST_WAIT = std::chrono::seconds(20);

std::atomic<bool> stopping{false};

void onStopSignal(int) { stopping = true; }

std::string jsonString(const std::string &text) {
    std::string out = "\"";
    for (unsigned char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
            out += escaped;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

// What the sources look like now: every file below src/ with its size and
// time, without following a link.
std::string sourcesSignature(const std::string &folder) {
    std::string signature;
    std::error_code error;
    const std::filesystem::path src = std::filesystem::path(folder) / SOURCES_FOLDER;
    for (auto it = std::filesystem::recursive_directory_iterator(src, error);
         !error && it != std::filesystem::recursive_directory_iterator(); it.increment(error)) {
        struct stat st {};
        if (::lstat(it->path().c_str(), &st) == 0)
            signature += it->path().string() + '\t' + std::to_string(st.st_size) + '\t' +
                         std::to_string(st.st_mtim.tv_sec) + '.' + std::to_string(st.st_mtim.tv_nsec) + '\n';
    }
    return signature;
}

// The signature now once the sources hold still for a poll, so that a save
// caught half written (an editor truncates, then writes) is not built; a
// folder that never holds still is taken as it is after a while.
std::string settledSignature(const std::string &folder, std::string now) {
    for (int waits = 0; waits < SETTLE_POLLS && !stopping; ++waits) {
        std::this_thread::sleep_for(POLL);
        std::string next = sourcesSignature(folder);
        if (next == now)
            break;
        now = std::move(next);
    }
    return now;
}

// The steps whose sources differ between two signatures.
BuildSteps changedSteps(const std::string &before, const std::string &after, const std::string &folder) {
    auto lines = [](const std::string &text) {
        std::set<std::string> set;
        for (std::size_t at = 0; at < text.size();) {
            const std::size_t end = std::min(text.find('\n', at), text.size());
            set.insert(text.substr(at, end - at));
            at = end + 1;
        }
        return set;
    };
    const std::set<std::string> a = lines(before), b = lines(after);
    std::vector<std::string> differing;
    std::set_symmetric_difference(a.begin(), a.end(), b.begin(), b.end(), std::back_inserter(differing));
    BuildSteps steps{false, false, false, false};
    const std::string src = (std::filesystem::path(folder) / SOURCES_FOLDER).string() + "/";
    for (const std::string &line : differing) {
        const std::string rel = line.substr(0, line.find('\t')).substr(std::min(src.size(), line.size()));
        steps.archive |= rel.rfind("articles", 0) == 0;
        steps.font |= rel.rfind("font", 0) == 0;
        steps.pictures |= rel.rfind("pictures", 0) == 0;
        steps.music |= rel.rfind("music", 0) == 0;
    }
    return steps;
}

class Preview {
  public:
    Preview(PreviewOptions options, std::string root) : options(std::move(options)), root(std::move(root)) {}

    // A build of what changed and, when it is good, its site; the page
    // hears of either. A step whose sources failed last time runs again.
    void build(const BuildSteps &sources = BuildSteps{}) {
        BuildSteps steps = sources;
        steps.archive |= failed.archive;
        steps.font |= failed.font;
        steps.pictures |= failed.pictures;
        steps.music |= failed.music;
        Report report;
        const bool built = buildMagazine(options.folder, false, steps, report);
        failed = report.ok() ? BuildSteps{false, false, false, false} : steps;
        for (const std::string &w : report.warnings)
            std::fprintf(stderr, "orbex-tool preview: warning: %s\n", terminalText(w).c_str());
        std::vector<SourceProblem> problems;
        for (const std::string &e : report.errors) {
            std::fprintf(stderr, "orbex-tool preview: error: %s\n", terminalText(e).c_str());
            problems.push_back(sourceProblem(e));
        }
        std::string site;
        std::string changed = "[]";
        if (built && problems.empty())
            site = makeGeneration(problems, changed);
        std::lock_guard<std::mutex> lock(mutex);
        ++version;
        state.problems = problems;
        if (!site.empty()) {
            state.site = site;
            state.changed = changed;
            ++state.generation;
            std::printf("orbex-tool preview: built; the page shows it again\n");
        }
        std::fflush(stdout);
        news.notify_all();
    }

    // The state once its version is past after, or after the longest wait.
    std::string stateAfter(long after) {
        std::unique_lock<std::mutex> lock(mutex);
        news.wait_for(lock, LONGEST_WAIT, [&] { return version > after || stopping; });
        std::string problems;
        for (const SourceProblem &p : state.problems)
            problems += (problems.empty() ? "" : ",") + std::string("{\"file\":") + jsonString(p.file) +
                        ",\"line\":" + std::to_string(p.line) + ",\"message\":" + jsonString(p.message) + "}";
        return "{\"version\":" + std::to_string(version) + ",\"generation\":" + std::to_string(state.generation) +
               ",\"changed\":" + state.changed + ",\"problems\":[" + problems + "]}";
    }

    std::string currentSite() {
        std::lock_guard<std::mutex> lock(mutex);
        return state.site;
    }

    void wakeAll() { news.notify_all(); }

  private:
    // A new site; the one before is removed once no answer reads from it.
    std::string makeGeneration(std::vector<SourceProblem> &problems, std::string &changed) {
        const std::string site = root + "/site-" + std::to_string(++sites);
        Report report;
        if (!makeSite(SiteRequest{options.edition, {options.folder}, site, SOURCES_FOLDER}, report)) {
            for (const std::string &e : report.errors)
                problems.push_back(sourceProblem(e));
            return "";
        }
        changed = changedFiles(currentSite(), site);
        const std::string old = currentSite();
        if (!old.empty())
            retired.push_back(old);
        while (retired.size() > 2) {
            std::error_code ignored;
            std::filesystem::remove_all(retired.front(), ignored);
            retired.erase(retired.begin());
        }
        return site;
    }

    // The magazine's files whose bytes differ between the two sites, as
    // JSON: each with the name it is stored as.
    static std::string changedFiles(const std::string &before, const std::string &after) {
        Folder old, now;
        std::string why;
        if (before.empty() || !Folder::given(before + "/magazine", old, why) ||
            !Folder::given(after + "/magazine", now, why))
            return "[]";
        const auto oldNames = storedNames(old);
        std::string list;
        for (const auto &[name, stored] : storedNames(now)) {
            std::vector<std::uint8_t> a, b;
            const auto was = oldNames.find(name);
            const bool same = was != oldNames.end() &&
                              old.read(was->second, a, ANY_FILE_LIMIT).result == ReadResult::Ok &&
                              now.read(stored, b, ANY_FILE_LIMIT).result == ReadResult::Ok && a == b;
            if (!same)
                list += (list.empty() ? "" : ",") + std::string("{\"name\":") + jsonString(name) +
                        ",\"stored\":" + jsonString(stored) + "}";
        }
        return "[" + list + "]";
    }

    struct State {
        long generation = 0;
        std::string site;
        std::string changed = "[]";
        std::vector<SourceProblem> problems;
    };

    PreviewOptions options;
    std::string root;
    BuildSteps failed{false, false, false, false};
    int sites = 0;
    std::vector<std::string> retired;
    std::mutex mutex;
    std::condition_variable news;
    long version = 0;
    State state;
};

const char *typeOf(const std::string &path) {
    static const std::map<std::string, const char *> TYPES = {{".html", "text/html; charset=utf-8"},
                                                              {".js", "text/javascript"},
                                                              {".css", "text/css"},
                                                              {".wasm", "application/wasm"},
                                                              {".json", "application/json"},
                                                              {".txt", "text/plain; charset=utf-8"},
                                                              {".png", "image/png"},
                                                              {".webmanifest", "application/manifest+json"}};
    const std::size_t dot = path.rfind('.');
    const auto found = dot == std::string::npos ? TYPES.end() : TYPES.find(path.substr(dot));
    return found == TYPES.end() ? "application/octet-stream" : found->second;
}

// A file of the newest site, as a real host serves it.
void answerFile(Preview &preview, const httplib::Request &request, httplib::Response &response) {
    response.set_header("X-Content-Type-Options", "nosniff");
    response.set_header("Cache-Control", "no-cache");
    std::string rel = request.path.substr(1);
    if (rel.empty() || rel.back() == '/')
        rel += "index.html";
    Folder site;
    std::string why;
    std::vector<std::uint8_t> bytes;
    const bool found = rel.find('\0') == std::string::npos && Folder::given(preview.currentSite(), site, why) &&
                       site.read(rel, bytes, ANY_FILE_LIMIT).result == ReadResult::Ok;
    const bool page = rel == "index.html" || rel == "shelf.html";
    if (!found) {
        response.status = 404;
        response.set_header("Content-Security-Policy", "sandbox; default-src 'none'");
        response.set_content("not found", "text/plain");
        return;
    }
    if (!page)
        response.set_header("Content-Security-Policy", rel == "service-worker.js"
                                                           ? "default-src 'none'; connect-src 'self'"
                                                           : "sandbox; default-src 'none'");
    std::string body(bytes.begin(), bytes.end());
    // The preview's page, and only the preview's, asks for the news.
    const std::string head = "<meta charset=\"utf-8\">\n";
    if (rel == "index.html" && body.find(head) != std::string::npos)
        body.replace(body.find(head), head.size(),
                     head + "<meta name=\"orbex-preview\" content=\"" + std::string(STATE_PATH).substr(1) + "\">\n");
    response.set_content(body, typeOf(rel));
}

void openBrowser(const std::string &url) {
    pid_t child = 0;
    const char *arguments[] = {"xdg-open", url.c_str(), nullptr};
    if (::posix_spawnp(&child, "xdg-open", nullptr, nullptr, const_cast<char **>(arguments), environ) != 0)
        std::fprintf(stderr, "orbex-tool preview: cannot start xdg-open; open %s yourself\n", url.c_str());
}

} // namespace

SourceProblem sourceProblem(const std::string &error) {
    static const std::regex WITH_LINE("^(.*?): ?([0-9]+): (.*)$");
    static const std::regex WITH_FILE("^([^ :][^:]*): (.*)$");
    std::smatch match;
    if (std::regex_match(error, match, WITH_LINE))
        return {match[1], std::stoi(match[2]), match[3]};
    if (std::regex_match(error, match, WITH_FILE))
        return {match[1], 0, match[2]};
    return {"", 0, error};
}

int runPreview(const PreviewOptions &options, Report &report) {
    const char *base = std::getenv("TMPDIR");
    std::string folder =
        (base != nullptr && *base != 0 ? std::string(base) : std::string("/tmp")) + "/orbex-preview-XXXXXX";
    if (::mkdtemp(folder.data()) == nullptr) {
        report.error(folder + ": cannot make a temporary folder for the preview");
        return 1;
    }
    const std::string root = folder;
    Preview preview(options, root);
    preview.build();
    if (preview.currentSite().empty())
        std::fprintf(stderr, "orbex-tool preview: no good build yet; fix the sources and save\n");

    httplib::Server server;
    server.Get(STATE_PATH, [&](const httplib::Request &request, httplib::Response &response) {
        const long after = request.has_param("after") ? std::atol(request.get_param_value("after").c_str()) : -1;
        response.set_header("Cache-Control", "no-store");
        response.set_header("X-Content-Type-Options", "nosniff");
        response.set_content(preview.stateAfter(after), "application/json");
    });
    server.Get(".*", [&](const httplib::Request &request, httplib::Response &response) {
        answerFile(preview, request, response);
    });
    const int port = options.port == 0 ? server.bind_to_any_port("127.0.0.1") : options.port;
    if (port <= 0 || (options.port != 0 && !server.bind_to_port("127.0.0.1", port))) {
        report.error("cannot listen on 127.0.0.1" + (options.port != 0 ? ":" + std::to_string(options.port) : ""));
        std::filesystem::remove_all(root);
        return 1;
    }
    std::signal(SIGINT, onStopSignal);
    std::signal(SIGTERM, onStopSignal);
    std::thread serving([&] { server.listen_after_bind(); });
    const std::string url = "http://127.0.0.1:" + std::to_string(port) + "/";
    std::printf("orbex-tool preview: %s (Ctrl+C ends it)\n", url.c_str());
    std::fflush(stdout);
    if (options.open)
        openBrowser(url);

    std::string seen = sourcesSignature(options.folder);
    while (!stopping) {
        std::this_thread::sleep_for(POLL);
        int status = 0;
        while (::waitpid(-1, &status, WNOHANG) > 0) {
        }
        std::string now = sourcesSignature(options.folder);
        if (now != seen) {
            now = settledSignature(options.folder, now);
            const BuildSteps steps = changedSteps(seen, now, options.folder);
            seen = now;
            preview.build(steps);
        }
    }
    preview.wakeAll();
    server.stop();
    serving.join();
    std::error_code ignored;
    std::filesystem::remove_all(root, ignored);
    std::printf("orbex-tool preview: ended\n");
    return 0;
}

} // namespace orbex
