// libvobcast.so as a caller sees it: five C functions and the host calls of
// vobcast_host.h, nothing else; and a process that loads it without Qt maps no Qt.
#include "engine_binding.h"

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <cstdio>
#include <set>
#include <string>

namespace {

TEST(Library, ExportsTheFiveFunctionsAndTheHostCallsOnly) {
    FILE* nm = popen("nm -D --defined-only '" VOBCAST_LIBRARY "'", "r");
    ASSERT_NE(nm, nullptr);
    std::set<std::string> names;
    char line[512];
    while (std::fgets(line, sizeof line, nm)) {
        std::string l(line);
        const auto last = l.find_last_of(' ');
        names.insert(l.substr(last + 1, l.find('\n') - last - 1));
    }
    pclose(nm);
    EXPECT_EQ(names, (std::set<std::string>{"DoInit", "DoUninit", "GetCurrentPos", "StartComp", "StopComp",
                                            "VobcastChooseAngle", "VobcastChooseCrop", "VobcastChoosePictures", "VobcastChooseSize",
                                            "VobcastChooseSource", "VobcastChooseSubtitles", "VobcastFindCrop",
                                            "VobcastCompressorName", "VobcastDescribeSource", "VobcastReadDisc",
                                            "VobcastSetChooser", "VobcastSetMessageSink", "VobcastSourceSeconds"}));
}

TEST(Library, LoadsByFileNameAndCanBeBoundTwice) {
    for (int round = 0; round < 2; ++round) {
        vobcast::EngineBinding engine(VOBCAST_LIBRARY);
        EXPECT_EQ(engine.StartComp(), static_cast<std::int32_t>(0x80004005u));
        EXPECT_TRUE(engine.Loaded()) << engine.LoadError();
        EXPECT_EQ(engine.GetCurrentPos(), -1);
        EXPECT_EQ(engine.DoUninit(), 0);
    }
    vobcast::EngineBinding missing("/nonexistent/libvobcast.so");
    EXPECT_EQ(missing.DoUninit(), static_cast<std::int32_t>(0x80004005u));
    EXPECT_FALSE(missing.Loaded());
    EXPECT_NE(missing.LoadError().find("nonexistent"), std::string::npos);
}

} // namespace
