// DVD.ini as the program reads and writes it, in a configuration folder of the
// test's own.
#include "app/shell/settings_store.h"
#include "platform/shell/folders.h"
#include "temp_folder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

namespace {

using testing_support::ReadFile;
using testing_support::TempFolder;
using testing_support::WriteFile;

TEST(TrimApiString, CutsBlanksAtBothEndsAndTheNulsAtTheEnd) {
    EXPECT_EQ(TrimApiString(std::string("abc\0", 4) + std::string(200, ' ')), "abc");
    EXPECT_EQ(TrimApiString(std::string(255, ' ')), "");
    EXPECT_EQ(TrimApiString(std::string("\0", 1)), "");
    EXPECT_EQ(TrimApiString(""), "");
    EXPECT_EQ(TrimApiString("   /my videos/  "), "/my videos/");
    EXPECT_EQ(TrimApiString(std::string("ab\0cd\0\0  ", 9)), std::string("ab\0cd", 5)) << "an inner NUL stays";
}

class Settings : public ::testing::Test {
protected:
    void SetUp() override { setenv("XDG_CONFIG_HOME", config.path().c_str(), 1); }
    void TearDown() override {
        unsetenv("XDG_CONFIG_HOME");
        shell::SetProgramFolder({});
    }
    std::string Ini() const { return config / "Marbleway/DVD.ini"; }

    TempFolder config;
};

// The first start writes the program folder as the output folder (a root
// folder gets the two separators as joined), a later one keeps the stored
// folder, and something else named DVD.ini is no settings file: the write
// fails silently and reads give the default.
TEST_F(Settings, TheFirstStartWritesTheProgramFolderAsTheOutputFolder) {
    SetUpIniFile();
    EXPECT_EQ(IniFileName(), Ini());
    EXPECT_EQ(ReadFile(Ini()), "[SavePath]\nPathName=" + shell::ProgramFolder() + "/\n");
    EXPECT_EQ(ReadIniValue("SavePath", "PathName"), shell::ProgramFolder() + "/");

    WriteFile(Ini(), "[SavePath]\nPathName=/srv/rips/\n");
    SetUpIniFile();
    EXPECT_EQ(ReadIniValue("SavePath", "PathName"), "/srv/rips/");

    std::filesystem::remove(Ini());
    shell::SetProgramFolder("/");
    SetUpIniFile();
    EXPECT_EQ(ReadIniValue("SavePath", "PathName"), "//");

    std::filesystem::remove(Ini());
    std::filesystem::create_directories(Ini());  // a folder, not a file
    SetUpIniFile();
    EXPECT_EQ(ReadIniValue("SavePath", "PathName"), "0");
    EXPECT_TRUE(std::filesystem::is_directory(Ini()));
}

// An installed program's folder is read-only to its users: the first start
// then proposes the videos folder, made if it is missing. Here the program
// folder is a read-only ISO 9660 mount (root may write anywhere else).
TEST_F(Settings, AProgramFolderNobodyMayWriteInGivesTheVideosFolder) {
    if (std::system("command -v fuseiso >/dev/null && command -v genisoimage >/dev/null && test -c /dev/fuse") != 0)
        GTEST_SKIP() << "needs fuseiso, genisoimage and /dev/fuse";
    TempFolder home;
    const std::string tree = home / "tree", iso = home / "program.iso", mounted = home / "program";
    std::filesystem::create_directories(tree);
    std::filesystem::create_directories(mounted);
    ASSERT_EQ(std::system(("genisoimage -quiet -o '" + iso + "' '" + tree + "' && fuseiso '" + iso + "' '" + mounted + "'").c_str()), 0);
    const char* oldHome = std::getenv("HOME");
    const std::string savedHome = oldHome ? oldHome : "";
    setenv("HOME", home.path().c_str(), 1);
    unsetenv("XDG_VIDEOS_DIR");
    shell::SetProgramFolder(mounted);
    SetUpIniFile();
    EXPECT_EQ(ReadIniValue("SavePath", "PathName"), home / "Videos" + "/");
    EXPECT_TRUE(std::filesystem::is_directory(home / "Videos"));
    setenv("HOME", savedHome.c_str(), 1);
    EXPECT_EQ(std::system(("fusermount -u '" + mounted + "'").c_str()), 0);
}

TEST_F(Settings, ReadsGiveZeroForWhatIsMissingAndTrimmedValuesOtherwise) {
    SetUpIniFile();
    EXPECT_EQ(ReadIniValue("SavePath", "Nothing"), "0");
    WriteIniValue("SavePath", "PathName", "");
    EXPECT_EQ(ReadIniValue("SavePath", "PathName"), "");
    WriteIniValue("SavePath", "PathName", "   /my videos/new rips/   ");
    EXPECT_EQ(ReadIniValue("SavePath", "PathName"), "/my videos/new rips/");
    WriteIniValue("SavePath", "PathName", std::string(300, 'p'));
    EXPECT_EQ(ReadIniValue("SavePath", "PathName"), std::string(254, 'p'));
}

} // namespace
