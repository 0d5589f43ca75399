#include "app/capture/CapturePlan.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct Parsed {
    CaptureCommand command;
    CaptureOptions options;
    std::string error;
};

Parsed parse(std::vector<const char*> args) {
    args.insert(args.begin(), "ThawlineCapture.exe");
    Parsed parsed;
    char error[256] = "";
    parsed.command = parseCaptureOptions(int(args.size()), args.data(), parsed.options, error, sizeof error);
    parsed.error = error;
    return parsed;
}

TEST(CapturePlan, WholeShowAtTheDefaultsEndsBeforeTheShowsEndTime) {
    const Parsed parsed = parse({});
    ASSERT_EQ(parsed.command, CaptureCommand::Run) << parsed.error;
    EXPECT_EQ(parsed.options.width, 1920);
    EXPECT_EQ(parsed.options.height, 1080);
    const CapturePlan plan = planCapture(parsed.options);
    // 2794 / 60 = 46.5667 is the last time below 46.57.
    EXPECT_EQ(plan.renderedFrames, 2795u);
    EXPECT_EQ(plan.firstWritten, 0u);
    EXPECT_EQ(plan.writtenFrames, 2795u);
    EXPECT_EQ(plan.firstSoundFrame, 0u);
    EXPECT_EQ(plan.soundFrames, 2795u * 735u);
}

TEST(CapturePlan, SpanHoldsSpanTimesFpsFramesAndAllEarlierFramesAreRendered) {
    const Parsed parsed = parse({"--size", "128x72", "--fps", "24", "--from", "17", "--to", "17.5"});
    ASSERT_EQ(parsed.command, CaptureCommand::Run) << parsed.error;
    const CapturePlan plan = planCapture(parsed.options);
    EXPECT_EQ(plan.firstWritten, 408u);
    EXPECT_EQ(plan.writtenFrames, 12u);
    EXPECT_EQ(plan.renderedFrames, 420u);
    EXPECT_EQ(plan.firstSoundFrame, 17u * 44100u);
    EXPECT_EQ(plan.soundFrames, 22050u);

    // 44,100 / 7 is whole (6,300 sound frames a picture): the sound lasts
    // exactly as long as the pictures.
    const CapturePlan odd = planCapture(parse({"--fps", "7", "--from", "1", "--to", "2"}).options);
    EXPECT_EQ(odd.writtenFrames, 7u);
    EXPECT_EQ(odd.soundFrames, 44100u);
    const CapturePlan tail = planCapture(parse({"--fps", "7", "--from", "0.5"}).options);
    EXPECT_EQ(tail.firstWritten, 4u);                 // 4/7 s is the first time at or after 0.5 s
    EXPECT_EQ(tail.firstSoundFrame, 25200u);          // 4 * 44100 / 7
    EXPECT_EQ(tail.renderedFrames, 326u);             // 325 / 7 = 46.43; 326 / 7 = 46.57 exactly

    // 44,100 / 48 = 918.75 and 44,100 / 240 = 183.75 are not whole: sound
    // edges round to the nearest frame, up where the fraction is .75.
    const CapturePlan at48 = planCapture(parse({"--fps", "48", "--from", "0.02", "--to", "0.1"}).options);
    EXPECT_EQ(at48.firstWritten, 1u);
    EXPECT_EQ(at48.writtenFrames, 4u);
    EXPECT_EQ(at48.firstSoundFrame, 919u);            // 918.75
    EXPECT_EQ(at48.soundFrames, 4594u - 919u);        // 5 x 918.75 = 4593.75
    const CapturePlan at240 = planCapture(parse({"--fps", "240", "--from", "0", "--to", "0.004"}).options);
    EXPECT_EQ(at240.writtenFrames, 1u);
    EXPECT_EQ(at240.soundFrames, 184u);               // 183.75
}

TEST(CapturePlan, FrameTimesAreExactFractionsRoundedToFloat) {
    EXPECT_EQ(captureFrameTime(0, 60), 0.0f);
    EXPECT_EQ(captureFrameTime(3, 60), static_cast<float>(0.05));
    EXPECT_EQ(captureFrameTime(2794, 60), static_cast<float>(2794.0 / 60.0));
    EXPECT_EQ(captureFrameStep(60), static_cast<float>(1.0 / 60.0));
    EXPECT_FALSE(showHasEnded(captureFrameTime(2794, 60)));
    EXPECT_TRUE(showHasEnded(captureFrameTime(2795, 60)));
}

TEST(CapturePlan, BadOptionsGiveOneLineReasons) {
    const std::vector<std::vector<const char*>> bad = {
        {"--size", "1280"},       {"--size", "x720"},        {"--size", "8x8"},         {"--size", "1281x720"},
        {"--size", "99999x720"},  {"--size", "-2x720"},      {"--fps", "0"},            {"--fps", "-5"},
        {"--fps", "29.97"},       {"--fps", "1000"},         {"--from", "10", "--to", "5"},
        {"--from", "3", "--to", "3"}, {"--from", "-1"},      {"--to", "50"},            {"--from", "abc"},
        {"--from", "1.001", "--to", "1.002"},                {"--fps"},                 {"--colour", "red"},
        {"--sound", "--describe"}, {"--sound", "-h"}};
    for (const auto& args : bad) {
        const Parsed parsed = parse(args);
        std::string joined;
        for (const char* a : args) joined += std::string(a) + " ";
        EXPECT_EQ(parsed.command, CaptureCommand::Error) << joined;
        EXPECT_FALSE(parsed.error.empty()) << joined;
        EXPECT_EQ(parsed.error.find('\n'), std::string::npos) << joined;
    }
    EXPECT_EQ(parse({"--from", "5", "--help"}).command, CaptureCommand::Help);
    EXPECT_EQ(parse({"--size", "16x16", "--to", "46.57"}).command, CaptureCommand::Run);
}

// A start past the end is outside the show, whatever the default end is.
TEST(CapturePlan, AStartPastTheShowIsOutsideIt) {
    EXPECT_NE(parse({"--from", "50"}).error.find("--from 50 lies outside the show"), std::string::npos);
    EXPECT_NE(parse({"--from", "46.57"}).error.find("outside the show"), std::string::npos);
}

}  // namespace
