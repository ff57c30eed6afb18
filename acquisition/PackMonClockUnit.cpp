// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#include "PackMonClockUnit.h"

#include "PackMonConstantsAndTypesUnit.h"

#include <QDateTime>
#include <ctime>

TPackMonClock::~TPackMonClock() = default;

namespace {

constexpr double UnixEpochAsDateTime = 25569.0; // 1970-01-01 in days since 1899-12-30
constexpr double MsecsPerDay = SecondsPerDay * 1000.0;

class TSystemClock final : public TPackMonClock {
  public:
    double LocalNow() const override { return LocalDateTimeOfUtc(QDateTime::currentMSecsSinceEpoch()); }
    // CLOCK_BOOTTIME keeps counting while the machine is suspended: a laptop
    // that sleeps through part of a run must not shift every later reading.
    double MonotonicNow() const override {
        timespec Now{};
        clock_gettime(CLOCK_BOOTTIME, &Now);
        return (static_cast<double>(Now.tv_sec) + static_cast<double>(Now.tv_nsec) / 1e9) / SecondsPerDay;
    }
};

} // namespace

double LocalDateTimeOfUtc(std::int64_t UtcMs) {
    const QDateTime At = QDateTime::fromMSecsSinceEpoch(UtcMs);
    const double LocalMsecs = static_cast<double>(UtcMs) + 1000.0 * At.offsetFromUtc();
    return UnixEpochAsDateTime + LocalMsecs / MsecsPerDay;
}

const TPackMonClock& SystemClock() {
    static const TSystemClock Clock;
    return Clock;
}
