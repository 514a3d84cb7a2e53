// The authoring tools' passes over their input: compiling an article source,
// taking an archive apart, parsing a font source. Each must stay linear in
// its input, whatever the input holds; the benchmarks run each at several
// sizes and fit the times to a line (bench/README.md).
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "articles.h"
#include "fontsource.h"
#include "unpack.h"

namespace {

using namespace orbex;

constexpr std::int64_t SMALLEST = 64 << 10;
constexpr std::int64_t LARGEST = 1 << 20;

std::string repeated(const std::string &unit, std::size_t bytes) {
    std::string text;
    text.reserve(bytes + unit.size());
    while (text.size() < bytes)
        text += unit;
    text.resize(bytes);
    return text;
}

// Article sources of a given size, each a shape that once cost more than
// its length.
enum class Source {
    Prose,          // 70-column lines of text with a colour word now and then
    UnclosedBraces, // "{a" again and again, no "}" and no line end
    ColourTagsOneLine,
    RawBytes,     // "{raw 01}" for every byte, one long line
    LinksOneLine, // article links one after the other, never closed on a line
    BadUtf8,      // bytes that are no UTF-8: one problem each
    TitleLine,    // one very long "Title:" line
};

std::string source(Source shape, std::size_t bytes) {
    switch (shape) {
    case Source::Prose:
        return "Title: Prose\nAuthor: Bench\n\n" +
               repeated("The quick brown fox jumps over the lazy dog, {colour #FFC850}twice{colour #FFFFFF}.\n", bytes);
    case Source::UnclosedBraces:
        return repeated("{a", bytes);
    case Source::ColourTagsOneLine:
        return repeated("{colour 1 2 3}x", bytes);
    case Source::RawBytes:
        return repeated("{raw 01}", bytes);
    case Source::LinksOneLine:
        return repeated("{link 1 0 #FFC850 #60FFFF}go{/link}", bytes);
    case Source::BadUtf8:
        return repeated("\xFF", bytes);
    case Source::TitleLine:
        return "Title: " + repeated("T", bytes);
    }
    return {};
}

void compileSource(benchmark::State &state, Source shape) {
    const std::size_t bytes = static_cast<std::size_t>(state.range(0));
    const ArticleSource input{"bench.txt", source(shape, bytes)};
    for (auto _ : state) {
        Article article;
        Report report;
        compileArticle(input, article, report);
        benchmark::DoNotOptimize(article.text.data());
    }
    state.SetComplexityN(state.range(0));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(0));
}

#define SOURCE_BENCHMARK(name, shape)                                                                                  \
    BENCHMARK_CAPTURE(compileSource, name, Source::shape)                                                              \
        ->RangeMultiplier(4)                                                                                           \
        ->Range(SMALLEST, LARGEST)                                                                                     \
        ->Unit(benchmark::kMillisecond)                                                                                \
        ->Complexity(benchmark::oN)

SOURCE_BENCHMARK(prose, Prose);
SOURCE_BENCHMARK(unclosed_braces, UnclosedBraces);
SOURCE_BENCHMARK(colour_tags_one_line, ColourTagsOneLine);
SOURCE_BENCHMARK(raw_bytes, RawBytes);
SOURCE_BENCHMARK(links_one_line, LinksOneLine);
SOURCE_BENCHMARK(bad_utf8, BadUtf8);
SOURCE_BENCHMARK(title_line, TitleLine);

// Archives for unpack: the markup written for every byte, and as many
// records as a link can reach.
enum class Archive {
    OddBytes,     // bytes the markup cannot say, codes in odd places
    ManyRecords,  // MAX_ARTICLES records of text
    LinksAndText, // records full of links and colours
    Separators,   // nothing but separators: an article for every byte
};

std::vector<std::uint8_t> archive(Archive shape, std::size_t bytes) {
    std::string text;
    switch (shape) {
    case Archive::OddBytes:
        text = "d\n" + repeated(std::string("\x80\x01\xA2\x9F(1) 1)\x0D\xA8x", 14), bytes);
        break;
    case Archive::ManyRecords: {
        std::string record = " Title\nAuthor\n\n" + repeated("text ", bytes / MAX_ARTICLES) + "\x9E";
        for (std::size_t i = 0; i < MAX_ARTICLES; ++i)
            text += record;
        break;
    }
    case Archive::LinksAndText:
        text = "d\n" +
               repeated(std::string("\x9F(1) 0)\x01\x02\x03\x04\x05\x06link\x9F \xA2\x10\x20\x30word\n"), bytes) +
               "\x9E";
        break;
    case Archive::Separators:
        text.assign(bytes, '\x9E');
        break;
    }
    return {text.begin(), text.end()};
}

