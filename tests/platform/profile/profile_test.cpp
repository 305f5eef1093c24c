// Profile strings against real files, with the Windows rules the settings
// code relies on.
#include "platform/profile/profile.h"
#include "temp_folder.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <string>

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using testing_support::ReadFile;
using testing_support::TempFolder;
using testing_support::WriteFile;

// Reads as the settings code does: a 255-byte buffer of spaces.
std::string Read(const std::string& file, const char* section, const char* key, const char* fallback = "0") {
    std::string buffer(255, ' ');
    const auto n = profile::GetPrivateProfileString(section, key, fallback, buffer.data(), 255, file);
    EXPECT_EQ(buffer[n], '\0');
    return buffer.substr(0, n);
}

// Runs body in a child process and returns its exit status.
template <typename F>
int InChild(F body) {
    const pid_t pid = ::fork();
    if (pid == 0) ::_exit(body());
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// Sections and keys match ignoring case, and the first match wins; values
// lose their outer blanks and quotes but keep inner spaces; what is missing
// reads as the default, trimmed.
TEST(Profile, ReadsAsWindowsDoes) {
    struct ReadCase {
        const char* file;  // null: no file
        const char *section, *key, *fallback, *value;
    };
    const char* first = "; settings\n [ savepath ] \n  PATHNAME =  /first/  \npathname=/second/\n[SavePath]\nPathName=/third/\n";
    const char* values = "[S]\nspaced=   /my videos/dvd rips/   \nquoted=\"  kept  \"\nempty=\ncrlf=/win/\r\n";
    const char* elsewhere = "[Other]\nPathName=/x/\n[SavePath]\nSomethingElse=1\n";
    for (const ReadCase& c : {ReadCase{nullptr, "SavePath", "PathName", "0", "0"},
                              ReadCase{elsewhere, "SavePath", "PathName", "0", "0"},
                              ReadCase{elsewhere, "Missing", "PathName", "  fallback  ", "fallback"},
                              ReadCase{first, "SavePath", "PathName", "0", "/first/"},
                              ReadCase{first, "SAVEPATH", "pathName", "0", "/first/"},
                              ReadCase{values, "S", "spaced", "0", "/my videos/dvd rips/"},
                              ReadCase{values, "S", "quoted", "0", "  kept  "},
                              ReadCase{values, "S", "empty", "0", ""},
                              ReadCase{values, "S", "crlf", "0", "/win/"}}) {
        TempFolder dir;
        const std::string ini = dir / "DVD.ini";
        if (c.file != nullptr) WriteFile(ini, c.file);
        EXPECT_EQ(Read(ini, c.section, c.key, c.fallback), c.value) << c.section << "/" << c.key;
    }
}

TEST(Profile, LongValuesAreCutToTheBufferAndTheRestOfItIsUntouched) {
    TempFolder dir;
    const std::string ini = dir / "DVD.ini";
    const std::string value(300, 'v');
    ASSERT_TRUE(profile::WritePrivateProfileString("S", "long", value, ini));
    std::string buffer(255, ' ');
    EXPECT_EQ(profile::GetPrivateProfileString("S", "long", "0", buffer.data(), 255, ini), 254u);
    EXPECT_EQ(buffer.substr(0, 254), value.substr(0, 254));
    EXPECT_EQ(buffer[254], '\0');

    std::string small(10, ' ');
    EXPECT_EQ(profile::GetPrivateProfileString("S", "missing", "abc", small.data(), 10, ini), 3u);
    EXPECT_EQ(small, std::string("abc\0      ", 10)) << "only the value and its NUL are written";
}

// A write changes the one line it must and keeps every other byte, line ends
// included: each line keeps its own (the fuzzer found a Windows file with one
// Unix line that had that line's end rewritten).
TEST(Profile, AWriteChangesOneLineAndKeepsEveryOtherByte) {
    using namespace std::string_view_literals;
    struct Write {
        std::string_view before;  // empty: no file yet
        const char *section, *key, *value;
        std::string_view after;
    };
    const Write writes[] = {
        {"", "SavePath", "PathName", "/home/ada/", "[SavePath]\nPathName=/home/ada/\n"},
        {"; Marbleway\n[Other]\nkey = kept as written \n\n[savepath]\n# a comment\npathname = /old/\nafter=1\n", "SavePath",
         "PathName", "/new folder/",
         "; Marbleway\n[Other]\nkey = kept as written \n\n[savepath]\n# a comment\nPathName=/new folder/\nafter=1\n"},
        {"[Other]\nkey=1\n\n[B]\n", "Other", "added", "2", "[Other]\nkey=1\nadded=2\n\n[B]\n"},
        {"[SavePath]\r\nPathName=C:\\Movies\\\r\n", "New", "k", "v", "[SavePath]\r\nPathName=C:\\Movies\\\r\n[New]\r\nk=v\r\n"},
        {"[S]\r\nk=1\n; note\r\n\0\xff\n"sv, "S", "k", "2", "[S]\r\nk=2\r\n; note\r\n\0\xff\n"sv},
        {"[A]\nx=1\n[B]\ny=2", "A", "z", "3", "[A]\nx=1\nz=3\n[B]\ny=2"},
        {"[A]\nx=1\n[B]\ny=2", "B", "w", "4", "[A]\nx=1\n[B]\ny=2\nw=4\n"},
    };
    for (const Write& w : writes) {
        TempFolder dir;
        const std::string ini = dir / "DVD.ini";
        if (!w.before.empty()) WriteFile(ini, w.before);
        ASSERT_TRUE(profile::WritePrivateProfileString(w.section, w.key, w.value, ini)) << w.before;
        EXPECT_EQ(ReadFile(ini), w.after) << w.before;
        EXPECT_EQ(Read(ini, w.section, w.key), w.value);
    }
}

// What could not be read back under the names it was written with is refused
// (the fuzzer wrote NULs, and keys holding '=').
TEST(Profile, WhatCouldNotBeReadBackIsRefused) {
    TempFolder dir;
    const std::string ini = dir / "DVD.ini";
    ASSERT_TRUE(profile::WritePrivateProfileString("S", "k", "v", ini));
    EXPECT_FALSE(profile::WritePrivateProfileString("S", "k", "two\nlines", ini));
    EXPECT_FALSE(profile::WritePrivateProfileString("S\n[Evil]", "k", "v", ini));
    EXPECT_FALSE(profile::WritePrivateProfileString("S", "k", std::string_view("a\0b", 3), ini));
    for (const char* key : {"a=b", " k", "k ", "[k", ";k", "#k"})
        EXPECT_FALSE(profile::WritePrivateProfileString("S", key, "v", ini)) << key;
    for (const char* section : {"S]x", " S", "S\t"}) EXPECT_FALSE(profile::WritePrivateProfileString(section, "k", "v", ini)) << section;
    EXPECT_EQ(ReadFile(ini), "[S]\nk=v\n");
    ASSERT_TRUE(profile::WritePrivateProfileString("S", "", "  spaced  ", ini)) << "an empty key is a name too";
    EXPECT_EQ(Read(ini, "S", ""), "spaced");
}

TEST(Profile, AFailedWriteLeavesTheOldFileAndNoLitter) {
    TempFolder dir;
    const std::string ini = dir / "DVD.ini";
    ASSERT_TRUE(profile::WritePrivateProfileString("SavePath", "PathName", "/kept/", ini));
    const std::string before = ReadFile(ini);

    EXPECT_FALSE(profile::WritePrivateProfileString("S", "k", "v", dir / "no-such-folder/DVD.ini"));

    // A read-only folder (checked as an ordinary user: root may write anywhere).
    ::chmod(dir.path().c_str(), 0555);
    EXPECT_EQ(InChild([&] {
                  if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) return 3;
                  return profile::WritePrivateProfileString("SavePath", "PathName", "/lost/", ini) ? 1 : 0;
              }),
              0);
    ::chmod(dir.path().c_str(), 0700);

    // A full disk: the file-size limit stops the new copy half-way.
    EXPECT_EQ(InChild([&] {
                  std::signal(SIGXFSZ, SIG_IGN);
                  const rlimit limit{16, 16};
                  ::setrlimit(RLIMIT_FSIZE, &limit);
                  return profile::WritePrivateProfileString("SavePath", "Other", std::string(200, 'x'), ini) ? 1 : 0;
              }),
              0);

    EXPECT_EQ(ReadFile(ini), before);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), std::filesystem::directory_iterator()), 1)
        << "no temporary file is left behind";
}

