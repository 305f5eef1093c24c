// The once-a-second look at a converting entry.
#include "app/shell/main_frame.h"

#include "platform/shell/folders.h"

#include <QIcon>

namespace {

std::string ProgressText(std::int32_t value) { return "Progressing:" + std::to_string(value) + "%"; }

} // namespace

void MainFrame::SetIcon(const QIcon& icon, std::string file) {
    CurrentIcon = icon;
    CurrentIconFile = std::move(file);
    setWindowIcon(CurrentIcon);
}

std::uintptr_t MainFrame::IconHandle() const { return reinterpret_cast<std::uintptr_t>(&CurrentIcon); }

void MainFrame::Timer1_Timer() {
    // The program reads the low 32 bits of the engine's value.
    const auto p1 = static_cast<std::int32_t>(Engine->GetCurrentPos());
    List.SetStatus(ProgressText(p1));
    if (p1 >= 0 && p1 <= 100) {
        const std::string file = shell::ProgramFolder() + "/icon/round" + std::to_string(p1 / 6) + ".ico";
        const QIcon frame(QString::fromStdString(file));
        // A frame that cannot be read leaves the icon as it is; polling goes on.
        if (!frame.availableSizes().isEmpty()) SetIcon(frame, file);
    }
    const auto p2 = static_cast<std::int32_t>(Engine->GetCurrentPos());
    Tray.MODIFYICON(Handle(), IconHandle(), ProgressText(p2));
    const auto p3 = static_cast<std::int32_t>(Engine->GetCurrentPos());
    if (p3 == 100) StopCompress_Click();
}
