// Closing the main window, and the notification-area icon's commands.
#include "main_frame.h"

#include "platform/systray/systray.h"
#include "platform/ui/event_loop.h"

#include <QCloseEvent>

void MainFrame::Form_QueryUnload() {
    if (Loaded()) run_.Abandon();
}

void MainFrame::closeEvent(QCloseEvent* event) {
    Form_QueryUnload();
    event->accept();
}

void MainFrame::ExitMenu_Click() {
    Tray.DELETEICON(Handle());
    UnloadSplash();
    close();
    // Closing a hidden window does not end the loop by itself.
    ui::EndMessageLoop();
}

// The window goes to the notification area where the desktop has one. Where
// it has none (GNOME as it comes, many tiling desktops) a hidden window would
// be lost: it is minimised instead, to come back the usual way.
void MainFrame::SendToBackground() {
    if (Tray.ADDICON(Handle(), IconHandle(), "Corvenna")) {
        hide();
        trayWatch_.start();
        return;
    }
    minimisedForTray_ = true;
    showMinimized();
}

void MainFrame::ShowProgress(const std::string& text) {
    const QString title = minimisedForTray_ && isMinimized() ? QString::fromStdString(text) + " \u2013 Marbleway" : "DVD";
    if (windowTitle() != title) setWindowTitle(title);
}

void MainFrame::changeEvent(QEvent* e) {
    if (e->type() == QEvent::WindowStateChange && !isMinimized() && minimisedForTray_) {
        minimisedForTray_ = false;
        setWindowTitle("DVD");
    }
    QWidget::changeEvent(e);
}

void MainFrame::OpenMenu_Click() {
    trayWatch_.stop();
    show();
    setWindowState(windowState() & ~Qt::WindowMinimized);
}

void MainFrame::Form_MouseMove(int message) {
    switch (message) {
    case 0x203:  // left double click
        OpenMenu_Click();
        break;
    case 0x204:  // right button down
        activateWindow();
        raise();
        SetSkinPopupMenu(3);
        break;
    default:
        break;
    }
}

bool MainFrame::event(QEvent* e) {
    if (e->type() == TrayNotifyEvent::kType) {
        Form_MouseMove(static_cast<TrayNotifyEvent*>(e)->message());
        return true;
    }
    return QWidget::event(e);
}
