// The drives of the machine, as GetDriveTypeA and GetDiskFreeSpaceA show them.
//
// Mount points play the part of drive letters: DriveRoots lists at most 24 of
// them, standing for C to Z, in a stable order. A mounted optical disc, or a
// mounted DVD image (a loop device holding UDF or ISO 9660, or a FUSE ISO
// mount), is a CD-ROM drive. The provider is replaceable, so that a test can
// present folders as drives.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace shell {

enum DriveType : unsigned {
    DRIVE_UNKNOWN = 0,
    DRIVE_NO_ROOT_DIR = 1,
    DRIVE_REMOVABLE = 2,
    DRIVE_FIXED = 3,
    DRIVE_REMOTE = 4,
    DRIVE_CDROM = 5,
    DRIVE_RAMDISK = 6,
};

// The size of a file system in the units of GetDiskFreeSpaceA.
struct DiskSpace {
    std::uint32_t sectors_per_cluster = 0;
    std::uint32_t bytes_per_sector = 0;
    std::uint32_t free_clusters = 0;
    std::uint32_t total_clusters = 0;
};

class DriveProvider {
public:
    virtual ~DriveProvider() = default;
    virtual std::vector<std::string> Roots() = 0;
    virtual unsigned Type(const std::string& root) = 0;
    // False, and space untouched, when the root cannot be queried.
    virtual bool Space(const std::string& root, DiskSpace& space) = 0;
};

// Folders presented as drives, for tests: what is plugged in is listed in the
// order it was plugged, with the type and capacity given.
class FakeDrives final : public DriveProvider {
public:
    void Plug(const std::string& root, unsigned type, double capacity_bytes);
    void Unplug(const std::string& root);

    std::vector<std::string> Roots() override;
    unsigned Type(const std::string& root) override;
    bool Space(const std::string& root, DiskSpace& space) override;

private:
    struct Drive {
        std::string root;
        unsigned type;
        double capacity;
    };
    std::vector<Drive> drives_;
};

// Replaces the machine's drives by provider; null restores the machine's.
void SetDriveProvider(std::shared_ptr<DriveProvider> provider);

// The roots standing for drives C to Z, in letter order; at most 24.
std::vector<std::string> DriveRoots();
unsigned GetDriveType(const std::string& root);
// Sectors per cluster, bytes per sector, free and total clusters of root, each
// fitting in a signed 32-bit value. False when root cannot be queried.
bool GetDiskFreeSpace(const std::string& root, DiskSpace& space);

// The same in pieces, for the machine's provider and its tests.
DiskSpace SpaceOf(std::uint64_t block_size, std::uint64_t blocks, std::uint64_t free_blocks);

} // namespace shell
