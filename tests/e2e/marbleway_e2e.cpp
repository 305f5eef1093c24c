// Marbleway whole, as a user meets it: the program's own start-up and message
// loop, a generated DVD in a drive, a fresh configuration folder, and a user
// (this script) who clicks, answers the dialogs and ends the program.
//
//   marbleway-e2e WORK    Settings -> Browse -> Ok, Start, every title converts,
//                         "Complete!", to the notification area, Exit from its menu.
// Exits 0 when the program ended with 0 and every check held.
#include "app/shell/main_frame.h"
#include "app/shell/settings_store.h"
#include "app/shell/startup.h"
#include "platform/shell/drives.h"
#include "platform/sysinfo/device_monitor.h"
#include "platform/systray/systray.h"
#include "qt_wait.h"
#include "sync_marks.h"
#include "test_media.h"

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QLineEdit>
#include <QTest>
#include <QTimer>
#include <QWindow>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

std::vector<std::string> failures;

void Check(bool ok, const std::string& what) {
    std::printf("%s %s\n", ok ? "ok  " : "FAIL", what.c_str());
    if (!ok) failures.push_back(what);
}

// The user's next steps, one at a time from the program's own event loop.
class User {
public:
    using Step = std::function<bool()>;  // true when done; false to try again shortly
    void Then(Step step) { steps_.push_back(std::move(step)); }
    void Start() {
        timer_.setInterval(50);
        QObject::connect(&timer_, &QTimer::timeout, [this] { Next(); });
        clock_.start();
        timer_.start();
    }

private:
    void Next() {
        if (busy_ || steps_.empty()) return;
        if (clock_.elapsed() > 120000) {
            Check(false, "the program got through in time (stuck at step " + std::to_string(done_ + 1) + ")");
            steps_.clear();
            QApplication::exit(3);
            return;
        }
        busy_ = true;  // a step may open a modal dialog that runs this loop again
        const bool finished = steps_.front()();
        busy_ = false;
        if (finished) {
            steps_.erase(steps_.begin());
            ++done_;
        }
    }
    std::vector<Step> steps_;
    QTimer timer_;
    QElapsedTimer clock_;
    bool busy_ = false;
    int done_ = 0;
};

void Click(MainFrame& frame, const char* name) {
    const skin::Object* o = frame.Skin.GetSkinWindow(frame.Handle())->FindObject(name);
    const skin::Rect r = o->GetRect();
    QTest::mouseClick(frame.findChild<QWidget*>("skin-surface"), Qt::LeftButton, {},
                      QPoint((r.left + r.right) / 2, (r.top + r.bottom) / 2));
}

void ChooseDivX() {
    testing_support::WhenShows<QDialog>([](QDialog& d) {
        auto* list = d.findChild<QComboBox*>("compressor");
        if (d.windowTitle() != "Video Compression" || list == nullptr) return false;
        list->setCurrentIndex(1);  // "MPEG-4 Part 2 (DivX compatible)"
        d.accept();
        return true;
    });
}

// The files below folder that this process still holds open.
std::vector<std::string> OpenFilesUnder(const fs::path& folder) {
    std::vector<std::string> open;
    const std::string prefix = fs::canonical(folder).string() + "/";
    std::error_code ec;
    for (const auto& fd : fs::directory_iterator("/proc/self/fd", ec)) {
        const fs::path target = fs::read_symlink(fd.path(), ec);
        if (!ec && target.string().starts_with(prefix)) open.push_back(target.string());
    }
    return open;
}

// A DVD: the menus, two title sets, an IFO, as a disc in a drive.
fs::path MakeDisc(const fs::path& root) {
    fs::create_directories(root / "VIDEO_TS");
    fs::create_directories(root / "AUDIO_TS");
    const std::string small = testing_media::MediaPath("pal.vob");
    fs::copy_file(small, root / "VIDEO_TS/VIDEO_TS.VOB");
    fs::copy_file(small, root / "VIDEO_TS/VTS_01_0.VOB");
    fs::copy_file(testing_media::MediaPath("ntsc.vob"), root / "VIDEO_TS/VTS_01_1.VOB");
    fs::copy_file(small, root / "VIDEO_TS/VTS_02_1.VOB");
    std::ofstream(root / "VIDEO_TS/VIDEO_TS.IFO") << "DVDVIDEO-VMG";
    return root;
}

