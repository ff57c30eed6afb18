// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#include "FieldConversionUnit.h"

#include "PackMonConstantsAndTypesUnit.h"

#include <QLocale>
#include <QString>
#include <charconv>
#include <string>
#include <system_error>

namespace {

[[noreturn]] void Fail(std::string_view Text, const char* What) {
    std::string Message;
    Message.reserve(Text.size() + 40);
    Message += '\'';
    Message += Text;
    Message += "' is not a valid ";
    Message += What;
    Message += " value";
    throw EConvertError(Message);
}

bool IsDigit(char C) { return C >= '0' && C <= '9'; }

std::size_t SkipSpaces(std::string_view Text) {
    std::size_t I = 0;
    while (I < Text.size() && Text[I] == ' ')
        ++I;
    return I;
}

std::size_t SkipDigits(std::string_view Text, std::size_t I) {
    while (I < Text.size() && IsDigit(Text[I]))
        ++I;
    return I;
}

// Length of a well-formed decimal number at the start of Text, or 0.
std::size_t DecimalNumberLength(std::string_view Text) {
    std::size_t I = 0;
    if (I < Text.size() && (Text[I] == '+' || Text[I] == '-'))
        ++I;
    const std::size_t IntStart = I;
    I = SkipDigits(Text, I);
    std::size_t Digits = I - IntStart;
    if (I < Text.size() && Text[I] == '.') {
        const std::size_t FracStart = ++I;
        I = SkipDigits(Text, I);
        Digits += I - FracStart;
    }
    if (Digits == 0)
        return 0;
    if (I < Text.size() && (Text[I] == 'e' || Text[I] == 'E')) {
        std::size_t J = I + 1;
        if (J < Text.size() && (Text[J] == '+' || Text[J] == '-'))
            ++J;
        const std::size_t ExpStart = J;
        J = SkipDigits(Text, J);
        if (J == ExpStart)
            return 0;
        I = J;
    }
    return I;
}

} // namespace

std::int32_t StrToInt(std::string_view Text) {
    const char* const What = "integer";
    std::size_t I = SkipSpaces(Text);
    bool Negative = false;
    if (I < Text.size() && (Text[I] == '+' || Text[I] == '-')) {
        Negative = Text[I] == '-';
        ++I;
    }
    const std::size_t DigitsEnd = SkipDigits(Text, I);
    if (DigitsEnd == I || DigitsEnd != Text.size())
        Fail(Text, What);
    std::uint64_t Magnitude = 0;
    const auto [End, Error] = std::from_chars(Text.data() + I, Text.data() + DigitsEnd, Magnitude);
    const std::uint64_t Limit = Negative ? 2147483648ull : 2147483647ull;
    if (Error != std::errc() || End != Text.data() + DigitsEnd || Magnitude > Limit)
        Fail(Text, What);
    return Negative ? static_cast<std::int32_t>(-static_cast<std::int64_t>(Magnitude))
                    : static_cast<std::int32_t>(Magnitude);
}

double StrToFloat(std::string_view Text) {
    const char* const What = "floating point";
    const std::size_t Start = SkipSpaces(Text);
    std::string_view Number = Text.substr(Start);
    const std::size_t Length = DecimalNumberLength(Number);
    if (Length == 0 || Length != Number.size())
        Fail(Text, What);
    // from_chars takes no "+" sign; the grammar above has already been checked.
    if (Number.front() == '+')
        Number.remove_prefix(1);
    double Value = 0.0;
    const auto [End, Error] =
        std::from_chars(Number.data(), Number.data() + Number.size(), Value, std::chars_format::general);
    if (Error != std::errc() || End != Number.data() + Number.size())
        Fail(Text, What);
    return Value;
}

char UserDecimalSeparator() {
    const QString Point = QLocale().decimalPoint();
    return Point.size() == 1 && Point[0].unicode() < 128 ? static_cast<char>(Point[0].unicode()) : '.';
}

double DeviceStrToFloat(std::string_view Text, char LocaleSeparator) {
    const std::size_t At = LocaleSeparator == '.' ? std::string_view::npos : Text.find(LocaleSeparator);
    if (At == std::string_view::npos)
        return StrToFloat(Text);
    std::string Pointed(Text);
    Pointed[At] = '.';
    try {
        return StrToFloat(Pointed);
    } catch (const EConvertError&) {
        return StrToFloat(Text); // fails with the field as the monitor sent it
    }
}
