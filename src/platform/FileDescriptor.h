#pragma once

// Owns one open file descriptor and closes it when it goes. Only moved, never copied: two
// owners would close the same number twice, and the second close could hit someone else's
// file.
class TFd {
public:
    TFd() = default;
    explicit TFd(int Handle) noexcept : FHandle(Handle) {}
    ~TFd() { Reset(); }
    TFd(TFd&& Other) noexcept : FHandle(Other.Release()) {}
    TFd& operator=(TFd&& Other) noexcept;
    TFd(const TFd&) = delete;
    TFd& operator=(const TFd&) = delete;

    int Get() const { return FHandle; }
    bool Valid() const { return FHandle >= 0; }
    // Hands the descriptor over without closing it.
    int Release() noexcept;
    // Closes the descriptor (if any) and takes Handle; errno stays as it was, so a failed
    // step can still be reported after the cleanup.
    void Reset(int Handle = -1) noexcept;
    // Closes now. False when the system reports a failure, errno saying why; Linux releases
    // the descriptor all the same, so it is gone either way.
    bool Close() noexcept;

private:
    int FHandle = -1;
};
