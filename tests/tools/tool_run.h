// vobcast-convert run to its end as a user runs it, through the shell (for
// its quoting and a ulimit), and what it said.
#pragma once

#include "sync_marks.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <initializer_list>
#include <string>

namespace testing_tools {

struct Result {
    int status = -1;
    std::string out;
};

inline std::string Q(const std::filesystem::path& p) { return "'" + p.string() + "'"; }

inline bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// A run that has not ended in 200 s (a few under the sanitizers) is stopped
// and fails as itself (status 124), its output kept.
inline Result RunTool(const std::string& args, const std::string& limits = "") {
    Result r;
    r.out = testing_media::CommandOutput(limits + "timeout -s INT -k 10 200 '" VOBCAST_CONVERT "' " + args + " 2>&1",
                                         &r.status);
    return r;
}

// The run ended with status, having said every part.
inline void ExpectSays(const Result& r, int status, std::initializer_list<std::string> parts) {
    EXPECT_EQ(r.status, status) << r.out;
    for (const std::string& part : parts) EXPECT_TRUE(Contains(r.out, part)) << part << "\n" << r.out;
}

} // namespace testing_tools
