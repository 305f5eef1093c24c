// The device monitor on real mounts made while it runs: a DVD image mounted
// with fuseiso is a device's arrival and its unmount a removal; a FAT stick
// mounted with fusefat is neither.
#include "platform/sysinfo/device_monitor.h"
#include "qt_wait.h"
#include "temp_folder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

namespace {

using testing_support::TempFolder;

bool Shell(const std::string& command) { return std::system(command.c_str()) == 0; }


TEST(DeviceMonitor, OnlyDiscsMountedOrUnmountedAreDeviceEvents) {
    if (!Shell("command -v fuseiso >/dev/null && command -v fusefat >/dev/null && command -v mkfs.vfat >/dev/null && "
             "command -v genisoimage >/dev/null && test -c /dev/fuse"))
        GTEST_SKIP() << "needs fuseiso, fusefat, mkfs.vfat, genisoimage and /dev/fuse";
    TempFolder dir;
    const std::string tree = dir / "tree", iso = dir / "disc.iso", fat = dir / "stick.img";
    const std::string cdrom = dir / "cdrom", stick = dir / "stick";
    for (const std::string& d : {tree + "/VIDEO_TS", cdrom, stick}) std::filesystem::create_directories(d);
    ASSERT_TRUE(Shell("genisoimage -quiet -o '" + iso + "' '" + tree + "'"));
    ASSERT_TRUE(Shell("truncate -s 64M '" + fat + "' && mkfs.vfat '" + fat + "' >/dev/null"));

    int arrivals = 0, removals = 0;
    sysinfo::DeviceMonitor monitor({[&] { ++arrivals; }, [&] { ++removals; }});
    // What does not happen is waited for as long as the kernel takes to tell
    // (within about half a second).
    constexpr int kQuiet = 1500;
    ASSERT_TRUE(Shell("fusefat -o ro '" + fat + "' '" + stick + "' >/dev/null 2>&1"));
    EXPECT_FALSE(testing_support::WaitUntil([&] { return arrivals > 0; }, kQuiet)) << "a stick is no disc";
    ASSERT_TRUE(Shell("fuseiso '" + iso + "' '" + cdrom + "'"));
    EXPECT_TRUE(testing_support::WaitUntil([&] { return arrivals > 0; }));
    ASSERT_TRUE(Shell("fusermount -u '" + stick + "'"));
    EXPECT_FALSE(testing_support::WaitUntil([&] { return removals > 0; }, kQuiet));
    ASSERT_TRUE(Shell("fusermount -u '" + cdrom + "'"));
    EXPECT_TRUE(testing_support::WaitUntil([&] { return removals > 0; }));
    EXPECT_EQ(arrivals, 1);
    EXPECT_EQ(removals, 1);
}

} // namespace
