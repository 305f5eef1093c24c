// The DVD drive scan on generated VIDEO_TS folders presented as drives, and
// the device events that start it again.
#include "main_frame_fixture.h"

#include "platform/sysinfo/device_monitor.h"
#include "qt_wait.h"

#include <QTimer>

#include <filesystem>

namespace {

namespace fs = std::filesystem;
using testing_support::MakeFile;
using testing_support::TempFolder;

constexpr double kDvd = 4.7e9;
constexpr double kGiB = 1024.0 * 1024 * 1024;

// A DVD's video folder with the files of two title sets.
fs::path MakeDisc(const fs::path& root) {
    // Made out of order: the listing must not depend on it.
    for (const char* name : {"VTS_02_1.VOB", "VTS_01_2.VOB", "VIDEO_TS.IFO", "VTS_01_1.VOB", "VTS_02_0.VOB", "VIDEO_TS.VOB",
                             "VTS_01_0.IFO", "VTS_01_0.VOB"}) {
        MakeFile(root / "VIDEO_TS" / name);
    }
    fs::create_directories(root / "AUDIO_TS");
    return root;
}

// The title VOBs of a disc made by MakeDisc, in name order.
std::vector<std::string> TitleVobs(const fs::path& root) {
    const std::string v = (root / "VIDEO_TS").string() + "/";
    return {v + "VTS_01_1.VOB", v + "VTS_01_2.VOB", v + "VTS_02_0.VOB", v + "VTS_02_1.VOB"};
}

class DriveScan : public MainFrameTest {
protected:
    std::vector<std::string> Entries() {
        std::vector<std::string> entries;
        for (int i = 1; i <= frame.List.GetListCount(); ++i) entries.push_back(frame.List.FileList[i]);
        return entries;
    }

    TempFolder discs;
};

// A CD and a removable stick are no DVD; a disc of exactly one gibibyte is,
// and without VOB files still asks for Start.
TEST_F(DriveScan, OnlyADvdSizedDiscIsScanned) {
    EXPECT_EQ(frame.Processing->Text(), "Insert DVD...") << "the start-up scan";
    drives->Plug(discs / "cd", shell::DRIVE_CDROM, 700e6);
    MakeDisc(discs.path() / "cd");
    drives->Plug(discs / "stick", shell::DRIVE_REMOVABLE, 16e9);
    MakeDisc(discs.path() / "stick");
    frame.ListVobInDVDRom();
    EXPECT_EQ(frame.List.GetListCount(), 0);
    EXPECT_EQ(frame.Processing->Text(), "Insert DVD...");

    fs::create_directories(discs.path() / "data");
    drives->Plug(discs / "data", shell::DRIVE_CDROM, kGiB);
    frame.ListVobInDVDRom();
    EXPECT_EQ(frame.List.GetListCount(), 0);
    EXPECT_EQ(frame.Processing->Text(), "Press Start...");
}

// Each DVD's title VOBs in name order, the drives in drive order.
TEST_F(DriveScan, DvdsListTheirTitleVobsInNameOrder) {
    const fs::path first = MakeDisc(discs.path() / "d");
    drives->Plug(first.string(), shell::DRIVE_CDROM, kDvd);
    frame.ListVobInDVDRom();
    EXPECT_EQ(Entries(), TitleVobs(first));
    EXPECT_EQ(frame.ListButton[4]->Caption(), Entries()[3]);
    EXPECT_EQ(frame.Processing->Text(), "Press Start...");

    const fs::path second = MakeDisc(discs.path() / "e");
    drives->Plug(second.string(), shell::DRIVE_CDROM, kDvd);
    frame.List.ClearMenu_Click();  // as a device event does before its scan
    frame.ListVobInDVDRom();
    std::vector<std::string> expected = TitleVobs(first);
    for (const std::string& p : TitleVobs(second)) expected.push_back(p);
    EXPECT_EQ(Entries(), expected);
    EXPECT_EQ(frame.ScrollBar->Range(), 1);
}

TEST_F(DriveScan, DeviceEventsEmptyAndRescanTheList) {
    const fs::path disc = MakeDisc(discs.path() / "dvd");
    Fill(3, "/old/VTS_");
    drives->Plug(disc.string(), shell::DRIVE_CDROM, kDvd);
    sysinfo::DeviceMonitor::PlugFakeDevice();
    ASSERT_TRUE(testing_support::WaitUntil([&] { return frame.Processing->Text() == "Press Start..."; }));
    EXPECT_EQ(Entries(), TitleVobs(disc));

    drives->Unplug(disc.string());
    sysinfo::DeviceMonitor::UnplugFakeDevice();
    ASSERT_TRUE(testing_support::WaitUntil([&] { return frame.List.GetListCount() == 0; }));
    EXPECT_EQ(frame.Processing->Text(), "Insert DVD...");
    EXPECT_EQ(frame.ListButton[1]->Caption(), "");
}

TEST_F(DriveScan, AnEventDuringAScanWaitsAndRunsOnceAfterIt) {
    const fs::path disc = MakeDisc(discs.path() / "dvd");
    drives->Plug(disc.string(), shell::DRIVE_CDROM, kDvd);
    int arrivals_inside = 0;
    QTimer::singleShot(0, [&] {  // at the scan's first yield
        ++arrivals_inside;
        const std::vector<std::string> before = Entries();
        frame.SysInfo1_DeviceArrival();
        frame.SysInfo1_DeviceRemoveComplete();
        frame.SysInfo1_DeviceArrival();
        EXPECT_EQ(Entries(), before) << "the running scan goes on undisturbed";
    });
    frame.ListVobInDVDRom();
    EXPECT_EQ(arrivals_inside, 1);
    EXPECT_EQ(Entries(), TitleVobs(disc)) << "one rescan, no entry twice, no gap";
    EXPECT_EQ(frame.Processing->Text(), "Press Start...");
}

} // namespace