void Convert(User& user, MainFrame& frame, const fs::path& out) {
    user.Then([&frame] {
        Check(frame.windowTitle() == "DVD", "the window is titled \"DVD\"");
        const QList<QSize> sizes = frame.windowIcon().availableSizes();
        Check(sizes.contains(QSize(16, 16)) && sizes.contains(QSize(32, 32)) && sizes.contains(QSize(48, 48)),
              "the program icon comes in 16, 32 and 48 pixels");
        Check(frame.List.GetListCount() == 2, "the list shows the two title VOBs");
        Check(frame.Processing->Text() == "Press Start...", "the status line says \"Press Start...\"");
        return true;
    });
    user.Then([&frame, out] {
        Click(frame, "Settings");
        testing_support::WhenShows<QDialog>([out](QDialog& d) {
            auto* dialog = qobject_cast<QFileDialog*>(&d);
            if (dialog == nullptr) return false;
            dialog->findChild<QLineEdit*>("fileNameEdit")->setText(QString::fromStdString(out.string()));
            d.accept();
            return true;
        });
        Click(frame, "Browse");
        Check(frame.SavePath->Text() == out.string() + "/", "Browse shows the chosen folder");
        Click(frame, "Ok");
        Check(ReadIniValue("SavePath", "PathName") == out.string() + "/", "Ok stores it in DVD.ini");
        return true;
    });
    user.Then([&frame] {
        ChooseDivX();
        Click(frame, "StartCompress");
        return true;
    });
    user.Then([&frame] { return frame.Processing->Text() == "Complete!"; });
    user.Then([&frame, out] {
        for (const char* name : {"VTS_01_1.avi", "VTS_02_1.avi"}) {
            const testing_media::Marks avi = testing_media::MarksByGStreamer((out / name).string());
            Check(avi.ok && avi.videoFrames > 0, std::string(name) + " plays (" + std::to_string(avi.videoFrames) + " frames)");
        }
        Check(!fs::exists(out / "VIDEO_TS.avi") && !fs::exists(out / "VTS_01_0.avi"), "the menus are not converted");
        Check(frame.List.CurrentIndex == 0, "the run is over");
        Click(frame, "BackGround");
        // This desktop has no notification area: the window is not hidden where
        // nothing could bring it back.
        Check(frame.isVisible() && frame.isMinimized(), "BackGround minimises the window");
        skin::SetPopupMenuHook([](const skin::Menu& menu, int, int) {
            for (std::size_t i = 0; i < menu.size(); ++i) {
                if (menu[i].name == "ExitMenu") return static_cast<int>(i);
            }
            return -1;
        });
        QCoreApplication::postEvent(&frame, new TrayNotifyEvent(0x204));  // right click on the icon
        return true;
    });
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: marbleway-e2e WORK\n");
        return 2;
    }
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    const fs::path work = argv[1];
    fs::remove_all(work);
    fs::create_directories(work / "out");
    setenv("XDG_CONFIG_HOME", (work / "config").c_str(), 1);

    const fs::path disc = MakeDisc(work / "cdrom");
    // The drive is this one alone: a disc that another test mounts meanwhile
    // would empty the list (a removal) and rescan it in the middle of the run,
    // and the status line would skip "Complete!".
    sysinfo::DeviceMonitor::WatchMachine(false);
    auto drives = std::make_shared<shell::FakeDrives>();
    drives->Plug(disc.string(), shell::DRIVE_CDROM, 4.7e9);
    shell::SetDriveProvider(drives);

    User user;
    std::vector<std::string> tray;
    int program_argc = 1;
    const int status = RunMarbleway(program_argc, argv, [&](MainFrame& frame) {
        frame.Tray.observer = [&tray](const std::string& fn, const std::string&) { tray.push_back(fn); };
        // A user clicks once the window is on the screen.
        user.Then([&frame] { return frame.windowHandle() != nullptr && frame.windowHandle()->isExposed(); });
        Convert(user, frame, work / "out");
        user.Start();
    });
    Check(OpenFilesUnder(work / "out").empty() && OpenFilesUnder(disc).empty(),
          "no VOB or AVI file is left open (" + std::to_string(OpenFilesUnder(work / "out").size() + OpenFilesUnder(disc).size()) + ")");
    Check(status == 0, "the program ended with status 0 (it said " + std::to_string(status) + ")");
    Check(fs::is_regular_file(work / "config/Marbleway/DVD.ini"), "DVD.ini was made in the fresh configuration folder");
    Check(std::count(tray.begin(), tray.end(), "ADDICON") == 1, "the notification-area icon was added");
    Check(!tray.empty() && tray.back() == "DELETEICON", "Exit removed it");
    std::printf("%zu checks failed\n", failures.size());
    return failures.empty() ? 0 : 1;
}
