#include "device_monitor.h"

#include "platform/shell/mount_table.h"

#include <QLoggingCategory>
#include <QObject>
#include <QSocketNotifier>
#include <QTimer>

#include <libudev.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

Q_LOGGING_CATEGORY(lcDevices, "marbleway.devices", QtWarningMsg)

namespace sysinfo {
namespace {

// The mounts a disc or a DVD image makes, as point and source: a USB stick,
// a network share or a package's loop mount is none of the list's business.
std::set<std::string> DiscMounts() {
    std::set<std::string> discs;
    for (const shell::MountEntry& m : shell::ReadMountTable())
        if (shell::IsDiscMount(m)) discs.insert(m.point + '\n' + m.source);
    return discs;
}

} // namespace

class DeviceMonitor::Watch : public QObject {
public:
    explicit Watch(DeviceEvents events) : events_(std::move(events)) {
        Monitors().push_back(this);
        for (QTimer* t : {&arrival_, &removal_}) {
            t->setSingleShot(true);
            t->setInterval(0);
        }
        connect(&arrival_, &QTimer::timeout, this, [this] {
            if (events_.DeviceArrival) events_.DeviceArrival();
        });
        connect(&removal_, &QTimer::timeout, this, [this] {
            if (events_.DeviceRemoveComplete) events_.DeviceRemoveComplete();
        });
        if (WatchingMachine()) {
            WatchMounts();
            WatchUdev();
        }
    }
    ~Watch() override {
        std::erase(Monitors(), this);
        delete mount_notifier_;
        delete udev_notifier_;
        if (mountinfo_fd_ >= 0) ::close(mountinfo_fd_);
        if (monitor_ != nullptr) udev_monitor_unref(monitor_);
        if (udev_ != nullptr) udev_unref(udev_);
    }

    // Runs a handler from the event loop, after the current call returns; a
    // burst of events of one kind (a disc's partitions) makes one call.
    void Later(bool arrival) { (arrival ? arrival_ : removal_).start(); }

    static bool& WatchingMachine() {
        static bool watch = true;
        return watch;
    }

    static std::vector<Watch*>& Monitors() {
        static std::vector<Watch*> monitors;
        return monitors;
    }

private:
    void WatchMounts() {
        mountinfo_fd_ = ::open("/proc/self/mountinfo", O_RDONLY | O_CLOEXEC);
        if (mountinfo_fd_ < 0) {
            qCWarning(lcDevices, "cannot watch the mount table; discs mounted later are not noticed");
            return;
        }
        mounts_ = DiscMounts();
        // The mount table signals a change as an exceptional condition (POLLPRI).
        mount_notifier_ = new QSocketNotifier(mountinfo_fd_, QSocketNotifier::Exception, this);
        connect(mount_notifier_, &QSocketNotifier::activated, this, [this] { MountsChanged(); });
    }

    void MountsChanged() {
        std::set<std::string> now = DiscMounts();
        const bool added = std::any_of(now.begin(), now.end(), [&](const std::string& p) { return !mounts_.contains(p); });
        const bool removed = std::any_of(mounts_.begin(), mounts_.end(), [&](const std::string& p) { return !now.contains(p); });
        mounts_ = std::move(now);
        qCDebug(lcDevices) << "mount table changed; disc mounted" << added << "disc unmounted" << removed;
        if (removed) Later(false);
        if (added) Later(true);
    }

    void WatchUdev() {
        udev_ = udev_new();
        if (udev_ == nullptr) return;
        monitor_ = udev_monitor_new_from_netlink(udev_, "udev");
        if (monitor_ == nullptr || udev_monitor_filter_add_match_subsystem_devtype(monitor_, "block", nullptr) < 0 ||
            udev_monitor_enable_receiving(monitor_) < 0) {
            qCDebug(lcDevices, "no udev monitor; the mount table alone tells of devices");
            return;
        }
        udev_notifier_ = new QSocketNotifier(udev_monitor_get_fd(monitor_), QSocketNotifier::Read, this);
        connect(udev_notifier_, &QSocketNotifier::activated, this, [this] { UdevEvent(); });
    }

    void UdevEvent() {
        udev_device* device = udev_monitor_receive_device(monitor_);
        if (device == nullptr) return;
        const std::string action = udev_device_get_action(device) != nullptr ? udev_device_get_action(device) : "";
        const char* media = udev_device_get_property_value(device, "ID_CDROM_MEDIA");
        const char* media_change = udev_device_get_property_value(device, "DISK_MEDIA_CHANGE");
        const char* cdrom = udev_device_get_property_value(device, "ID_CDROM");
        qCDebug(lcDevices) << "udev" << action.c_str() << udev_device_get_sysname(device);
        // Only optical drives: a stick's disk comes and goes without a disc.
        if (cdrom == nullptr || std::string(cdrom) != "1") {
            udev_device_unref(device);
            return;
        }
        if (action == "add") Later(true);
        else if (action == "remove") Later(false);
        else if (action == "change" && media_change != nullptr) Later(media != nullptr && std::string(media) == "1");
        udev_device_unref(device);
    }

    DeviceEvents events_;
    QTimer arrival_;
    QTimer removal_;
    int mountinfo_fd_ = -1;
    std::set<std::string> mounts_;
    QSocketNotifier* mount_notifier_ = nullptr;
    udev* udev_ = nullptr;
    udev_monitor* monitor_ = nullptr;
    QSocketNotifier* udev_notifier_ = nullptr;
};

DeviceMonitor::DeviceMonitor(DeviceEvents events) : watch_(std::make_unique<Watch>(std::move(events))) {}
DeviceMonitor::~DeviceMonitor() = default;

void DeviceMonitor::PlugFakeDevice() {
    for (Watch* w : Watch::Monitors()) w->Later(true);
}

void DeviceMonitor::UnplugFakeDevice() {
    for (Watch* w : Watch::Monitors()) w->Later(false);
}

void DeviceMonitor::WatchMachine(bool watch) { Watch::WatchingMachine() = watch; }

} // namespace sysinfo
