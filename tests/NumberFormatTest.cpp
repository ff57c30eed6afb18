// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#include "NumberFormatUnit.h"

#include <QLocale>
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <gtest/gtest.h>
#include <string>

namespace {

TEST(FloatToStrGeneral, ShortestTextUpToFifteenDigits) {
    const struct {
        double Value;
        const char* Text;
    } Cases[] = {
        {3.712, "3.712"},
        {4.0, "4"},
        {0.0, "0"},
        {-0.005, "-0.005"},
        {29.634, "29.634"},
        {0.1 + 0.2, "0.3"},
        {1.0 / 3.0, "0.333333333333333"},
        {0.00001, "0.00001"},
        {0.000001, "1E-6"},
        {-1.5e-7, "-1.5E-7"},
        {123456789012345.0, "123456789012345"},
        {1e15, "1E15"},
        {2.5e20, "2.5E20"},
        {-4200.0, "-4200"},
        {65.535, "65.535"},
    };
    for (const auto& Case : Cases)
        EXPECT_EQ(FloatToStrGeneral(Case.Value), Case.Text) << Case.Text;
    EXPECT_EQ(FloatToStrGeneral(3.712, ','), "3,712");
}

TEST(FloatToStrGeneral, WholeThousandthsAreWrittenAsPrintfsFifteenDigitsWriteThem) {
    // Thousandths (every reading in millivolts) take a shorter way; it must
    // give the general way's bytes, here as printf's %.15g gives them.
    std::uint64_t Seed = 12345;
    for (int I = 0; I < 200000; ++I) {
        Seed = Seed * 6364136223846793005ULL + 1442695040888963407ULL;
        const auto Digits = static_cast<long long>(Seed >> (20 + I % 40)) * (I % 2 == 0 ? 1 : -1);
        const double Value = static_cast<double>(Digits) / 1000.0;
        if (std::fabs(Value) < 0.00001 || std::fabs(Value) >= 1e15)
            continue;
        char Expected[64];
        std::snprintf(Expected, sizeof Expected, "%.15g", Value);
        ASSERT_EQ(FloatToStrGeneral(Value), Expected) << Digits;
        std::string Field = "x";
        AppendFloatGeneral(Value, 14, Field);
        ASSERT_EQ(Field,
                  "x" + std::string(std::max<std::size_t>(14, std::strlen(Expected)) - std::strlen(Expected), ' ') +
                      Expected)
            << "the export's own way, " << Digits;
    }
    EXPECT_EQ(FloatToStrGeneral(3.3005), "3.3005") << "not a whole thousandth";
    EXPECT_EQ(FloatToStrGeneral(-1234.5, ','), "-1234,5");
}

TEST(FormatThousandsThreeDecimals, GroupsThousandsAndDropsTrailingZeros) {
    const struct {
        double Value;
        const char* Text;
    } Cases[] = {
        {0.0, "0"},          {3.9, "3.9"},
        {15.64, "15.64"},    {1234.5678, "1,234.568"},
        {999.9996, "1,000"}, {-1234567.1, "-1,234,567.1"},
        {0.0004, "0"},       {-0.0004, "0"},
        {12, "12"},
    };
    for (const auto& Case : Cases)
        EXPECT_EQ(FormatThousandsThreeDecimals(Case.Value), Case.Text) << Case.Text;
    EXPECT_EQ(FormatThousandsThreeDecimals(1234.5, ',', '.'), "1.234,5");
}

TEST(FormatTimeOfDay, ShowsTheTimeOfDayOfElapsedDays) {
    constexpr double Second = 1.0 / 86400.0;
    EXPECT_EQ(FormatTimeOfDay(0.0), "00:00:00");
    EXPECT_EQ(FormatTimeOfDay(2467 * Second), "00:41:07");
    EXPECT_EQ(FormatTimeOfDay(25.0 / 24.0), "01:00:00") << "hours wrap after a day";
    EXPECT_EQ(FormatTimeOfDay(86399.9996 * Second), "00:00:00") << "rounds to the millisecond first";
    EXPECT_EQ(FormatTimeOfDay(59.9994 * Second), "00:00:59");
    EXPECT_EQ(FormatTimeOfDay(-0.25), "06:00:00");
    constexpr double Milli = Second / 1000.0;
    EXPECT_EQ(FormatTimeOfDayMillis(2.5 * Milli), "00:00:00.002") << "an exact half goes to the even neighbour";
    EXPECT_EQ(FormatTimeOfDayMillis(3.5 * Milli), "00:00:00.004");
    EXPECT_EQ(FormatTimeOfDayMillis(47109876 * Milli, '.'), "13.05.09.876");
}

TEST(FormatElapsedLabel, CountsDaysPastTheFirstInsteadOfWrapping) {
    const double Second = 1.0 / 86400;
    EXPECT_EQ(FormatElapsedLabel(86399 * Second, false), "23:59:59") << "within the first day as before";
    EXPECT_EQ(FormatElapsedLabel(26.0 / 24.0, false), "1d 02:00");
    EXPECT_EQ(FormatElapsedLabel(26.0 / 24.0 + 5 * Second, true), "1d 02:00:05");
    EXPECT_EQ(FormatElapsedLabel(10 + 0.5, false, '.'), "10d 12.00");
    EXPECT_EQ(FormatElapsedLabel(-Second, false), "");
}

} // namespace

namespace {

TEST(FormatLogTimeStamp, DateAndTimeOfALocalDateTimeInTheLocalesSeparator) {
    const double Stamp = 45000.0 + (10 * 3600 + 5 * 60 + 7.25) / 86400.0;
    EXPECT_EQ(FormatLogTimeStamp(Stamp), "2023-03-15 10:05:07.250");
    EXPECT_EQ(FormatLogTimeStamp(Stamp, '.'), "2023-03-15 10.05.07.250");
    QLocale::setDefault(QLocale(QLocale::Finnish, QLocale::Finland));
    const char Finnish = UserTimeSeparator();
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    EXPECT_EQ(UserTimeSeparator(), ':');
    QLocale::setDefault(QLocale::c());
    EXPECT_EQ(Finnish, '.');
}

} // namespace
