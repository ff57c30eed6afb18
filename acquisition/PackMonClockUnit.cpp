// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#include "PackMonClockUnit.h"

#include "PackMonConstantsAndTypesUnit.h"

#include <QDateTime>
#include <chrono>

TPackMonClock::~TPackMonClock() = default;

namespace {

constexpr double UnixEpochAsDateTime = 25569.0; // 1970-01-01 in days since 1899-12-30
constexpr double MsecsPerDay = SecondsPerDay * 1000.0;

class TSystemClock final : public TPackMonClock {
  public:
    double LocalNow() const override {
        const QDateTime Now = QDateTime::currentDateTime();
        const double LocalMsecs = static_cast<double>(Now.toMSecsSinceEpoch()) + 1000.0 * Now.offsetFromUtc();
        return UnixEpochAsDateTime + LocalMsecs / MsecsPerDay;
    }
    double MonotonicNow() const override {
        using namespace std::chrono;
        const auto Since = steady_clock::now().time_since_epoch();
        return duration<double>(Since).count() / SecondsPerDay;
    }
};

} // namespace

const TPackMonClock& SystemClock() {
    static const TSystemClock Clock;
    return Clock;
}
