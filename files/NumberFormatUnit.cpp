// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#include "NumberFormatUnit.h"

#include <QDate>
#include <QLocale>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace {

constexpr int GeneralPrecision = 15;

struct TDecimalDigits {
    std::string Digits; // significant digits, no trailing zeros, at least one
    int Exponent = 0;   // the value is 0.Digits × 10^(Exponent + 1)
    bool Negative = false;
};

TDecimalDigits SignificantDigits(double Value) {
    // A value per grid cell per record passes here: to_chars is several
    // times faster than printf.
    char Text[64];
    const auto Written =
        std::to_chars(Text, Text + sizeof Text, std::fabs(Value), std::chars_format::scientific, GeneralPrecision - 1);
    TDecimalDigits Result;
    Result.Negative = std::signbit(Value);
    const char* E = Text;
    while (E < Written.ptr && *E != 'e')
        ++E;
    for (const char* C = Text; C < E; ++C)
        if (*C != '.')
            Result.Digits += *C;
    int Exponent = 0;
    const char* ExponentStart = E + 1 < Written.ptr && E[1] == '+' ? E + 2 : E + 1;
    std::from_chars(ExponentStart, Written.ptr, Exponent);
    Result.Exponent = Exponent;
    while (Result.Digits.size() > 1 && Result.Digits.back() == '0')
        Result.Digits.pop_back();
    return Result;
}

// Readings are whole millivolts, so nearly every value written is the
// double nearest to a number of thousandths. Fifteen significant digits of
// such a double are that decimal exactly (its error is below a tenth of the
// fifteenth digit), so it can be written from the integer, byte for byte as
// the general way would, without the digit search. False for anything else.
// Writes the text at Out (room for 24 characters) and gives its length; 0
// for anything that is not such a double.
std::size_t ThousandthsChars(double Value, char DecimalSeparator, char* Out) {
    const double Scaled = Value * 1000.0;
    if (!(std::fabs(Scaled) < 1e14))
        return 0;
    // Any near integer will do: the test below decides.
    const auto Thousandths = static_cast<long long>(Scaled < 0 ? Scaled - 0.5 : Scaled + 0.5);
    if (static_cast<double>(Thousandths) / 1000.0 != Value)
        return 0;
    char Digits[24];
    char* End = std::to_chars(Digits, Digits + sizeof Digits, Thousandths < 0 ? -Thousandths : Thousandths).ptr;
    std::size_t Count = static_cast<std::size_t>(End - Digits);
    char* At = Out;
    if (Thousandths < 0)
        *At++ = '-';
    std::size_t Fraction = 3;
    while (Fraction > 0 && Digits[Count - 1] == '0') {
        --Count;
        --Fraction;
    }
    if (Count <= Fraction) {
        *At++ = '0';
        *At++ = DecimalSeparator;
        At = std::fill_n(At, Fraction - Count, '0');
        At = std::copy_n(Digits, Count, At);
        return static_cast<std::size_t>(At - Out);
    }
    At = std::copy_n(Digits, Count - Fraction, At);
    if (Fraction > 0) {
        *At++ = DecimalSeparator;
        At = std::copy_n(Digits + Count - Fraction, Fraction, At);
    }
    return static_cast<std::size_t>(At - Out);
}

void TwoDigits(long long Value, char* At) {
    At[0] = static_cast<char>('0' + Value / 10 % 10);
    At[1] = static_cast<char>('0' + Value % 10);
}

} // namespace

