#include "place_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace vobcast::cli {
namespace {

// The kernel's answer where a file system offers no way to refuse a replace.
bool Unsupported(int error) { return error == EINVAL || error == ENOSYS || error == EOPNOTSUPP || error == EPERM; }

} // namespace

int PlaceWithoutReplacing(const std::string& from, const std::string& to) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
    if (!Unsupported(errno)) return errno;
    // A second name for the file, then the first one gone: refused where the
    // name exists, as atomically as the rename.
    if (::link(from.c_str(), to.c_str()) == 0) return ::unlink(from.c_str()) == 0 ? 0 : errno;
    if (!Unsupported(errno)) return errno;
    // FAT has neither: the name is claimed by creating it exclusively, then
    // the finished file is renamed over the claim, which is ours.
    const int fd = ::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) return errno;
    ::close(fd);
    if (::rename(from.c_str(), to.c_str()) == 0) return 0;
    const int error = errno;
    ::unlink(to.c_str());
    return error;
}

} // namespace vobcast::cli
