#pragma once

#include <QFile>
#include <QString>
#include <cerrno>
#include <cstring>
#include <sched.h>
#include <string>
#include <sys/mount.h>
#include <unistd.h>

namespace TestSupport {

// Mounts a tmpfs with Options ("size=256k") at Dir in a mount namespace of this process alone,
// so no one else sees it and it goes with the process. Empty when mounted; otherwise why not
// (no root, no namespace), for GTEST_SKIP: lacking the privilege is no failure.
inline std::string MountTmpfs(const QString& Dir, const char* Options) {
    if (::geteuid() != 0)
        return "mounting a small file system needs root";
    if (::unshare(CLONE_NEWNS) != 0)
        return std::string("no mount namespace of our own: ") + std::strerror(errno);
    if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
        return std::string("cannot make the mounts private: ") + std::strerror(errno);
    if (::mount("tmpfs", QFile::encodeName(Dir).constData(), "tmpfs", 0, Options) != 0)
        return std::string("cannot mount a tmpfs: ") + std::strerror(errno);
    return {};
}

// Detaches what MountTmpfs mounted.
inline void Unmount(const QString& Dir) {
    ::umount2(QFile::encodeName(Dir).constData(), MNT_DETACH);
}

// Remounts the tmpfs at Dir read only; false with errno set when it cannot.
inline bool RemountReadOnly(const QString& Dir) {
    return ::mount(nullptr, QFile::encodeName(Dir).constData(), nullptr, MS_REMOUNT | MS_RDONLY,
                   nullptr) == 0;
}

// Makes it writable again.
inline bool RemountReadWrite(const QString& Dir) {
    return ::mount(nullptr, QFile::encodeName(Dir).constData(), nullptr, MS_REMOUNT, nullptr) == 0;
}

} // namespace TestSupport
