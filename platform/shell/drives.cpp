#include "drives.h"
#include "mount_table.h"

#include <algorithm>
#include <fstream>
#include <limits>
#include <sstream>

#include <sys/statvfs.h>

#include <climits>
#include <cstdlib>

namespace shell {
namespace {

constexpr std::size_t kLetters = 24;  // C to Z

class MachineDrives final : public DriveProvider {
public:
    std::vector<std::string> Roots() override {
        std::vector<std::string> roots;
        for (const MountEntry& m : ReadMountTable()) {
            const bool drive = m.source.rfind("/dev/", 0) == 0 || IsDiscImageType(m.fsType);
            if (drive && std::find(roots.begin(), roots.end(), m.point) == roots.end()) roots.push_back(m.point);
        }
        std::sort(roots.begin(), roots.end());
        if (roots.size() > kLetters) roots.resize(kLetters);
        return roots;
    }

    unsigned Type(const std::string& root) override {
        // The last mount on a point is the one that shows.
        const std::vector<MountEntry> mounts = ReadMountTable();
        const auto it = std::find_if(mounts.rbegin(), mounts.rend(), [&](const MountEntry& m) { return m.point == root; });
        if (it == mounts.rend()) return DRIVE_NO_ROOT_DIR;
        if (IsDiscMount(*it)) return DRIVE_CDROM;
        if (it->fsType == "nfs" || it->fsType == "nfs4" || it->fsType == "cifs" || it->fsType == "smb3") return DRIVE_REMOTE;
        if (it->fsType == "tmpfs" || it->fsType == "ramfs") return DRIVE_RAMDISK;
        return DRIVE_FIXED;
    }

    bool Space(const std::string& root, DiskSpace& space) override {
        struct statvfs st {};
        if (::statvfs(root.c_str(), &st) != 0) return false;
        space = SpaceOf(st.f_frsize, st.f_blocks, st.f_bavail);
        return true;
    }
};

std::shared_ptr<DriveProvider>& Provider() {
    static std::shared_ptr<DriveProvider> provider = std::make_shared<MachineDrives>();
    return provider;
}

} // namespace

DiskSpace SpaceOf(std::uint64_t block_size, std::uint64_t blocks, std::uint64_t free_blocks) {
    // Clusters grow until the counts fit in 31 bits, as on a large Windows volume.
    constexpr std::uint64_t kMax = std::numeric_limits<std::int32_t>::max();
    std::uint64_t per_cluster = 1;
    while (blocks / per_cluster > kMax) per_cluster *= 2;
    std::uint64_t sector = block_size;
    while (sector > kMax) {  // never on a real file system
        sector /= 2;
        per_cluster *= 2;
    }
    DiskSpace space;
    space.sectors_per_cluster = static_cast<std::uint32_t>(std::min(per_cluster, kMax));
    space.bytes_per_sector = static_cast<std::uint32_t>(sector);
    space.total_clusters = static_cast<std::uint32_t>(blocks / per_cluster);
    space.free_clusters = static_cast<std::uint32_t>(std::min(free_blocks / per_cluster, kMax));
    return space;
}

void FakeDrives::Plug(const std::string& root, unsigned type, double capacity_bytes) {
    Unplug(root);
    drives_.push_back({root, type, capacity_bytes});
}

void FakeDrives::Unplug(const std::string& root) {
    std::erase_if(drives_, [&](const Drive& d) { return d.root == root; });
}

std::vector<std::string> FakeDrives::Roots() {
    std::vector<std::string> roots;
    for (const Drive& d : drives_) roots.push_back(d.root);
    return roots;
}

unsigned FakeDrives::Type(const std::string& root) {
    for (const Drive& d : drives_) {
        if (d.root == root) return d.type;
    }
    return DRIVE_NO_ROOT_DIR;
}

bool FakeDrives::Space(const std::string& root, DiskSpace& space) {
    for (const Drive& d : drives_) {
        if (d.root == root) {
            space = SpaceOf(512, static_cast<std::uint64_t>(d.capacity / 512), 0);
            return true;
        }
    }
    return false;
}

void SetDriveProvider(std::shared_ptr<DriveProvider> provider) {
    Provider() = provider ? std::move(provider) : std::make_shared<MachineDrives>();
}

std::vector<std::string> DriveRoots() {
    std::vector<std::string> roots = Provider()->Roots();
    if (roots.size() > kLetters) roots.resize(kLetters);
    return roots;
}

unsigned GetDriveType(const std::string& root) { return Provider()->Type(root); }

bool GetDiskFreeSpace(const std::string& root, DiskSpace& space) { return Provider()->Space(root, space); }

} // namespace shell
