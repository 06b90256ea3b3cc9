#include "support/WriteProtection.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include "platform/UniqueFd.h"

namespace kx::test {

namespace fs = std::filesystem;

WriteProtection::WriteProtection(const fs::path& path) : path_(path), asRoot_(::geteuid() == 0) {
    if (asRoot_) {
        active_ = SetImmutable(true);
        return;
    }
    std::error_code error;
    savedPermissions_ = fs::status(path_, error).permissions();
    if (error) return;
    fs::permissions(path_,
                    fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove, error);
    active_ = !error;
}

WriteProtection::~WriteProtection() {
    if (!active_) return;
    if (asRoot_) {
        SetImmutable(false);
    } else {
        std::error_code error;
        fs::permissions(path_, savedPermissions_, error);
    }
}

bool WriteProtection::SetImmutable(bool on) const {
    UniqueFd fd(::open(path_.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (!fd.valid()) return false;
    int flags = 0;
    if (::ioctl(fd.get(), FS_IOC_GETFLAGS, &flags) != 0) return false;
    flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
    return ::ioctl(fd.get(), FS_IOC_SETFLAGS, &flags) == 0;
}

}  // namespace kx::test
