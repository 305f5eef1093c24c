#include "mount_table.h"

#include <climits>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace shell {
namespace {

// Mount points come with spaces and the like written as octal escapes.
std::string Unescape(const std::string& s) {
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\\' && i + 3 < s.size()) {
            const std::string octal = s.substr(i + 1, 3);
            if (octal.find_first_not_of("01234567") == std::string::npos) {
                out.push_back(static_cast<char>(std::strtol(octal.c_str(), nullptr, 8)));
                i += 3;
                continue;
            }
        }
        out.push_back(s[i]);
    }
    return out;
}

} // namespace

std::vector<MountEntry> ReadMountTable() {
    std::vector<MountEntry> mounts;
    std::ifstream in("/proc/self/mountinfo");
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::string id, parent, devno, root, point, options, field;
        fields >> id >> parent >> devno >> root >> point >> options;
        while (fields >> field && field != "-") {
        }
        MountEntry m;
        m.point = Unescape(point);
        fields >> m.fsType >> m.source;
        m.source = Unescape(m.source);
        mounts.push_back(std::move(m));
    }
    return mounts;
}

bool IsDiscImageType(const std::string& fsType) {
    return fsType == "iso9660" || fsType == "udf" || fsType == "fuse.fuseiso";
}

bool IsOpticalDevice(const std::string& source) {
    if (source.rfind("/dev/", 0) != 0) return false;
    char resolved[PATH_MAX];
    const std::string device = ::realpath(source.c_str(), resolved) != nullptr ? resolved : source;
    const std::string name = device.substr(device.rfind('/') + 1);
    std::ifstream type("/sys/class/block/" + name + "/device/type");
    int code = -1;
    return type >> code && code == 5;
}

} // namespace shell
