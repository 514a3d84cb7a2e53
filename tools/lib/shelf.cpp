// Several magazines on one site, sharing its program: each in
// issues/NAME/, its start picture as the viewer shows it its cover
// (covers/NAME.png), and shelf.html listing them in the order given, each
// opening index.html?magazine=issues/NAME/.
#include <zlib.h>

#include <algorithm>
#include <cctype>

#include "common/start.h"
#include "images.h"
#include "site.h"

namespace orbex {

namespace {

constexpr int WIDTH = 640;
constexpr int HEIGHT = 480;

std::string baseName(std::string path) {
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path.substr(path.rfind('/') + 1);
}

// Why a name cannot be an issue's folder on the site, or "".
std::string badIssueName(const std::string &name) {
    if (name.empty() || name.front() == '.' || name == "..")
        return "it cannot name a folder of the site";
    for (unsigned char c : name)
        if (c < 0x20 || c == 0x7f)
            return "it cannot name a folder of the site";
    if (name.find('\\') != std::string::npos)
        return "a name with a backslash, which no magazine file has";
    return "";
}

// The start picture as the viewer shows it: missing, it stays black;
// short, it ends in white. In the site's copy it may be stored gzipped.
RgbImage coverOf(const Folder &issue) {
    RgbImage cover{WIDTH, HEIGHT, std::vector<std::uint8_t>(static_cast<std::size_t>(WIDTH) * HEIGHT * 3)};
    std::vector<std::uint8_t> bytes;
    bool found = issue.read(START_PICTURE_FILE, bytes, cover.rgb.size(), ReadMode::Head).result == ReadResult::Ok;
    std::vector<std::uint8_t> packed;
    if (!found && issue.read(std::string(START_PICTURE_FILE) + ".gz", packed).result == ReadResult::Ok) {
        bytes.assign(cover.rgb.size(), 0);
        z_stream stream{};
        if (inflateInit2(&stream, 31) == Z_OK) {
            stream.next_in = packed.data();
            stream.avail_in = static_cast<uInt>(packed.size());
            stream.next_out = bytes.data();
            stream.avail_out = static_cast<uInt>(bytes.size());
            const int result = inflate(&stream, Z_FINISH);
            found = result == Z_STREAM_END || result == Z_BUF_ERROR || result == Z_OK;
            bytes.resize(stream.total_out);
            inflateEnd(&stream);
        }
    }
    if (found) {
        std::copy(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(std::min(bytes.size(), cover.rgb.size())),
                  cover.rgb.begin());
        std::fill(cover.rgb.begin() + static_cast<std::ptrdiff_t>(std::min(bytes.size(), cover.rgb.size())),
                  cover.rgb.end(), 0xff);
    }
    return cover;
}

std::string escaped(const std::string &text) {
    std::string out;
    for (char c : text)
        if (c == '&' || c == '<' || c == '>' || c == '"' || c == '\'')
            out += "&#" + std::to_string(static_cast<int>(c)) + ";";
        else
            out += c;
    return out;
}

} // namespace

std::string uriComponent(const std::string &text) {
    static constexpr char HEX[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : text) {
        if (std::isalnum(c) != 0 || std::string_view("-_.!~*'()").find(static_cast<char>(c)) != std::string::npos) {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += HEX[c >> 4];
            out += HEX[c & 15];
        }
    }
    return out;
}

std::string uriPath(const std::string &path) {
    std::string out;
    for (std::size_t at = 0; at <= path.size();) {
        const std::size_t end = std::min(path.find('/', at), path.size());
        out += (at == 0 ? "" : "/") + uriComponent(path.substr(at, end - at));
        at = end + 1;
    }
    return out;
}

std::string issueName(const std::string &magazine) {
    std::string name = baseName(magazine);
    if (Folder::isFile(magazine) && name.size() > 4) {
        std::string end = name.substr(name.size() - 4);
        std::transform(end.begin(), end.end(), end.begin(), [](unsigned char c) { return std::tolower(c); });
        if (end == ".zip")
            name.resize(name.size() - 4);
    }
    return name;
}

// The issue's folder as a path, each character a path cannot hold as it is
// encoded, then that path encoded again as the query's value: the page's
// parameter gives back the path and the path the folder.
std::string issueHref(const std::string &name) {
    std::string value = uriComponent("issues/" + uriComponent(name) + "/");
    for (std::size_t at = 0; (at = value.find("%2F", at)) != std::string::npos;)
        value.replace(at, 3, "/");
    return "index.html?magazine=" + value;
}

std::string shelfPage(const std::vector<std::string> &names) {
    std::string items;
    for (const std::string &name : names) {
        items += (items.empty() ? "" : "\n") + std::string("<li>\n  <h2><a href=\"") + escaped(issueHref(name)) +
                 "\">" + escaped(name) + "</a></h2>\n  <img src=\"" + escaped("covers/" + uriComponent(name) + ".png") +
                 "\" alt=\"The start picture of " + escaped(name) + "\" width=\"" + std::to_string(WIDTH) +
                 "\" height=\"" + std::to_string(HEIGHT) + "\" loading=\"lazy\">\n</li>";
    }
    return "<!doctype html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
           "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
           "<meta http-equiv=\"Content-Security-Policy\" content=\"default-src 'none'; img-src 'self'; style-src "
           "'self'; base-uri 'none'; form-action 'none'\">\n"
           "<title>ORBEX 5: the issues</title>\n<link rel=\"stylesheet\" href=\"shelf.css\">\n</head>\n<body>\n"
           "<main>\n<h1>ORBEX 5</h1>\n<p>" +
           std::to_string(names.size()) + " issues. Choose one to read it.</p>\n<ul id=\"orbex-shelf\">\n" + items +
           "\n</ul>\n</main>\n</body>\n</html>\n";
}

bool writeShelf(const Folder &site, const std::vector<std::string> &magazines, Report &report) {
    std::vector<std::string> names;
    for (const std::string &magazine : magazines) {
        const std::string name = issueName(magazine);
        const std::string why = badIssueName(name);
        if (!why.empty()) {
            report.error("the issue \"" + name + "\" (" + magazine + "): " + why + "; rename it");
            return false;
        }
        const auto same = std::find(names.begin(), names.end(), name);
        if (same != names.end()) {
            report.error("two issues are named " + name + " (" + magazines[same - names.begin()] + ", " + magazine +
                         "); rename one");
            return false;
        }
        names.push_back(name);
    }
    for (std::size_t i = 0; i < magazines.size(); ++i) {
        const std::string into = "issues/" + names[i];
        Folder issue, covers;
        std::vector<std::uint8_t> png;
        std::string why;
        if (!copyMagazine(magazines[i], site, into, report) || !site.sub(into, issue, false, why) ||
            !site.sub("covers", covers, true, why) || !encodePng(coverOf(issue), png) ||
            !covers.write(names[i] + ".png", png, why)) {
            if (!why.empty())
                report.error(why);
            return false;
        }
    }
    const std::string page = shelfPage(names);
    std::string why;
    if (!site.write("shelf.html", std::vector<std::uint8_t>(page.begin(), page.end()), why)) {
        report.error(why);
        return false;
    }
    return true;
}

} // namespace orbex