std::string FloatToStrGeneral(double Value, char DecimalSeparator) {
    if (Value == 0.0)
        return "0";
    if (!std::isfinite(Value))
        return std::isnan(Value) ? "NAN" : (Value > 0 ? "INF" : "-INF");
    char Fast[24];
    if (const std::size_t Length = ThousandthsChars(Value, DecimalSeparator, Fast))
        return std::string(Fast, Length);
    const TDecimalDigits D = SignificantDigits(Value);
    std::string Text = D.Negative ? "-" : "";
    const int IntegerDigits = D.Exponent + 1;
    if (IntegerDigits <= GeneralPrecision && std::fabs(Value) >= 0.00001) {
        if (IntegerDigits <= 0) {
            Text += '0';
            Text += DecimalSeparator;
            Text.append(static_cast<std::size_t>(-IntegerDigits), '0');
            Text += D.Digits;
        } else if (static_cast<std::size_t>(IntegerDigits) >= D.Digits.size()) {
            Text += D.Digits;
            Text.append(static_cast<std::size_t>(IntegerDigits) - D.Digits.size(), '0');
        } else {
            Text += D.Digits.substr(0, static_cast<std::size_t>(IntegerDigits));
            Text += DecimalSeparator;
            Text += D.Digits.substr(static_cast<std::size_t>(IntegerDigits));
        }
        return Text;
    }
    Text += D.Digits[0];
    if (D.Digits.size() > 1) {
        Text += DecimalSeparator;
        Text += D.Digits.substr(1);
    }
    Text += 'E';
    Text += std::to_string(D.Exponent);
    return Text;
}

void AppendFloatGeneral(double Value, std::size_t Width, std::string& Out, char DecimalSeparator) {
    // The common case written from the right straight into its field: whole
    // thousandths below a billion, at most 14 characters ("-999999999.999").
    const double Scaled = Value * 1000.0;
    if (Value != 0.0 && std::fabs(Scaled) < 1e12 && Width >= 14) {
        const auto Thousandths = static_cast<long long>(Scaled < 0 ? Scaled - 0.5 : Scaled + 0.5);
        if (static_cast<double>(Thousandths) / 1000.0 == Value) {
            const std::size_t Start = Out.size();
            Out.append(Width, ' ');
            char* At = Out.data() + Start + Width;
            auto Magnitude = static_cast<unsigned long long>(Thousandths < 0 ? -Thousandths : Thousandths);
            unsigned Fraction = static_cast<unsigned>(Magnitude % 1000);
            Magnitude /= 1000;
            if (Fraction != 0) {
                int Digits = 3;
                for (; Fraction % 10 == 0; Fraction /= 10)
                    --Digits;
                for (; Digits > 0; --Digits, Fraction /= 10)
                    *--At = static_cast<char>('0' + Fraction % 10);
                *--At = DecimalSeparator;
            }
            do {
                *--At = static_cast<char>('0' + Magnitude % 10);
                Magnitude /= 10;
            } while (Magnitude != 0);
            if (Thousandths < 0)
                *--At = '-';
            return;
        }
    }
    const std::string Text = FloatToStrGeneral(Value, DecimalSeparator);
    if (Text.size() < Width)
        Out.append(Width - Text.size(), ' ');
    Out += Text;
}

std::string FormatThousandsThreeDecimals(double Value, char DecimalSeparator, char ThousandSeparator) {
    if (!std::isfinite(Value))
        return FloatToStrGeneral(Value, DecimalSeparator);
    char Fixed[400];
    std::snprintf(Fixed, sizeof Fixed, "%.3f", std::fabs(Value));
    std::string Digits(Fixed);
    const std::size_t Point = Digits.find('.');
    std::string Integer = Digits.substr(0, Point);
    std::string Fraction = Digits.substr(Point + 1);
    while (!Fraction.empty() && Fraction.back() == '0')
        Fraction.pop_back();

    std::string Grouped;
    for (std::size_t I = 0; I < Integer.size(); ++I) {
        if (I > 0 && (Integer.size() - I) % 3 == 0)
            Grouped += ThousandSeparator;
        Grouped += Integer[I];
    }
    const bool Zero = Integer == "0" && Fraction.empty();
    std::string Text = Value < 0 && !Zero ? "-" : "";
    Text += Grouped;
    if (!Fraction.empty()) {
        Text += DecimalSeparator;
        Text += Fraction;
    }
    return Text;
}

