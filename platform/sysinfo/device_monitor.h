// The system-information control's device events: a device arrived, a device
// went away. Stands in for the Windows SysInfo control.
//
// Two sources feed it: a libudev monitor of block devices (a disc put into or
// taken out of an optical drive, a stick plugged in or pulled), where a udev
// daemon runs, and the mount table, whose every change is seen through poll()
// on /proc/self/mountinfo: a disc's files become readable only once it is
// mounted, which may be some time after the drive reported it. A new mount of
// an optical drive or of a DVD-like file system (UDF, ISO 9660, a fuseiso
// image) is an arrival, one that vanished a removal; other mounts (USB sticks,
// network shares) change nothing.
#pragma once

#include <functional>
#include <memory>

namespace sysinfo {

struct DeviceEvents {
    std::function<void()> DeviceArrival;
    std::function<void()> DeviceRemoveComplete;
};

class DeviceMonitor {
public:
    // Starts watching. The handlers run on the thread that made the monitor,
    // from its event loop, never from inside a call of the monitor.
    explicit DeviceMonitor(DeviceEvents events);
    ~DeviceMonitor();
    DeviceMonitor(const DeviceMonitor&) = delete;
    DeviceMonitor& operator=(const DeviceMonitor&) = delete;

    // Fake hardware for tests: every live monitor reports an arrival or a
    // removal from its event loop, as if a device had come or gone.
    static void PlugFakeDevice();
    static void UnplugFakeDevice();
    // Whether monitors made from now on watch the machine's devices and
    // mounts (the default) or hear only of fake ones, so that a test is not
    // disturbed by what other programs mount meanwhile.
    static void WatchMachine(bool watch);

private:
    class Watch;
    std::unique_ptr<Watch> watch_;
};

} // namespace sysinfo
