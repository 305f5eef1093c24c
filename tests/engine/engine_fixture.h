// Drives the engine's five functions the way the program does, with the
// message boxes recorded and the compressor chooser answered.
#pragma once

#include "conversion_state.h"
#include "test_media.h"
#include "vobcast/vobcast.h"
#include "vobcast/vobcast_host.h"

#include "platform/com/unknown.h"
#include "platform/media/filters/catalogue.h"
#include "platform/vfw/compressor.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <unistd.h>
#include <string>
#include <thread>
#include <vector>

class EngineTest : public ::testing::Test {
protected:
    void SetUp() override {
        // What a host installs: every box recorded, the chooser answered.
        VobcastSetMessageSink(
            [](void* self, const char* text) {
                auto* test = static_cast<EngineTest*>(self);
                test->boxes.emplace_back(text);
                if (test->onBox) test->onBox();
            },
            this);
        VobcastSetChooser(
            [](void* self, VobcastChoice* choice) {
                auto* test = static_cast<EngineTest*>(self);
                ++test->dialogs;
                *choice = test->answer;
                return test->accept ? 1 : 0;
            },
            this);
        dir = std::filesystem::temp_directory_path() /
              ("vobcast-test-" + std::to_string(::getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(dir);
    }

    void TearDown() override {
        vobcast::State().completed = 0;
        media::Catalogue::Instance().Reset();
        VobcastSetMessageSink(nullptr, nullptr);
        VobcastSetChooser(nullptr, nullptr);
        std::filesystem::remove_all(dir);
    }

    static std::string Media(const std::string& file) {
        const std::string path = testing_media::MediaPath(file);
        if (!std::filesystem::exists(path)) ADD_FAILURE() << "missing test clip " << path;
        return path;
    }

    std::string Out(const std::string& name) const { return (dir / name).string(); }

    // Polls until 100 (or a time limit), as the program's timer does, but faster.
    std::vector<long> RunToEnd(std::chrono::seconds limit = std::chrono::seconds(120)) {
        std::vector<long> seen;
        const auto deadline = std::chrono::steady_clock::now() + limit;
        for (;;) {
            const long p = static_cast<long>(static_cast<std::int32_t>(GetCurrentPos()));
            seen.push_back(p);
            if (p == 100 || std::chrono::steady_clock::now() > deadline) break;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return seen;
    }

    // One whole conversion; returns DoInit's status.
    std::int32_t Convert(const std::string& source, const std::string& destination, std::int32_t flag = 0) {
        const std::int32_t status = DoInit(0, source.c_str(), destination.c_str(), flag);
        if (status == 0) {
            StartComp();
            RunToEnd();
            StopComp();
        }
        DoUninit();
        return status;
    }

public:
    std::vector<std::string> boxes;
    std::function<void()> onBox;
    VobcastChoice answer{0, 250, 1800};  // what the chooser answers
    bool accept = true;
    int dialogs = 0;
    std::filesystem::path dir;
};