namespace {

long long MillisOfDay(double DateTime) {
    const double Fraction = std::fabs(DateTime - std::trunc(DateTime));
    // An exact half goes to the even neighbour, as the rest of the number
    // handling rounds (the default rounding mode); llround would go up.
    long long Millis = static_cast<long long>(std::nearbyint(Fraction * 86400000.0));
    if (Millis >= 86400000)
        Millis -= 86400000;
    return Millis;
}

} // namespace

std::string FormatTimeOfDayMillis(double DateTime, char TimeSeparator) {
    if (!std::isfinite(DateTime))
        return "";
    const long long Millis = MillisOfDay(DateTime);
    const long long Seconds = Millis / 1000;
    // Every CSV row starts with one: written by hand, not through printf.
    char Text[12] = "00:00:00.00";
    TwoDigits(Seconds / 3600, Text);
    Text[2] = TimeSeparator;
    TwoDigits(Seconds / 60 % 60, Text + 3);
    Text[5] = TimeSeparator;
    TwoDigits(Seconds % 60, Text + 6);
    Text[9] = static_cast<char>('0' + Millis % 1000 / 100);
    TwoDigits(Millis % 100, Text + 10);
    return std::string(Text, 12);
}

std::string FormatTimeOfDay(double DateTime, char TimeSeparator) {
    if (!std::isfinite(DateTime))
        return "";
    const long long Seconds = MillisOfDay(DateTime) / 1000;
    char Text[64];
    std::snprintf(Text, sizeof Text, "%02lld%c%02lld%c%02lld", Seconds / 3600, TimeSeparator, Seconds / 60 % 60,
                  TimeSeparator, Seconds % 60);
    return Text;
}

std::string FormatElapsedLabel(double Days, bool WithSeconds, char TimeSeparator) {
    if (!std::isfinite(Days) || Days < 0)
        return "";
    const long long Seconds = std::llround(Days * 86400.0);
    if (Seconds < 86400)
        return FormatTimeOfDay(Days, TimeSeparator);
    char Text[64];
    const int Length = std::snprintf(Text, sizeof Text, "%lldd %02lld%c%02lld", Seconds / 86400, Seconds / 3600 % 24,
                                     TimeSeparator, Seconds / 60 % 60);
    std::string Label(Text, static_cast<std::size_t>(Length));
    if (WithSeconds) {
        std::snprintf(Text, sizeof Text, "%c%02lld", TimeSeparator, Seconds % 60);
        Label += Text;
    }
    return Label;
}

std::string FormatLogTimeStamp(double LocalDateTime, char TimeSeparator) {
    if (!std::isfinite(LocalDateTime))
        return "";
    const double Days = std::floor(LocalDateTime);
    const QDate Date = QDate(1899, 12, 30).addDays(static_cast<qint64>(Days));
    const long long Millis = MillisOfDay(LocalDateTime - Days);
    const long long Seconds = Millis / 1000;
    char Text[64];
    std::snprintf(Text, sizeof Text, "%04d-%02d-%02d %02lld%c%02lld%c%02lld.%03lld", Date.year(), Date.month(),
                  Date.day(), Seconds / 3600, TimeSeparator, Seconds / 60 % 60, TimeSeparator, Seconds % 60,
                  Millis % 1000);
    return Text;
}

char UserTimeSeparator() {
    // The first character after the hours in the locale's short time format.
    const QString Format = QLocale().timeFormat(QLocale::ShortFormat);
    bool InHours = false;
    for (const QChar C : Format) {
        const bool Hour = C == QLatin1Char('h') || C == QLatin1Char('H');
        if (InHours && !Hour)
            return C.unicode() < 128 && !C.isLetterOrNumber() && !C.isSpace() ? static_cast<char>(C.unicode()) : ':';
        InHours = InHours || Hour;
    }
    return ':';
}
