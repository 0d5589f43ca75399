#include "content/timeline/TimelineFile.h"

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>

#include <pugixml.hpp>

namespace {

constexpr uint32_t kEditorModeCount = 4;  // step, linear, smooth, ramp

// Keeps the first fault as "FILE:LINE: what".
struct Reader {
    const char* text;
    size_t size;
    const char* fileName;
    std::string* error;
    bool failed = false;

    uint32_t lineAt(ptrdiff_t offset) const {
        if (offset < 0) return 0;
        size_t end = static_cast<size_t>(offset) < size ? static_cast<size_t>(offset) : size;
        uint32_t line = 1;
        for (size_t i = 0; i < end; ++i) line += text[i] == '\n';
        return line;
    }

    bool fail(ptrdiff_t offset, const std::string& what) {
        if (!failed) {
            failed = true;
            *error = std::string(fileName) + ":" + std::to_string(lineAt(offset)) + ": " + what;
        }
        return false;
    }
    bool fail(const pugi::xml_node& node, const std::string& what) { return fail(node.offset_debug(), what); }
};

// A name or value from the file as the error line shows it: on one line and
// not too long to read.
std::string quoted(const char* s) {
    constexpr size_t kShown = 40;
    std::string out = "'";
    size_t n = 0;
    for (; s[n] && n < kShown; ++n) out += static_cast<unsigned char>(s[n]) < 0x20 ? '?' : s[n];
    return out + (s[n] ? "...'" : "'");
}
std::string tag(const char* name) { return std::string("<") + name + ">"; }

bool parseWhole(const char* s, uint32_t& out) {
    size_t n = std::strlen(s);
    if (n == 0 || s[0] < '0' || s[0] > '9') return false;  // digits only: no sign, no space
    auto [end, ec] = std::from_chars(s, s + n, out);
    return ec == std::errc() && end == s + n;
}

bool parseFloat(const char* s, float& out) {
    size_t n = std::strlen(s);
    if (n == 0) return false;
    auto [end, ec] = std::from_chars(s, s + n, out, std::chars_format::general);
    return ec == std::errc() && end == s + n && std::isfinite(out);
}

// Checks that `node` has exactly the attributes `names` (each once) and
// returns their values in `values`.
template <size_t N>
bool takeAttributes(Reader& r, const pugi::xml_node& node, const char* const (&names)[N], const char* (&values)[N]) {
    for (const char*& v : values) v = nullptr;
    for (pugi::xml_attribute a : node.attributes()) {
        size_t i = 0;
        while (i < N && std::strcmp(a.name(), names[i]) != 0) ++i;
        if (i == N) return r.fail(node, "unknown attribute " + quoted(a.name()) + " on " + tag(node.name()));
        if (values[i]) return r.fail(node, "a second " + quoted(a.name()) + " attribute on " + tag(node.name()));
        values[i] = a.value();
    }
    for (size_t i = 0; i < N; ++i) {
        if (!values[i]) return r.fail(node, tag(node.name()) + " lacks the attribute " + quoted(names[i]));
    }
    return true;
}

bool wholeAttribute(Reader& r, const pugi::xml_node& node, const char* attribute, const char* value, uint32_t& out) {
    if (parseWhole(value, out)) return true;
    return r.fail(node, std::string(attribute) + " " + quoted(value) + " is not a whole number from 0 to 4294967295");
}

// Only elements may appear inside the file's elements (comments, the XML
// declaration and whitespace are skipped by the parser).
bool onlyElementChild(Reader& r, const pugi::xml_node& child, const pugi::xml_node& parent) {
    if (child.type() == pugi::node_element) return true;
    // The text's line is that of its first visible character.
    ptrdiff_t at = child.offset_debug();
    while (at >= 0 && static_cast<size_t>(at) < r.size && r.text[at] && std::strchr(" \t\r\n", r.text[at])) ++at;
    if (parent.type() == pugi::node_document) return r.fail(at, "unexpected text outside <sync>");
    return r.fail(at, "unexpected text in " + tag(parent.name()));
}

// <key> and <bookmark> hold nothing.
bool emptyElement(Reader& r, const pugi::xml_node& node) {
    pugi::xml_node child = node.first_child();
    if (!child) return true;
    if (!onlyElementChild(r, child, node)) return false;
    return r.fail(child, "unknown element " + tag(child.name()) + " in " + tag(node.name()));
}

bool readKeys(Reader& r, const pugi::xml_node& track, uint32_t rows, TrackSet& set, uint32_t index) {
    static const char* const kKeyAttributes[] = {"row", "value", "interpolation"};
    bool first = true;
    uint32_t previousRow = 0;
    for (pugi::xml_node key : track.children()) {
        if (!onlyElementChild(r, key, track)) return false;
        if (std::strcmp(key.name(), "key") != 0) {
            return r.fail(key, "unknown element " + tag(key.name()) + " in <track>");
        }
        if (!emptyElement(r, key)) return false;
        const char* values[3];
        if (!takeAttributes(r, key, kKeyAttributes, values)) return false;
        uint32_t row = 0, mode = 0;
        float value = 0.0f;
        if (!wholeAttribute(r, key, "row", values[0], row)) return false;
        if (!parseFloat(values[1], value)) return r.fail(key, "value " + quoted(values[1]) + " is not a finite number");
        if (!wholeAttribute(r, key, "interpolation", values[2], mode)) return false;
        if (mode >= kEditorModeCount) {
            return r.fail(key, "interpolation " + std::to_string(mode) +
                                   " is none of 0 step, 1 linear, 2 smooth, 3 ramp");
        }
        if (row >= rows) {
            return r.fail(key, "row " + std::to_string(row) + " is past the file's " + std::to_string(rows) + " rows");
        }
        if (!first && row <= previousRow) {
            return r.fail(key, "row " + std::to_string(row) + " is out of order (after row " +
                                   std::to_string(previousRow) + ")");
        }
        if (!trackAddKey(set, index, row, value, mode)) return r.fail(key, "out of memory");
        first = false;
        previousRow = row;
    }
    return true;
}

bool readTracks(Reader& r, const pugi::xml_node& tracks, uint32_t rows, TrackNames names, TrackSet& set) {
    static const char* const kTrackAttributes[] = {"name"};
    // Non-zero for each name whose track has been read.
    std::string seen(names.count, '\0');
    for (pugi::xml_node track : tracks.children()) {
        if (!onlyElementChild(r, track, tracks)) return false;
        if (std::strcmp(track.name(), "track") != 0) {
            return r.fail(track, "unknown element " + tag(track.name()) + " in <tracks>");
        }
        const char* name[1];
        if (!takeAttributes(r, track, kTrackAttributes, name)) return false;
        uint32_t index = 0;
        while (index < names.count && std::strcmp(names.names[index], name[0]) != 0) ++index;
        if (index == names.count) return r.fail(track, "track " + quoted(name[0]) + " is no parameter's name");
        if (seen[index]) return r.fail(track, "a second track " + quoted(name[0]));
        seen[index] = 1;
        if (!readKeys(r, track, rows, set, index)) return false;
    }
    for (uint32_t i = 0; i < names.count; ++i) {
        if (!seen[i]) return r.fail(tracks, "track " + quoted(names.names[i]) + " is missing");
    }
    return true;
}

// <bookmarks><bookmark row="R"/>...</bookmarks>: the editor's, checked and dropped.
bool readBookmarks(Reader& r, const pugi::xml_node& bookmarks) {
    static const char* const kBookmarkAttributes[] = {"row"};
    for (pugi::xml_node mark : bookmarks.children()) {
        if (!onlyElementChild(r, mark, bookmarks)) return false;
        if (std::strcmp(mark.name(), "bookmark") != 0) {
            return r.fail(mark, "unknown element " + tag(mark.name()) + " in <bookmarks>");
        }
        const char* row[1];
        uint32_t value = 0;
        if (!takeAttributes(r, mark, kBookmarkAttributes, row) || !wholeAttribute(r, mark, "row", row[0], value)) {
            return false;
        }
        if (!emptyElement(r, mark)) return false;
    }
    return true;
}

bool readDocument(Reader& r, const pugi::xml_document& doc, TrackNames names, TrackSet& set, uint32_t& rows) {
    pugi::xml_node sync;
    for (pugi::xml_node node : doc.children()) {
        if (node.type() == pugi::node_doctype) return r.fail(node, "a DOCTYPE, which the file has no use for");
        if (!onlyElementChild(r, node, doc)) return false;
        if (sync) return r.fail(node, "a second root element " + tag(node.name()));
        if (std::strcmp(node.name(), "sync") != 0) return r.fail(node, "unknown element " + tag(node.name()) + ", not <sync>");
        sync = node;
    }
    if (!sync) return r.fail(0, "no <sync> element");

    static const char* const kSyncAttributes[] = {"rows"};
    const char* rowsText[1];
    if (!takeAttributes(r, sync, kSyncAttributes, rowsText) || !wholeAttribute(r, sync, "rows", rowsText[0], rows)) {
        return false;
    }
    pugi::xml_node tracks, bookmarks;
    for (pugi::xml_node child : sync.children()) {
        if (!onlyElementChild(r, child, sync)) return false;
        pugi::xml_node* slot = std::strcmp(child.name(), "tracks") == 0      ? &tracks
                               : std::strcmp(child.name(), "bookmarks") == 0 ? &bookmarks
                                                                             : nullptr;
        if (!slot) return r.fail(child, "unknown element " + tag(child.name()) + " in <sync>");
        if (*slot) return r.fail(child, "a second " + tag(child.name()));
        if (child.first_attribute()) {
            return r.fail(child, "unknown attribute " + quoted(child.first_attribute().name()) + " on " + tag(child.name()));
        }
        *slot = child;
    }
    if (!tracks) return r.fail(sync, "<sync> has no <tracks>");
    if (bookmarks && !readBookmarks(r, bookmarks)) return false;
    return readTracks(r, tracks, rows, names, set);
}

bool parseInto(Reader& r, TrackNames names, TrackSet& parsed, uint32_t& rows) {
    // pugixml would stop at a zero byte and drop what follows.
    if (const void* zero = std::memchr(r.text, 0, r.size)) {
        return r.fail(static_cast<const char*>(zero) - r.text, "a zero byte");
    }
    // No entity or character references: the file's names and numbers never
    // need them, and &#0; would cut a value short unseen. Text outside the
    // root and DOCTYPEs are kept so that they can be refused; comments,
    // processing instructions and the declaration are skipped.
    const unsigned options = (pugi::parse_default & ~pugi::parse_escapes) | pugi::parse_fragment | pugi::parse_doctype;
    pugi::xml_document doc;
    pugi::xml_parse_result result = doc.load_buffer(r.text, r.size, options, pugi::encoding_utf8);
    if (!result) return r.fail(result.offset, std::string("not well-formed XML: ") + result.description());
    return readDocument(r, doc, names, parsed, rows);
}

}  // namespace

