// The timeline file's reader (strict, one line per fault) and writer.
#include <gtest/gtest.h>

#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

#include "content/timeline/ShowParameters.h"
#include "content/timeline/TimelineFile.h"

namespace {

const char* const kTwoNames[] = {"alpha", "beta"};
const TrackNames kNames{kTwoNames, 2};
const TrackNames kShowNames{kShowParameterNames, kShowParameterCount};

struct Parsed {
    bool ok;
    std::string error;
};

Parsed parse(const std::string& text, TrackSet& set, uint32_t& rows) {
    std::string error;
    bool ok = parseTimeline(text.data(), text.size(), "t.rocket", kNames, set, rows, error);
    return {ok, error};
}

std::string fileText(const char* path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

struct FaultCase {
    std::string text;
    const char* error;
};

// Keys of track beta, from line 2 on.
std::string withKeys(const char* keys) {
    return std::string("<sync rows=\"8\"><tracks><track name=\"alpha\"/><track name=\"beta\">\n") + keys +
           "</track></tracks></sync>";
}

// Each case breaks one thing in an otherwise good file.
const FaultCase kFaults[] = {
    {"", "t.rocket:1: no <sync> element"},
    {"<sync rows=\"8\"><tracks>\n</track>", "t.rocket:2: not well-formed XML: Start-end tags mismatch"},
    {"<song rows=\"8\"/>", "t.rocket:1: unknown element <song>, not <sync>"},
    {"<sync rows=\"8\"><tracks/></sync>\n<sync rows=\"8\"/>", "t.rocket:2: a second root element <sync>"},
    {withKeys("") + "\n\n  extra", "t.rocket:4: unexpected text outside <sync>"},
    {"<!DOCTYPE sync [<!ENTITY e \"1\">]>\n<sync rows=\"8\"/>", "t.rocket:1: a DOCTYPE, which the file has no use for"},
    {"<sync>\n<tracks/></sync>", "t.rocket:1: <sync> lacks the attribute 'rows'"},
    {"<sync rows=\"many\"><tracks/></sync>", "t.rocket:1: rows 'many' is not a whole number from 0 to 4294967295"},
    {"<sync rows=\"8\">\n<tempo/></sync>", "t.rocket:2: unknown element <tempo> in <sync>"},
    {"<sync rows=\"8\">\n</sync>", "t.rocket:1: <sync> has no <tracks>"},
    {"<sync rows=\"8\"><tracks><track name=\"alpha\"/><track name=\"beta\"/></tracks>\n<tracks/></sync>",
     "t.rocket:2: a second <tracks>"},
    {withKeys("<key row=\"1\" value=\"2\" interpolation=\"0\"><x/></key>"), "t.rocket:2: unknown element <x> in <key>"},
    {withKeys("\n five"), "t.rocket:3: unexpected text in <track>"},
    {"<sync rows=\"8\"><tracks>\n<track name=\"alpha\"/>\n<track name=\"beta\" colour=\"red\"/></tracks></sync>",
     "t.rocket:3: unknown attribute 'colour' on <track>"},
    {"<sync rows=\"8\"><tracks>\n<track name=\"alpha\"/>\n<track/></tracks></sync>",
     "t.rocket:3: <track> lacks the attribute 'name'"},
    {"<sync rows=\"8\"><tracks>\n<track name=\"alpha\"/>\n<track name=\"gamma\"/></tracks></sync>",
     "t.rocket:3: track 'gamma' is no parameter's name"},
    {"<sync rows=\"8\"><tracks>\n<track name=\"alpha\"/>\n<track name=\"alpha\"/></tracks></sync>",
     "t.rocket:3: a second track 'alpha'"},
    {"<sync rows=\"8\">\n<tracks>\n<track name=\"alpha\"/>\n</tracks></sync>", "t.rocket:2: track 'beta' is missing"},
    {withKeys("<key row=\"1\" value=\"2\"/>"), "t.rocket:2: <key> lacks the attribute 'interpolation'"},
    {withKeys("<key row=\"1\" value=\"2\" interpolation=\"0\" row=\"2\"/>"), "t.rocket:2: a second 'row' attribute on <key>"},
    {withKeys("<key row=\"-1\" value=\"2\" interpolation=\"0\"/>"),
     "t.rocket:2: row '-1' is not a whole number from 0 to 4294967295"},
    {withKeys("<key row=\"4294967296\" value=\"2\" interpolation=\"0\"/>"),
     "t.rocket:2: row '4294967296' is not a whole number from 0 to 4294967295"},
    {withKeys("<key row=\"1\" value=\"2.5x\" interpolation=\"0\"/>"), "t.rocket:2: value '2.5x' is not a finite number"},
    {withKeys("<key row=\"1\" value=\"1&#0;5\" interpolation=\"0\"/>"), "t.rocket:2: value '1&#0;5' is not a finite number"},
    {withKeys("<key row=\"1\" value=\"nan\" interpolation=\"0\"/>"), "t.rocket:2: value 'nan' is not a finite number"},
    {withKeys("<key row=\"1\" value=\"1e39\" interpolation=\"0\"/>"), "t.rocket:2: value '1e39' is not a finite number"},
    {withKeys("<key row=\"1\" value=\"2\" interpolation=\"4\"/>"),
     "t.rocket:2: interpolation 4 is none of 0 step, 1 linear, 2 smooth, 3 ramp"},
    {withKeys("<key row=\"8\" value=\"2\" interpolation=\"0\"/>"), "t.rocket:2: row 8 is past the file's 8 rows"},
    {withKeys("<key row=\"3\" value=\"2\" interpolation=\"0\"/>\n<key row=\"2\" value=\"2\" interpolation=\"0\"/>"),
     "t.rocket:3: row 2 is out of order (after row 3)"},
    {withKeys("<key row=\"3\" value=\"2\" interpolation=\"0\"/>\n\n<key row=\"3\" value=\"1\" interpolation=\"0\"/>"),
     "t.rocket:4: row 3 is out of order (after row 3)"},
    {"<sync rows=\"8\"><tracks><track name=\"alpha\"/><track name=\"beta\"/></tracks>\n"
     "<bookmarks><bookmark row=\"x\"/></bookmarks></sync>",
     "t.rocket:2: row 'x' is not a whole number from 0 to 4294967295"},
    {withKeys("") + std::string("\n\0", 2), "t.rocket:3: a zero byte"},
};

TEST(TimelineReader, EachFaultIsOneLineWithItsLineAndKeepsTheOldKeys) {
    for (const FaultCase& c : kFaults) {
        TrackSet set;
        ASSERT_TRUE(trackSetInit(set));
        ASSERT_TRUE(trackSetResize(set, 3));
        ASSERT_TRUE(trackAddKey(set, 2, 5, 1.5f, InterpolationMode::Linear));
        uint32_t rows = 77;
        Parsed p = parse(c.text, set, rows);
        EXPECT_FALSE(p.ok) << c.text;
        EXPECT_EQ(p.error, c.error) << c.text;
        EXPECT_EQ(rows, 77u);
        ASSERT_EQ(set.tracks.count, 3u);
        ASSERT_EQ(set.tracks[2].keys.count, 1u);
        EXPECT_EQ(set.tracks[2].keys[0].value, 1.5f);
        trackSetDestroy(set);
    }
}

TEST(TimelineReader, TakesTracksInAnyOrderWithTheEditorsExtras) {
    const std::string text =
        "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<!-- saved by hand -->\r\n"
        "<sync rows=\"32\"><tracks>\r\n"
        "  <track name=\"beta\"><key row=\"0\" value=\"-0\" interpolation=\"3\"/>"
        "<key row=\"31\" value=\"1.25e2\" interpolation=\"2\"/></track>\r\n"
        "  <track name=\"alpha\"/>\r\n"
        "</tracks><bookmarks><bookmark row=\"16\"/></bookmarks></sync>\r\n";
    TrackSet set;
    ASSERT_TRUE(trackSetInit(set));
    set.beatsPerMinute = 170.0f;
    uint32_t rows = 0;
    Parsed p = parse(text, set, rows);
    ASSERT_TRUE(p.ok) << p.error;
    EXPECT_EQ(rows, 32u);
    EXPECT_EQ(set.beatsPerMinute, 170.0f);
    ASSERT_EQ(set.tracks.count, 2u);
    EXPECT_EQ(set.tracks[0].keys.count, 0u);
    EXPECT_EQ(set.tracks[0].name[0], '\0');
    ASSERT_EQ(set.tracks[1].keys.count, 2u);
    EXPECT_EQ(set.tracks[1].keys[0].tick, 0u);
    EXPECT_TRUE(std::signbit(set.tracks[1].keys[0].value));
    EXPECT_EQ(set.tracks[1].keys[0].mode, static_cast<uint32_t>(InterpolationMode::Quadratic));
    EXPECT_EQ(set.tracks[1].keys[1].tick, 31u);
    EXPECT_EQ(set.tracks[1].keys[1].value, 125.0f);
    EXPECT_EQ(set.tracks[1].keys[1].mode, static_cast<uint32_t>(InterpolationMode::Smooth));
    trackSetDestroy(set);
}

TEST(TimelineWriter, RewritesTheShowsFileByteForByte) {
    const std::string original = fileText(THAW_TIMELINE_FILE);
    ASSERT_FALSE(original.empty());
    TrackSet set;
    ASSERT_TRUE(trackSetInit(set));
    uint32_t rows = 0;
    std::string error, written;
    ASSERT_TRUE(parseTimeline(original.data(), original.size(), "thawline.rocket", kShowNames, set, rows, error))
        << error;
    ASSERT_TRUE(formatTimeline(set, rows, kShowNames, written, error)) << error;
    EXPECT_EQ(written, original);

    // Through a file on disk too, replacing what was there.
    const std::string path = testing::TempDir() + "timeline_writer_test.rocket";
    { std::ofstream(path) << "old"; }
    ASSERT_TRUE(writeTimelineFile(path.c_str(), set, rows, kShowNames, error)) << error;
    EXPECT_EQ(fileText(path.c_str()), original);
    EXPECT_EQ(std::fopen((path + ".saving").c_str(), "r"), nullptr);
    std::remove(path.c_str());
    trackSetDestroy(set);
}

TEST(TimelineWriter, ValuesReadBackToTheSameBitsWrittenAsToCharsWrites) {
    const float values[] = {0.1f,    -0.0f,   FLT_MAX,  -FLT_MAX,  FLT_MIN, FLT_TRUE_MIN, 16777216.0f,
                            1.0e-7f, 162.55f, 3.14159274f, 1.0f / 3.0f, 96.08f, 2.0e20f,
                            123456792.0f, 100000.0f, 1.0e10f, 1.0e-5f, 0.0001f, -1300.0f, 1.2e7f};
    TrackSet set;
    ASSERT_TRUE(trackSetInit(set));
    ASSERT_TRUE(trackSetResize(set, 2));
    uint32_t row = 0;
    for (float v : values) {
        ASSERT_TRUE(trackAddKey(set, 1, row, v, row % 4));
        ++row;
    }
    std::string error, text, again;
    ASSERT_TRUE(formatTimeline(set, 64, kNames, text, error)) << error;
    // Every build writes the same text, whether its library has to_chars or not.
    size_t at = 0;
    for (float v : values) {
        at = text.find("value=\"", at) + 7;
        char expected[32];
        const auto end = std::to_chars(expected, expected + sizeof expected, v).ptr;
        EXPECT_EQ(text.substr(at, text.find('"', at) - at), std::string(expected, end)) << v;
    }

    TrackSet back;
    ASSERT_TRUE(trackSetInit(back));
    uint32_t rows = 0;
    Parsed p = parse(text, back, rows);
    ASSERT_TRUE(p.ok) << p.error << "\n" << text;
    ASSERT_EQ(back.tracks[1].keys.count, row);
    for (uint32_t k = 0; k < row; ++k) {
        EXPECT_EQ(std::memcmp(&back.tracks[1].keys[k].value, &values[k], sizeof(float)), 0) << values[k];
        EXPECT_EQ(back.tracks[1].keys[k].mode, set.tracks[1].keys[k].mode);
    }
    ASSERT_TRUE(formatTimeline(back, rows, kNames, again, error));
    EXPECT_EQ(again, text);
    trackSetDestroy(back);
    trackSetDestroy(set);
}

TEST(TimelineWriter, RefusesWhatTheFileCannotHold) {
    TrackSet set;
    ASSERT_TRUE(trackSetInit(set));
    ASSERT_TRUE(trackSetResize(set, 2));
    std::string error, text;
    EXPECT_FALSE(formatTimeline(set, 8, kShowNames, text, error));  // 2 tracks, 27 names
    EXPECT_EQ(error, "timeline: 2 tracks for 27 names");
    const char* const needsReferences[] = {"alpha", "r&b"};
    EXPECT_FALSE(formatTimeline(set, 8, TrackNames{needsReferences, 2}, text, error));
    EXPECT_EQ(error, "timeline: the track name 'r&b' holds one of & < > \"");

    // A mode the show holds like Step is written as step.
    ASSERT_TRUE(trackAddKey(set, 0, 1, 1.0f, 9u));
    ASSERT_TRUE(formatTimeline(set, 8, kNames, text, error)) << error;
    EXPECT_NE(text.find("<key row=\"1\" value=\"1\" interpolation=\"0\"/>"), std::string::npos) << text;

    const struct {
        uint32_t row;
        float value;
        InterpolationMode mode;
        const char* error;
    } refused[] = {
        {2, 1.0f, InterpolationMode::Quartic, "timeline: track 'alpha' has a Quartic key at row 2, which the file cannot hold"},
        {8, 1.0f, InterpolationMode::Step, "timeline: track 'alpha' has a key at row 8, past the file's 8 rows"},
        {2, INFINITY, InterpolationMode::Step, "timeline: track 'alpha' has a key at row 2 whose value is not a finite number"},
        {1, 1.0f, InterpolationMode::Step, "timeline: track 'alpha' has its key at row 1 out of order"},
    };
    for (const auto& r : refused) {
        ASSERT_TRUE(trackAddKey(set, 0, r.row, r.value, r.mode));
        EXPECT_FALSE(formatTimeline(set, 8, kNames, text, error));
        EXPECT_EQ(error, r.error);
        set.tracks[0].keys.count = 1;
    }
    trackSetDestroy(set);
}

}  // namespace
