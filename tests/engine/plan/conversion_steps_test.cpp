// The host calls of one conversion in the engine's order, against a scripted
// engine: what is chosen before the first pass and again before the second,
// the crop found or checked, a size checked and shared over two passes, and
// what is said when the engine or the source refuses.
#include "conversion_steps.h"
#include "recording_engine.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using testing_support::RecordingEngine;
using vobcast::plan::ConversionChoices;
using vobcast::plan::ConversionSteps;
using Outcome = ConversionSteps::Outcome;

const std::vector<std::string> kChoices = {"ChooseSource 2 1", "ChooseAngle 2", "ChoosePictures 1 0",
                                           "ChooseSubtitles 3 1", "ChooseCrop 0 0 0 0"};

ConversionChoices Title() {
    ConversionChoices c;
    c.title = 2;
    c.angle = 2;
    c.audioStream = 1;
    c.subtitleStream = 3;
    c.forcedSubtitles = true;
    c.deinterlace = 1;
    return c;
}

// The title to a size, of a source the engine says lasts seconds.
ConversionChoices Sized(RecordingEngine& engine, double seconds, double mb) {
    engine.described.seconds = seconds;
    ConversionChoices c = Title();
    c.sizeMB = mb;
    return c;
}

TEST(ConversionSteps, OnePassChoosesOnceAndWritesTheFile) {
    RecordingEngine engine(false);
    ConversionSteps steps(engine, "/media/cdrom0", Title());
    const auto prepared = steps.Prepare();
    EXPECT_EQ(prepared.outcome, Outcome::Ready);
    EXPECT_EQ(engine.calls, kChoices);
    EXPECT_EQ(steps.Passes(), 1);
    std::string problem;
    EXPECT_EQ(steps.BeginPass(1, "out.avi", problem), "out.avi");
    EXPECT_EQ(problem, "");
    EXPECT_EQ(engine.calls.size(), kChoices.size());  // no size, no second choice
    EXPECT_EQ(steps.Percent(1, 37), 37);
}

TEST(ConversionSteps, ASizeIsCheckedAndSharedOverTwoPasses) {
    RecordingEngine engine(false);
    ConversionChoices c = Sized(engine, 7200, 700);
    ConversionSteps steps(engine, "/media/cdrom0", c);
    ASSERT_EQ(steps.Prepare().outcome, Outcome::Ready);
    EXPECT_EQ(steps.SizeKbps(), 636);  // (700e6 - 16384) * 8 / 1000 / 7200 - 142, rounded
    ASSERT_EQ(steps.Passes(), 2);
    std::string problem;
    EXPECT_EQ(steps.BeginPass(1, "out.avi", problem), "/dev/null");
    EXPECT_EQ(engine.calls.back(), "ChooseSize 1 0");
    engine.calls.clear();
    EXPECT_EQ(steps.BeginPass(2, "out.avi", problem), "out.avi");
    // The engine forgets its choices when a pass ends: they are made again.
    std::vector<std::string> second = kChoices;
    second.push_back("ChooseSize 2 700000000");
    EXPECT_EQ(engine.calls, second);
    EXPECT_EQ(steps.Percent(1, 0), 0);
    EXPECT_EQ(steps.Percent(1, 50), 20);
    EXPECT_EQ(steps.Percent(2, 0), 40);
    EXPECT_EQ(steps.Percent(2, 50), 70);
    EXPECT_EQ(steps.Percent(2, 100), 100);

    // A length not known: nothing to say before coding, and no rate to share.
    engine.described.seconds = 0;
    ConversionSteps unknown(engine, "/media/cdrom0", c);
    EXPECT_EQ(unknown.Prepare().outcome, Outcome::Ready);
    EXPECT_EQ(unknown.SizeKbps(), 0);

    engine.described.seconds = 7200;
    c.sizeMB = 100;
    ConversionSteps small(engine, "/media/cdrom0", c);
    const auto refused = small.Prepare();
    EXPECT_EQ(refused.outcome, Outcome::Refused);
    EXPECT_EQ(refused.text, "100 MB is too small for its 7200 seconds: the video would get 0 kbit/s, and needs at "
                            "least 150; the smallest size that works is 263 MB");
}

TEST(ConversionSteps, TheCropIsFoundAndChosenOrCheckedAgainstThePictures) {
    RecordingEngine engine(false);
    engine.crop_found = true;
    engine.found_crop = {60, 62, 0, 0, 720, 480, 24};
    ConversionChoices c = Title();
    c.cropAuto = true;
    ConversionSteps found(engine, "film.vob", c);
    EXPECT_EQ(found.Prepare().outcome, Outcome::Ready);
    EXPECT_TRUE(found.CropFound());
    EXPECT_EQ(engine.calls.back(), "ChooseCrop 60 62 0 0");

    engine.crop_found = false;
    const auto none = ConversionSteps(engine, "film.vob", c).Prepare();
    EXPECT_EQ(none.outcome, Outcome::Ready);
    EXPECT_EQ(none.note, "film.vob: no picture could be decoded to find black bars; the pictures stay whole");
    EXPECT_EQ(engine.calls.back(), "ChooseCrop 0 0 0 0");

    // By hand: at least 16 rows and columns must stay of 720x480.
    engine.crop_found = true;
    c.cropAuto = false;
    c.crop = {240, 226, 0, 0};
    const auto tooMuch = ConversionSteps(engine, "film.vob", c).Prepare();
    EXPECT_EQ(tooMuch.outcome, Outcome::Refused);
    EXPECT_EQ(tooMuch.text, "--crop cuts more than its 720x480 pictures leave (at least 16 rows and columns must stay)");
    c.crop = {240, 224, 0, 0};
    EXPECT_EQ(ConversionSteps(engine, "film.vob", c).Prepare().outcome, Outcome::Ready);
}

TEST(ConversionSteps, WhatTheEngineWillNotTakeIsNamed) {
    const struct {
        const char* refused;
        const char* text;
    } cases[] = {
        {"ChooseSource", "title 2 or audio stream 1 can't be chosen"},
        {"ChooseAngle", "angle 2 can't be chosen"},
        {"ChoosePictures", "the engine can't be told how to make the pictures progressive"},
        {"ChooseSubtitles", "subpicture stream 3 can't be chosen"},
        {"ChooseCrop", "the crop can't be chosen"},
    };
    for (const auto& c : cases) {
        RecordingEngine engine(false);
        engine.refused = c.refused;
        const auto prepared = ConversionSteps(engine, "film.vob", Title()).Prepare();
        EXPECT_EQ(prepared.outcome, Outcome::CantAsk) << c.refused;
        EXPECT_EQ(prepared.text, c.text);
    }
    RecordingEngine engine(false);
    ConversionSteps steps(engine, "film.vob", Sized(engine, 600, 100));
    ASSERT_EQ(steps.Prepare().outcome, Outcome::Ready);
    engine.refused = "ChooseSize";
    std::string problem;
    EXPECT_EQ(steps.BeginPass(1, "out.avi", problem), "");
    EXPECT_EQ(problem, "the engine can't be told the size's pass 1");
}

} // namespace
