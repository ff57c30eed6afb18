// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QCoreApplication>
#include <chrono>
#include <functional>
#include <thread>

// Serves the main thread's event queue, as the program's event loop would,
// until Done() holds or the time runs out.
inline bool ServeUntil(const std::function<bool()>& Done, std::chrono::milliseconds Limit = std::chrono::seconds(10)) {
    const auto Deadline = std::chrono::steady_clock::now() + Limit;
    while (!Done()) {
        if (std::chrono::steady_clock::now() > Deadline)
            return false;
        QCoreApplication::processEvents();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

inline void ServeFor(std::chrono::milliseconds Span) {
    ServeUntil([] { return false; }, Span);
}
