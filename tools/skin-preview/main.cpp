// Draws Marbleway's main window with sample entries into a PNG, for skin
// authors and the README:
//   skin-preview [--settings] [--entries N] [--titles] [--running] [--menu N] [--splash] OUT.png
// --titles lists a disc's titles, as the list does with whole titles on.
// --menu opens popup menu N (0 list, 1 file, 2 about) on row 2 and takes the
// whole screen, so it needs a real display (Xvfb). --splash draws the About
// window instead.
#include "app/shell/main_frame.h"
#include "app/shell/splash.h"

#include <QApplication>
#include <QMenu>
#include <QPixmap>
#include <QScreen>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    bool settings = false;
    bool running = false;
    bool splash = false;
    bool titles = false;
    int entries = 9;
    int menu = -1;
    const char* out = nullptr;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--settings") == 0) settings = true;
        else if (std::strcmp(argv[i], "--running") == 0) running = true;
        else if (std::strcmp(argv[i], "--splash") == 0) splash = true;
        else if (std::strcmp(argv[i], "--titles") == 0) titles = true;
        else if (std::strcmp(argv[i], "--entries") == 0 && i + 1 < argc) entries = std::atoi(argv[++i]);
        else if (std::strcmp(argv[i], "--menu") == 0 && i + 1 < argc) menu = std::atoi(argv[++i]);
        else out = argv[i];
    }
    if (out == nullptr) {
        std::fprintf(stderr, "usage: skin-preview [--settings] [--entries N] [--titles] [--running] [--menu N] [--splash] OUT.png\n");
        return 2;
    }
    MainFrame frame;
    try {
        frame.LoadSkin();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    SourceList& list = frame.List;
    if (titles) {
        // A film, its making-of and two extras, German sound wished.
        const char* rows[][3] = {{"1", "1:52:03", "  main film"}, {"2", "0:24:10", ""}, {"4", "0:08:41", "  no de sound: 1 en (AC-3, 2 ch)"}, {"5", "0:03:12", ""}};
        entries = 0;
        for (const auto& r : rows) {
            SourceEntry e{"/media/cdrom0", std::atoi(r[0])};
            e.name = std::string("MY_FILM  title 0") + r[0] + "  " + r[1] + (e.title == 1 ? "  main film" : "");
            e.caption = std::string("MY_FILM  title 0") + r[0] + "  " + r[1] + r[2];
            e.aviName = std::string("MY_FILM title 0") + r[0] + ".avi";
            e.audioTracks = {{0, "1 en (AC-3, 6 ch)"}, {1, "2 de (AC-3, 6 ch)"}, {2, "3 en (AC-3, 2 ch)"}};
            e.subtitleTracks = {{0, "1 en"}, {1, "2 de"}, {2, "3 fr"}};
            e.audioStream = 1;
            e.subtitleStream = 0;
            list.FileList.Set(++entries, std::move(e));
        }
    }
    for (int i = 1; i <= entries && !titles; ++i) {
        const int title = (i - 1) / 3 + 1;
        const int part = (i - 1) % 3 + 1;
        list.FileList.Set(i, "/media/cdrom0/VIDEO_TS/VTS_0" + std::to_string(title) + "_" + std::to_string(part) + ".VOB");
    }
    frame.ScrollBar->SetRange(std::max(0, entries - 7));
    frame.ScrollBar->SetVisible(entries > 7);
    if (running) {
        list.CurrentIndex = 2;
        frame.StartCompress->SetDisabled(true);
        frame.StopCompress->SetDisabled(false);
        list.SetStatus("Progressing:42%");
    } else {
        list.SetStatus(entries > 0 ? "Press Start..." : "Insert DVD...");
    }
    list.ScrollBarChanged(0);
    if (settings) {
        frame.SwitchInterface("Settings");
        frame.SavePath->SetText("/home/ada/Videos/");
        TitleSettings titles;
        titles.wholeTitles = true;
        titles.audioLanguage = "de";
        titles.subtitles = TitleSettings::Subtitles::Language;
        titles.subtitleLanguage = "en";
        titles.sizeMB = 700;
        frame.Settings().Titles().Show(titles);
    }
    frame.move(40, 40);
    frame.show();
    QApplication::processEvents();
    if (menu >= 0) {
        bool saved = false;
        QTimer::singleShot(500, [&] {
            saved = QApplication::primaryScreen()->grabWindow(0).copy(0, 0, 520, 320).save(out);
            if (QWidget* popup = QApplication::activePopupWidget()) popup->close();
        });
        const skin::Rect row = frame.ListButton[2]->GetRect();
        QCursor::setPos(frame.mapToGlobal(QPoint(row.left + 60, (row.top + row.bottom) / 2)));
        list.SelectedRow = 2;  // the row the pointer is on
        frame.SetSkinPopupMenu(static_cast<std::int16_t>(menu));
        return saved ? 0 : 1;
    }
    QWidget* shown = &frame;
    std::unique_ptr<Splash> about;
    if (splash) {
        about = std::make_unique<Splash>(frame);
        try {
            about->Form_Load();
        } catch (const std::exception& e) {
            std::fprintf(stderr, "%s\n", e.what());
            return 1;
        }
        about->show();
        QApplication::processEvents();
        shown = about.get();
    }
    if (!shown->grab().save(out)) {
        std::fprintf(stderr, "cannot write %s\n", out);
        return 1;
    }
    return 0;
}
