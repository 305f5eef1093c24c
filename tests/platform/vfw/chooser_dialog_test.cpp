// The compressor chooser as a user meets it: a real dialog in an offscreen
// QApplication, answered the way a user would.
#include "conversion_state.h"
#include "qt_wait.h"
#include "test_media.h"
#include "vobcast/vobcast.h"

#include "platform/ui/message_box.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QSpinBox>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <functional>

namespace {

// Answers the compressor chooser once it shows, from the dialog's own event loop.
void AnswerDialog(std::function<void(QDialog&)> answer) {
    testing_support::WhenShows<QDialog>([answer](QDialog& dialog) {
        EXPECT_EQ(dialog.windowTitle(), "Video Compression");
        answer(dialog);
        return true;
    });
}

class ChooserDialog : public ::testing::Test {
protected:
    void SetUp() override {
        ui::SetMessageSink([this](std::string_view t) { boxes.emplace_back(t); });
        dst = (std::filesystem::temp_directory_path() / ("chooser-" + std::to_string(::getpid()) + ".avi")).string();
    }
    void TearDown() override {
        ui::SetMessageSink(nullptr);
        std::filesystem::remove(dst);
    }
    std::vector<std::string> boxes;
    std::string dst;
};

TEST_F(ChooserDialog, ListsTheCompressorsAndPassesTheSettingsOn) {
    QWidget owner;
    owner.show();
    AnswerDialog([&owner](QDialog& d) {
        EXPECT_EQ(d.parentWidget(), &owner) << "the dialog belongs to the window DoInit was given";
        auto* list = d.findChild<QComboBox*>("compressor");
        ASSERT_NE(list, nullptr);
        EXPECT_EQ(list->itemText(0), "Full Frames (Uncompressed)");
        EXPECT_EQ(list->itemText(1), "MPEG-4 Part 2 (DivX compatible)");
        list->setCurrentIndex(1);
        d.findChild<QSpinBox*>("keyFrames")->setValue(15);
        d.accept();
    });
    ASSERT_EQ(DoInit(static_cast<uintptr_t>(owner.winId()), testing_media::MediaPath("ntsc.vob").c_str(), dst.c_str(), 0),
              0);
    EXPECT_STREQ(vobcast::State().compressorName, "MPEG-4 Part 2 (DivX compatible)");
    EXPECT_EQ(vobcast::State().compressorSettings.keyFrames, 15);
    EXPECT_EQ(vobcast::State().compressorSettings.dataRateKbps, 1800);
    EXPECT_TRUE(boxes.empty());
    DoUninit();
}

TEST_F(ChooserDialog, UncompressedFramesAndCancel) {
    AnswerDialog([](QDialog& d) {
        d.findChild<QComboBox*>("compressor")->setCurrentIndex(0);
        EXPECT_FALSE(d.findChild<QCheckBox*>("keyFrameEnabled")->isEnabled());
        d.accept();
    });
    EXPECT_EQ(DoInit(0, testing_media::MediaPath("ntsc.vob").c_str(), dst.c_str(), 0), VOBCAST_E_NO_COMPRESSOR);
    DoUninit();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].rfind("Warning : \nAn valid compressor must be chosen", 0), 0u);

    AnswerDialog([](QDialog& d) { d.reject(); });
    EXPECT_EQ(DoInit(0, testing_media::MediaPath("ntsc.vob").c_str(), dst.c_str(), 0), VOBCAST_E_NO_COMPRESSOR);
    DoUninit();
    EXPECT_EQ(boxes.size(), 1u) << "cancelling is not an error";
}

} // namespace

int main(int argc, char** argv) {
    // Listing the tests at build time runs this without a display too.
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
