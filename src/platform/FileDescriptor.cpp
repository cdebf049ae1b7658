#include "platform/FileDescriptor.h"

#include <cerrno>
#include <unistd.h>
#include <utility>

TFd& TFd::operator=(TFd&& Other) noexcept {
    if (this != &Other)
        Reset(Other.Release());
    return *this;
}

int TFd::Release() noexcept {
    return std::exchange(FHandle, -1);
}

void TFd::Reset(int Handle) noexcept {
    const int Saved = errno;
    Close();
    FHandle = Handle;
    errno = Saved;
}

bool TFd::Close() noexcept {
    if (FHandle < 0)
        return true;
    return ::close(std::exchange(FHandle, -1)) == 0;
}