void unpackShape(benchmark::State &state, Archive shape) {
    const std::vector<std::uint8_t> input = archive(shape, static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) {
        Report report;
        std::vector<ArticleSource> sources = unpackArchive(input, report);
        benchmark::DoNotOptimize(sources.data());
    }
    state.SetComplexityN(static_cast<std::int64_t>(input.size()));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * input.size()));
}

#define UNPACK_BENCHMARK(name, shape)                                                                                  \
    BENCHMARK_CAPTURE(unpackShape, name, Archive::shape)                                                               \
        ->RangeMultiplier(4)                                                                                           \
        ->Range(SMALLEST, LARGEST)                                                                                     \
        ->Unit(benchmark::kMillisecond)                                                                                \
        ->Complexity(benchmark::oN)

UNPACK_BENCHMARK(odd_bytes, OddBytes);
UNPACK_BENCHMARK(many_records, ManyRecords);
UNPACK_BENCHMARK(links_and_text, LinksAndText);

// Font sources: good glyph lines, and lines that are all problems.
void parseFont(benchmark::State &state, bool good) {
    const std::string line = good ? "0041:0000000018242442427E424242420000\n" : "zz41:not a glyph\n";
    const std::string text = repeated(line, static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) {
        Report report;
        auto glyphs = parseHexFont(text, report);
        benchmark::DoNotOptimize(glyphs.size());
    }
    state.SetComplexityN(state.range(0));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(0));
}

BENCHMARK_CAPTURE(parseFont, glyph_lines, true)
    ->RangeMultiplier(4)
    ->Range(SMALLEST, LARGEST)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);
BENCHMARK_CAPTURE(parseFont, bad_lines, false)
    ->RangeMultiplier(4)
    ->Range(SMALLEST, LARGEST)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);

// orbex-tool export as a reader runs it, on the sample magazine with an
// archive of each shape and size: its time, and its peak memory (maxrss_kb),
// which must not grow faster than the archive. A million separators, more
// articles than a link reaches, cost no more than the articles it keeps.
enum class Edition { Html, Epub };

struct Spawned {
    double seconds = 0;
    long maxrssKb = 0;
    int status = -1;
};

Spawned runTool(const std::vector<std::string> &arguments) {
    std::vector<char *> argv;
    for (const std::string &a : arguments)
        argv.push_back(const_cast<char *>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    Spawned result;
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) == 0) {
        int status = 0;
        struct rusage usage {};
        ::wait4(pid, &status, 0, &usage);
        result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        result.maxrssKb = usage.ru_maxrss;
    }
    result.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    posix_spawn_file_actions_destroy(&actions);
    return result;
}

void exportShape(benchmark::State &state, Archive shape, Edition edition) {
    namespace fs = std::filesystem;
    const fs::path work = fs::temp_directory_path() / ("orbex-export-bench-" + std::to_string(::getpid()));
    fs::remove_all(work);
    fs::create_directories(work);
    fs::copy(ORBEX_SAMPLE_MAGAZINE, work / "mag", fs::copy_options::recursive);
    const std::vector<std::uint8_t> input = archive(shape, static_cast<std::size_t>(state.range(0)));
    {
        std::FILE *file = std::fopen((work / "mag/data/orbex.dat").c_str(), "wb");
        std::fwrite(input.data(), 1, input.size(), file);
        std::fclose(file);
    }
    const std::string out = (work / (edition == Edition::Html ? "out" : "book.epub")).string();
    Spawned last;
    for (auto _ : state) {
        last = runTool({ORBEX_TOOL_BINARY, "export", (work / "mag").string(), out,
                        edition == Edition::Html ? "--html" : "--epub"});
        state.SetIterationTime(last.seconds);
        if (last.status != 0)
            state.SkipWithError("orbex-tool export failed");
    }
    state.counters["maxrss_kb"] = static_cast<double>(last.maxrssKb);
    state.SetComplexityN(static_cast<std::int64_t>(input.size()));
    fs::remove_all(work);
}

// Separators only: 1 MiB of them is a million articles, of which the
// edition keeps 2277.
#define EXPORT_BENCHMARK(name, shape, edition)                                                                         \
    BENCHMARK_CAPTURE(exportShape, name, Archive::shape, Edition::edition)                                             \
        ->RangeMultiplier(4)                                                                                           \
        ->Range(SMALLEST, LARGEST)                                                                                     \
        ->UseManualTime()                                                                                              \
        ->Iterations(3)                                                                                                \
        ->Unit(benchmark::kMillisecond)                                                                                \
        ->Complexity(benchmark::oN)

EXPORT_BENCHMARK(html_many_records, ManyRecords, Html);
EXPORT_BENCHMARK(html_links_and_text, LinksAndText, Html);
EXPORT_BENCHMARK(html_separators, Separators, Html);
EXPORT_BENCHMARK(epub_many_records, ManyRecords, Epub);
EXPORT_BENCHMARK(epub_separators, Separators, Epub);

} // namespace

BENCHMARK_MAIN();
