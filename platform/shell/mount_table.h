// The kernel's mount table (/proc/self/mountinfo), as the drive list and the
// device monitor read it.
#pragma once

#include <string>
#include <vector>

namespace shell {

struct MountEntry {
    std::string point;   // where it is mounted, escapes undone
    std::string fsType;  // "iso9660", "udf", "fuse.fuseiso", "ext4", ...
    std::string source;  // "/dev/sr0", an image's name, ...
};

// Every mount, in the table's order (a later mount on a point hides an earlier).
std::vector<MountEntry> ReadMountTable();

// A file system that DVDs and their images carry: UDF, ISO 9660, or an ISO
// image mounted with fuseiso.
bool IsDiscImageType(const std::string& fsType);

// Whether source is a block device of an optical drive (sysfs: SCSI type 5).
bool IsOpticalDevice(const std::string& source);

// A disc in a drive or a mounted DVD image.
inline bool IsDiscMount(const MountEntry& m) { return IsDiscImageType(m.fsType) || IsOpticalDevice(m.source); }

} // namespace shell
