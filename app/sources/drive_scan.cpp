// Finding the DVDs in the drives, and the device events that start it again.
#include "app/shell/main_frame.h"

#include "platform/shell/drives.h"

namespace {

// Sectors per cluster x total clusters x bytes per sector; 0 when the drive
// cannot tell.
double GetDiskCapacity(const std::string& root) {
    shell::DiskSpace space;
    shell::GetDiskFreeSpace(root, space);
    return static_cast<double>(static_cast<std::int32_t>(space.sectors_per_cluster)) *
           static_cast<double>(static_cast<std::int32_t>(space.total_clusters)) *
           static_cast<double>(static_cast<std::int32_t>(space.bytes_per_sector));
}

} // namespace

void MainFrame::ScanDrives() {
    bool found = false;
    for (const std::string& root : shell::DriveRoots()) {
        if (shell::GetDriveType(root) != shell::DRIVE_CDROM) continue;
        if (GetDiskCapacity(root) / 1024 / 1024 / 1024 < 1.0) continue;  // a CD, or no disc
        SearchForVobs(root);
        found = true;
    }
    ShowSearchResult(found);
}

void MainFrame::ListVobInDVDRom() {
    RunSearch([this] { ScanDrives(); });
}

void MainFrame::SysInfo1_DeviceArrival() {
    if (!Loaded()) return;
    RunSearch([this] {
        List.ClearMenu_Click();
        List.SetStatus("Searching file...");
        ScanDrives();
    });
}

void MainFrame::SysInfo1_DeviceRemoveComplete() {
    if (!Loaded()) return;
    RunSearch([this] { List.ClearMenu_Click(); });
}
