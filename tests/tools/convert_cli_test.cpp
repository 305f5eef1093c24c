// vobcast-convert as a user runs it.
#include "converter.h"
#include "test_media.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <sstream>

namespace {

struct Result {
    int status;
    std::string out;
};

Result RunTool(const std::string& args) {
    const std::string command = "'" VOBCAST_CONVERT "' " + args + " 2>&1";
    FILE* p = popen(command.c_str(), "r");
    std::string out;
    char buf[4096];
    while (p && std::fgets(buf, sizeof buf, p)) out += buf;
    const int raw = p ? pclose(p) : -1;
    return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, out};
}

TEST(ConvertCli, ReadsItsCommandLine) {
    vobcast::cli::Options o;
    std::string error;
    EXPECT_TRUE(vobcast::cli::ParseArguments({"--bitrate", "900", "--keyint", "12", "a.vob", "b.avi"}, o, error));
    EXPECT_EQ(o.bitrateKbps, 900);
    EXPECT_EQ(o.keyFrames, 12);
    EXPECT_EQ(o.source, "a.vob");
    EXPECT_FALSE(vobcast::cli::ParseArguments({"--bitrate", "fast", "a", "b"}, o, error));
    EXPECT_NE(error.find("--bitrate"), std::string::npos);
    EXPECT_FALSE(vobcast::cli::ParseArguments({"a.vob"}, o, error));
    EXPECT_FALSE(vobcast::cli::ParseArguments({"--frobnicate", "a", "b"}, o, error));
}

TEST(ConvertCli, ConvertsAndFailsWithTheEnginesMessage) {
    const auto dir = std::filesystem::temp_directory_path() / ("vobcast-cli-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const std::string dst = (dir / "out.avi").string();

    const auto usage = RunTool("only-one-file.vob");
    EXPECT_EQ(usage.status, 2);
    EXPECT_NE(usage.out.find("Usage:"), std::string::npos);

    const auto list = RunTool("--list-compressors");
    EXPECT_EQ(list.status, 0);
    EXPECT_NE(list.out.find("MPEG-4 Part 2 (DivX compatible)"), std::string::npos) << list.out;

    const auto wrong = RunTool("--compressor 'No Such Codec' a.vob b.avi");
    EXPECT_EQ(wrong.status, 2);
    EXPECT_NE(wrong.out.find("No Such Codec"), std::string::npos);

    const auto ok = RunTool("'" + testing_media::MediaPath("pal.vob") + "' '" + dst + "'");
    EXPECT_EQ(ok.status, 0) << ok.out;
    EXPECT_NE(ok.out.find("100%"), std::string::npos);
    EXPECT_NE(ok.out.find("Wrote " + dst), std::string::npos);
    EXPECT_TRUE(testing_media::ReadAvi(dst).hasIndex);

    const auto missing = RunTool("'" + (dir / "missing.vob").string() + "' '" + dst + "'");
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.out.find("Error : \nSpecified pin was not found.\n"), std::string::npos) << missing.out;
    std::filesystem::remove_all(dir);
}

} // namespace
