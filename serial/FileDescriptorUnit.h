// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <unistd.h>
#include <utility>

// One open file descriptor, closed when its owner goes; -1 owns nothing.
class TFileDescriptor {
  public:
    TFileDescriptor() = default;
    explicit TFileDescriptor(int AFd) : Fd(AFd) {}
    ~TFileDescriptor() { Reset(); }
    TFileDescriptor(TFileDescriptor&& Other) noexcept : Fd(std::exchange(Other.Fd, -1)) {}
    TFileDescriptor& operator=(TFileDescriptor&& Other) noexcept {
        if (this != &Other)
            Reset(std::exchange(Other.Fd, -1));
        return *this;
    }
    TFileDescriptor(const TFileDescriptor&) = delete;
    TFileDescriptor& operator=(const TFileDescriptor&) = delete;

    int Get() const { return Fd; }
    bool Valid() const { return Fd >= 0; }
    // Hands the descriptor over; nothing is closed.
    int Release() { return std::exchange(Fd, -1); }
    // Closes what it owned and takes New; false, with errno set, when the
    // close failed (the descriptor is gone all the same).
    bool Reset(int New = -1) {
        const int Old = std::exchange(Fd, New);
        return Old < 0 || ::close(Old) == 0;
    }

  private:
    int Fd = -1;
};
