#include "main_frame.h"

#include "settings_store.h"

#include "platform/shell/folders.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>

namespace {

// The local paths a drag carries; empty when any of it is not a local file.
std::vector<std::string> DraggedPaths(const QMimeData* data) {
    std::vector<std::string> paths;
    if (data == nullptr || !data->hasUrls()) return paths;
    for (const QUrl& url : data->urls()) {
        if (!url.isLocalFile()) return {};
        paths.push_back(url.toLocalFile().toStdString());
    }
    return paths;
}

} // namespace

MainFrame::MainFrame()
    : SysInfo1({[this] { SysInfo1_DeviceArrival(); }, [this] { SysInfo1_DeviceRemoveComplete(); }}) {
    setWindowTitle("DVD");
    MenuBar[0] = {{"ClearMenu", "Clear List", [this] { List.ClearMenu_Click(); }},
                  {"DeleteMenu", "Delete Item", [this] { List.DeleteMenu_Click(); }},
                  {"Separator1", "-", nullptr},
                  {"CancelMenu1", "Cancel", nullptr}};
    MenuBar[1] = {{"OpenFile", "Open File", [this] { OpenFile_Click(); }, "Ctrl+O"},
                  {"ImportFile", "Import File", [this] { ImportFile_Click(); }, "Ctrl+I"},
                  {"Separator2", "-", nullptr},
                  {"CancelMenu2", "Cancel", nullptr}};
    MenuBar[2] = {{"AboutMenu", "About", [this] { AboutMenu_Click(); }}, {"Separator3", "-", nullptr}, {"CancelMenu3", "Cancel", nullptr}};
    MenuBar[3] = {{"OpenMenu", "Open DVD", [this] { OpenMenu_Click(); }},
                  {"Separator4", "-", nullptr},
                  {"CancelMenu4", "Cancel", nullptr},
                  {"ExitMenu", "Exit", [this] { ExitMenu_Click(); }, "Ctrl+Q"}};
    Timer1.setInterval(1000);
    connect(&Timer1, &QTimer::timeout, this, [this] { Timer1_Timer(); });
    trayWatch_.setInterval(1000);
    connect(&trayWatch_, &QTimer::timeout, this, [this] {
        if (!isHidden()) trayWatch_.stop();
        else if (!Tray.ICONSHOWN(Handle())) OpenMenu_Click();
    });
    search_.SetTitleLister({[this]() -> std::optional<vobcast::plan::TrackWish> {
                                const TitleSettings titles = settings_.TitleChoice();
                                if (!titles.wholeTitles) return std::nullopt;
                                return Wish(titles);
                            },
                            [this](const std::string& path, std::string& error) { return Engine->ReadDisc(path, error); }});
    setAcceptDrops(true);
    BindShortcuts();
    Image1 = QIcon(QString::fromStdString(shell::ProgramFolder() + "/icon/marbleway.ico"));
    ShowIcon(Image1, {});
    Skin.events.MouseUp = [this](skin::Object& o, int button, int shift, int x, int y) { Skin_MouseUp(o, button, shift, x, y); };
    Skin.events.Click = [this](skin::Object& o) { Skin_Click(o); };
    Skin.events.KeyDown = [this](skin::Object& o, int key, int shift) { Skin_KeyDown(o, key, shift); };
    Skin.events.Scroll = [this](skin::Object& o, std::int32_t p) { Skin_Scroll(o, p); };
    Skin.events.ScrollTrack = [this](skin::Object& o, std::int32_t p) { Skin_ScrollTrack(o, p); };
}

// A window destroyed without being closed still leaves no conversion behind.
MainFrame::~MainFrame() { Form_QueryUnload(); }

std::uintptr_t MainFrame::Handle() const { return static_cast<std::uintptr_t>(winId()); }

RunWindow::Controls MainFrame::RunControls() { return {StartCompress, StopCompress, ScrollBar, &ListButton}; }

void MainFrame::ShowIcon(const QIcon& icon, std::string file) {
    CurrentIcon = icon;
    CurrentIconFile = std::move(file);
    setWindowIcon(CurrentIcon);
}

std::uintptr_t MainFrame::IconHandle() const { return reinterpret_cast<std::uintptr_t>(&CurrentIcon); }

std::string MainFrame::OutputFolder() const { return ReadIniValue("SavePath", "PathName"); }

vobcast::plan::ConversionChoices MainFrame::TitleChoices() const {
    const TitleSettings titles = settings_.TitleChoice();
    vobcast::plan::ConversionChoices choices;
    choices.sizeMB = titles.sizeMB;
    choices.cropAuto = titles.cropBlackBars;
    return choices;
}

// What the list can't take is refused with the cursor, before the drop.
void MainFrame::dragEnterEvent(QDragEnterEvent* event) {
    if (Droppable(DraggedPaths(event->mimeData()))) event->acceptProposedAction();
}

void MainFrame::dragMoveEvent(QDragMoveEvent* event) {
    if (Droppable(DraggedPaths(event->mimeData()))) event->acceptProposedAction();
}

void MainFrame::dropEvent(QDropEvent* event) {
    const std::vector<std::string> paths = DraggedPaths(event->mimeData());
    if (!Droppable(paths)) return;
    event->acceptProposedAction();
    DropFiles(paths);
}
