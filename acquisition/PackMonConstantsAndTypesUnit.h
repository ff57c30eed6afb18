// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

// What a decoded record announced. The numbering is part of what the
// rest of the program stores and compares, so it must not change.
enum TReadingKind : std::uint8_t {
    rkNone = 0,
    rkBulkStart = 1,
    rkBulkEnd = 2,
    rkTimeValue = 3,
    rkData = 4,
};

constexpr int CellCount = 8;

// One decoded record, copied whole at every hand-over to the main thread.
// Time is a date-time in days: the elapsed time of a data record, or the
// announced record count of a bulk start.
struct TReadingRecord {
    double Time = 0.0;
    double BatteryVolts = 0.0;
    double CellVolts[CellCount] = {};
    TReadingKind Kind = rkNone;
    // The sample interval in seconds that a time-value or bulk-start record
    // announced, for those who keep a session's settings; 0 otherwise.
    double Interval = 0.0;
};

// Every failure the program reports carries a message, logged verbatim.
// Message() keeps the whole text; what() stops at an embedded NUL, which a
// damaged record can put into a conversion message.
class EPackMonException : public std::runtime_error {
  public:
    explicit EPackMonException(const std::string& AMessage) : std::runtime_error(AMessage), Text(AMessage) {}
    const std::string& Message() const { return Text; }

  private:
    std::string Text;
};

// The message of any failure, whole where the failure kept it whole.
inline std::string FailureMessage(const std::exception& Failure) {
    if (const auto* Own = dynamic_cast<const EPackMonException*>(&Failure))
        return Own->Message();
    return Failure.what();
}

// A field of a record that is not a number of the expected kind.
class EConvertError : public EPackMonException {
  public:
    using EPackMonException::EPackMonException;
};

constexpr double SecondsPerDay = 86400.0;
