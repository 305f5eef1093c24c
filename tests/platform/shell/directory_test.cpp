// Directory listing with the Windows wildcard rules, and the drive list's
// arithmetic, on real folders.
#include "platform/shell/directory.h"
#include "platform/shell/drives.h"
#include "temp_folder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

using testing_support::MakeFile;
using testing_support::TempFolder;

TEST(Wildcards, MatchIgnoringLetterCase) {
    EXPECT_TRUE(shell::MatchesPattern("VTS_01_1.VOB", "*.vob"));
    EXPECT_TRUE(shell::MatchesPattern("vts_01_1.vob", "*.VOB"));
    EXPECT_TRUE(shell::MatchesPattern(".hidden.Vob", "*.vob"));
    EXPECT_TRUE(shell::MatchesPattern("a1.vob", "a?.vob"));
    EXPECT_FALSE(shell::MatchesPattern("a12.vob", "a?.vob"));
    EXPECT_FALSE(shell::MatchesPattern("movie.vob.part", "*.vob"));
    EXPECT_FALSE(shell::MatchesPattern("movievob", "*.vob"));
    EXPECT_TRUE(shell::MatchesPattern("README", "*.*")) << "*.* takes names without a dot too";
    EXPECT_TRUE(shell::MatchesPattern("TITLE.vob", "t*.VOB"));
}

TEST(Listing, FilesAndFoldersAsWindowsListsThem) {
    TempFolder dir;
    MakeFile(dir.path() / "a.VOB");
    MakeFile(dir.path() / "b.vob");
    MakeFile(dir.path() / ".hidden.vob");
    MakeFile(dir.path() / "notes.txt");
    MakeFile(dir.path() / "Sub.vob/inside.vob");  // a folder named like a file
    MakeFile(dir.path() / ".cache/x.vob");
    MakeFile(dir.path() / "VIDEO_TS/VTS_01_1.VOB");
    std::filesystem::create_symlink(dir.path() / "b.vob", dir.path() / "link.vob");
    std::filesystem::create_symlink(dir.path() / "gone.vob", dir.path() / "dangling.vob");
    std::filesystem::create_directory_symlink(dir.path() / "VIDEO_TS", dir.path() / "Linked");
    ::mkfifo((dir / "pipe.vob").c_str(), 0600);

    const shell::Listing files = shell::ListFiles(dir.path().string(), "*.vob");
    EXPECT_TRUE(files.ok);
    EXPECT_EQ(files.names, (std::vector<std::string>{".hidden.vob", "a.VOB", "b.vob", "link.vob"}));

    const shell::Listing folders = shell::ListFolders(dir.path().string());
    EXPECT_EQ(folders.names, (std::vector<std::string>{"Linked", "Sub.vob", "VIDEO_TS"})) << "hidden folders are left out";

    const shell::Listing missing = shell::ListFiles(dir / "nowhere", "*.*");
    EXPECT_FALSE(missing.ok);
    EXPECT_TRUE(missing.names.empty());
}

// Names come in name order, letter case ignored, whatever order they were made
// in (ext4 lists them in hash order).
TEST(Listing, NamesComeInOrderIgnoringLetterCase) {
    TempFolder dir;
    for (const char* name : {"VTS_01_2.VOB", "vts_01_3.vob", "VTS_01_10.VOB", "VTS_01_1.VOB", "b.vob", "A.vob", "a.vob"})
        MakeFile(dir.path() / name);
    for (const char* name : {"Zeta", "alpha", "Beta"}) std::filesystem::create_directories(dir.path() / name);
    EXPECT_EQ(shell::ListFiles(dir.path().string(), "*.vob").names,
              (std::vector<std::string>{"A.vob", "a.vob", "b.vob", "VTS_01_1.VOB", "VTS_01_10.VOB", "VTS_01_2.VOB",
                                        "vts_01_3.vob"}));
    EXPECT_EQ(shell::ListFolders(dir.path().string()).names, (std::vector<std::string>{"alpha", "Beta", "Zeta"}));
}

TEST(Listing, AFolderReachedTwoWaysIsOneFolder) {
    TempFolder dir;
    std::filesystem::create_directories(dir.path() / "real");
    std::filesystem::create_directory_symlink(dir.path() / "real", dir.path() / "alias");
    const auto a = shell::IdentifyFolder(dir / "real");
    const auto b = shell::IdentifyFolder(dir / "alias/");
    ASSERT_TRUE(a && b);
    EXPECT_FALSE(*a < *b || *b < *a);
    EXPECT_FALSE(shell::IdentifyFolder(dir / "nowhere"));
}

TEST(Drives, SpaceKeepsEveryCountWithin31Bits) {
    const shell::DiskSpace dvd = shell::SpaceOf(2048, 2295104, 0);  // a 4.7 GB disc
    EXPECT_EQ(double(dvd.sectors_per_cluster) * dvd.bytes_per_sector * dvd.total_clusters, 2048.0 * 2295104);
    const std::uint64_t huge = 20ull << 40;  // 20 TiB of 4 KiB blocks
    const shell::DiskSpace big = shell::SpaceOf(4096, huge / 4096, huge / 8192);
    EXPECT_LE(big.total_clusters, 0x7fffffffu);
    EXPECT_LE(big.free_clusters, 0x7fffffffu);
    EXPECT_EQ(double(big.sectors_per_cluster) * big.bytes_per_sector * big.total_clusters, double(huge));
}

TEST(Drives, TheMachinesDrivesAreItsMountedFileSystems) {
    const std::vector<std::string> roots = shell::DriveRoots();
    ASSERT_FALSE(roots.empty());
    EXPECT_LE(roots.size(), 24u);
    EXPECT_TRUE(std::is_sorted(roots.begin(), roots.end())) << "a stable order";
    for (const std::string& root : roots) {
        EXPECT_NE(shell::GetDriveType(root), shell::DRIVE_NO_ROOT_DIR) << root;
        shell::DiskSpace space;
        EXPECT_TRUE(shell::GetDiskFreeSpace(root, space)) << root;
    }
    EXPECT_EQ(shell::GetDriveType("/no/such/mount"), shell::DRIVE_NO_ROOT_DIR);
}

TEST(Drives, AFakeProviderPresentsFoldersAsDrives) {
    auto fake = std::make_shared<shell::FakeDrives>();
    fake->Plug("/media/dvd", shell::DRIVE_CDROM, 4.7e9);
    fake->Plug("/media/cd", shell::DRIVE_CDROM, 700e6);
    shell::SetDriveProvider(fake);
    EXPECT_EQ(shell::DriveRoots(), (std::vector<std::string>{"/media/dvd", "/media/cd"}));
    shell::DiskSpace space;
    ASSERT_TRUE(shell::GetDiskFreeSpace("/media/dvd", space));
    EXPECT_NEAR(double(space.sectors_per_cluster) * space.bytes_per_sector * space.total_clusters, 4.7e9, 512);
    fake->Unplug("/media/dvd");
    EXPECT_EQ(shell::DriveRoots(), (std::vector<std::string>{"/media/cd"}));
    EXPECT_EQ(shell::GetDriveType("/media/dvd"), shell::DRIVE_NO_ROOT_DIR);
    shell::SetDriveProvider(nullptr);
    EXPECT_NE(shell::DriveRoots(), (std::vector<std::string>{"/media/cd"}));
}

} // namespace