bool parseTimeline(const char* text, size_t size, const char* fileName, TrackNames names, TrackSet& set,
                   uint32_t& rows, std::string& error) {
    Reader r{text, size, fileName ? fileName : "(timeline)", &error};
    TrackSet parsed;
    uint32_t parsedRows = 0;
    bool ok = false;
    try {
        ok = trackSetInit(parsed) && trackSetResize(parsed, names.count);
        if (!ok) r.fail(0, "out of memory");
        ok = ok && parseInto(r, names, parsed, parsedRows);
    } catch (...) {  // only std::bad_alloc can come from here
        error = std::string(r.fileName) + ": out of memory";
        ok = false;
    }
    if (!ok) {
        trackSetDestroy(parsed);
        return false;
    }
    // Hand the parsed tracks over and release the old ones.
    GrowArray<Track> old = set.tracks;
    set.tracks = parsed.tracks;
    parsed.tracks = old;
    trackSetDestroy(parsed);
    rows = parsedRows;
    return true;
}

bool readTimelineFile(const char* path, TrackNames names, TrackSet& set, uint32_t& rows, std::string& error) {
    std::string text;
    std::FILE* f = nullptr;
    try {
        f = std::fopen(path, "rb");
        if (!f) {
            error = std::string(path) + ": cannot open: " + std::strerror(errno);
            return false;
        }
        char buffer[16384];
        size_t n = 0;
        while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) text.append(buffer, n);
        bool readFailed = std::ferror(f) != 0;
        std::fclose(f);
        f = nullptr;
        if (readFailed) {
            error = std::string(path) + ": cannot read the file";
            return false;
        }
    } catch (...) {  // std::bad_alloc
        if (f) std::fclose(f);
        error = "timeline: out of memory";
        return false;
    }
    return parseTimeline(text.data(), text.size(), path, names, set, rows, error);
}
