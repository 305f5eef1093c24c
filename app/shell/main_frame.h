// MainFrame, the program's main window. It draws nothing of its own: its face
// is the skin "DVD" of dvd.skn, whose named objects it binds once and keeps.
// It owns the program's state (the source list, the engine, the tray icon, the
// timer and the bound skin objects) and answers every event by its named
// handler, which hands the work to the class that owns it: the conversion run,
// the source search, the settings panel.
#pragma once

#include "app/run/conversion_run.h"
#include "engine_calls.h"
#include "app/run/tray_icon.h"
#include "app/shell/settings_panel.h"
#include "app/sources/source_list.h"
#include "app/sources/source_search.h"
#include "platform/skin/skin.h"
#include "platform/sysinfo/device_monitor.h"

#include <QIcon>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class Splash;

class MainFrame : public QWidget, private RunWindow {
public:
    MainFrame();  // created hidden, titled "DVD"
    ~MainFrame() override;

    // The native window id, the handle the skin and the engine know it by.
    std::uintptr_t Handle() const override;

    // The load sequence, run once before the window is first shown: the skin,
    // then the settings file.
    void Form_Load();

    // Loads dvd.skn from the program folder, applies "DVD", binds the named
    // objects, shows the main panel and disables "StopCompress". Throws
    // skin::SkinError naming the file and the problem, a missing object too.
    void LoadSkin();

    // Shows the "Main" or the "Settings" panel by moving skin objects to their
    // fixed rectangles and parking the others above the window; any other
    // name does nothing.
    void SwitchInterface(std::string_view panel);

    // The clicked object's name, compared exactly, decides the command.
    void Skin_Click(skin::Object& source);
    void Skin_Scroll(skin::Object& source, std::int32_t position);
    void Skin_ScrollTrack(skin::Object& source, std::int32_t position);
    // A release on a row that shows an entry opens the list menu there.
    void Skin_MouseUp(skin::Object& source, int button, int shift, int x, int y);
    // Keys on the focused skin object: Down opens the Files menu; Up and Down
    // move along the list, Delete removes the focused row's entry.
    void Skin_KeyDown(skin::Object& source, int key, int shift);
    // The keys, in one line for the About window.
    static const char* KeyboardHelp();

    // Filling the list: the DVD drives, a folder, a single file, and what the
    // user drops on the window (VOB files are opened, one folder imported).
    void ListVobInDVDRom();
    void ImportFile_Click();
    void OpenFile_Click();
    void ImportFolder(std::string folder);
    void AddOpenedFile(const std::string& file_title, const std::string& file_name);
    // Whether paths make a drop the list takes: VOB files only, or one folder.
    static bool Droppable(const std::vector<std::string>& paths) { return SourceSearch::Droppable(paths); }
    void DropFiles(const std::vector<std::string>& paths);
    void fs_FindedFileInfo(const std::string& path);
    void SysInfo1_DeviceArrival();
    void SysInfo1_DeviceRemoveComplete();

    // The conversion run. A run is in progress exactly while "StopCompress"
    // is enabled.
    void StartRun();  // the Start command
    void StartCompress_Click(int slot, std::int16_t flag);
    void StopCompress_Click();  // the converting entry is complete
    void OnForceStop();         // the user's Stop
    std::string MakeAviPath(const std::string& path);
    void Timer1_Timer();
    bool Running() const;

    // The About item: hides this window and shows the Splash window.
    void AboutMenu_Click();
    // The Splash window while it is loaded; null otherwise.
    Splash* SplashWindow() const;

    // The notification area and closing.
    void SendToBackground();  // the "BackGround" command
    void Form_MouseMove(int message);
    void OpenMenu_Click();
    void ExitMenu_Click();
    void Form_QueryUnload();

    // Shows menu number position of the menu bar at the mouse pointer.
    void SetSkinPopupMenu(std::int16_t position);
    const skin::Menu& GetSubMenu(std::int16_t position) const { return MenuBar[static_cast<std::size_t>(position)]; }

    // The Settings panel, with the title settings in force.
    SettingsPanel& Settings() { return settings_; }

    skin::Skin Skin;
    SourceList List;
    std::unique_ptr<EngineCalls> Engine = std::make_unique<BoundEngine>();
    TrayIcon Tray;
    QTimer Timer1;             // 1000 ms; on exactly while an entry converts
    QIcon Image1;              // the program's own icon
    QIcon CurrentIcon;         // the icon the window shows now
    std::string CurrentIconFile;  // the file it came from; empty for Image1
    // LISTMENU, FILEMENU, the about menu and DVDMENU, used as popup menus.
    std::array<skin::Menu, 4> MenuBar;

    // Bound by LoadSkin; valid while the window lives.
    skin::Object* StartCompress = nullptr;
    skin::Object* StopCompress = nullptr;
    skin::Object* Processing = nullptr;
    skin::Object* ScrollBar = nullptr;
    skin::Object* SaveStatic = nullptr;
    skin::Object* SavePath = nullptr;
    skin::Object* Ok = nullptr;
    skin::Object* Cancel = nullptr;
    skin::Object* Browse = nullptr;
    std::array<skin::Object*, 8> ListButton{};  // rows 1 to 7

protected:
    bool event(QEvent* e) override;
    void changeEvent(QEvent* e) override;
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    // What the conversion run asks of the window.
    Controls RunControls() override;
    bool InTray() const override { return isHidden(); }
    void Restore() override { show(); }
    bool InView() const override { return isVisible() && !isMinimized(); }
    void ShowProgress(const std::string& text) override;
    void ShowIcon(const QIcon& icon, std::string file) override;
    void ShowProgramIcon() override { ShowIcon(Image1, {}); }
    std::uintptr_t IconHandle() const override;
    std::string OutputFolder() const override;
    vobcast::plan::ConversionChoices TitleChoices() const override;

    void UnloadSplash();
    // Ctrl+O Open File, Ctrl+I Import File, Ctrl+Return Start, Escape Stop
    // (while a run goes), Ctrl+Q Exit.
    void BindShortcuts();
    bool Loaded() const { return ListButton[1] != nullptr; }

    ConversionRun run_{*this, List, Engine, Tray, Timer1};
    // While the window sits in the notification area: whether the area is
    // still there, once a second (a panel restarted or removed takes it away).
    QTimer trayWatch_;
    // Minimised by BackGround for want of a notification area: the title
    // shows the progress the icon's tip would.
    bool minimisedForTray_ = false;
    SourceSearch search_{List};
    SettingsPanel settings_{*this};
    QPointer<Splash> splash_;
    sysinfo::DeviceMonitor SysInfo1;
};
