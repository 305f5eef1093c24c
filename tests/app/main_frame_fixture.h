// An offscreen MainFrame on the real skin, with a configuration folder of its
// own so that no test touches the user's DVD.ini.
#pragma once

#include "app/shell/main_frame.h"
#include "app/shell/settings_store.h"
#include "platform/shell/drives.h"
#include "platform/sysinfo/device_monitor.h"
#include "platform/ui/message_box.h"
#include "temp_folder.h"

#include <QTest>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

// Made before the window, so that its device monitor does not watch the
// machine: other tests running at the same time mount and unmount disc images,
// and a window that heard of them would empty its list in the middle of a test.
struct FakeDevicesOnly {
    FakeDevicesOnly() { sysinfo::DeviceMonitor::WatchMachine(false); }
    ~FakeDevicesOnly() { sysinfo::DeviceMonitor::WatchMachine(true); }
};

class MainFrameTest : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("XDG_CONFIG_HOME", config.path().c_str(), 1);
        ui::SetMessageSink([this](std::string_view text) { boxes.emplace_back(text); });
        shell::SetDriveProvider(drives);  // no drive of the machine's reaches a test
        frame.Form_Load();
        frame.show();
        surface = frame.findChild<QWidget*>("skin-surface");
        ASSERT_NE(surface, nullptr);
    }
    void TearDown() override {
        unsetenv("XDG_CONFIG_HOME");
        ui::SetMessageSink(nullptr);
        shell::SetDriveProvider(nullptr);
    }

    // Clicks the middle of a skin object, as a user would.
    void ClickOn(const skin::Object& object) {
        const skin::Rect r = object.GetRect();
        QTest::mouseClick(surface, Qt::LeftButton, {}, QPoint((r.left + r.right) / 2, (r.top + r.bottom) / 2));
    }

    skin::Object& Named(const char* name) { return *frame.Skin.GetSkinWindow(frame.Handle())->FindObject(name); }

    void Fill(int entries, const std::string& prefix = "/media/cdrom0/VIDEO_TS/VTS_") {
        for (int i = 1; i <= entries; ++i) frame.List.FileList.Set(i, prefix + std::to_string(i) + ".VOB");
    }

    FakeDevicesOnly fake_devices_only_;
    testing_support::TempFolder config;
    std::shared_ptr<shell::FakeDrives> drives = std::make_shared<shell::FakeDrives>();
    MainFrame frame;
    QWidget* surface = nullptr;
    std::vector<std::string> boxes;  // the program's message boxes
};