TEST(Profile, ASymbolicLinkIsWrittenThroughAndKept) {
    TempFolder dir;
    const std::string real = dir / "real.ini";
    const std::string link = dir / "DVD.ini";
    std::filesystem::create_symlink(real, link);
    ASSERT_TRUE(profile::WritePrivateProfileString("S", "k", "v", link));
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(ReadFile(real), "[S]\nk=v\n");
}

TEST(Profile, ConcurrentWritersInOtherProcessesLoseNothing) {
    TempFolder dir;
    const std::string ini = dir / "DVD.ini";
    constexpr int kKeys = 60;
    std::vector<pid_t> children;
    for (int writer = 0; writer < 3; ++writer) {
        const pid_t pid = ::fork();
        if (pid == 0) {
            bool ok = true;
            for (int i = 0; i < kKeys; ++i) {
                ok &= profile::WritePrivateProfileString("W" + std::to_string(writer), "k" + std::to_string(i), std::to_string(i * writer), ini);
            }
            ::_exit(ok ? 0 : 1);
        }
        children.push_back(pid);
    }
    for (pid_t pid : children) {
        int status = 0;
        ::waitpid(pid, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    for (int writer = 0; writer < 3; ++writer) {
        for (int i = 0; i < kKeys; ++i) {
            ASSERT_EQ(Read(ini, ("W" + std::to_string(writer)).c_str(), ("k" + std::to_string(i)).c_str(), "missing"),
                      std::to_string(i * writer));
        }
    }
}

} // namespace
