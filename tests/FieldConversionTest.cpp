// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#include "FieldConversionUnit.h"
#include "PackMonConstantsAndTypesUnit.h"

#include <QLocale>
#include <clocale>
#include <gtest/gtest.h>
#include <string>

namespace {

std::string ConversionMessage(std::string_view Text, bool Integer) {
    try {
        if (Integer)
            StrToInt(Text);
        else
            StrToFloat(Text);
    } catch (const EConvertError& Failure) {
        return Failure.Message();
    }
    return "(converted)";
}

TEST(StrToInt, AcceptsDecimalWithSignAndLeadingSpaces) {
    const struct {
        const char* Text;
        std::int32_t Value;
    } Cases[] = {
        {"0", 0},
        {"3712", 3712},
        {"-250", -250},
        {"+17", 17},
        {"   42", 42},
        {"007", 7},
        {"2147483647", 2147483647},
        {"-2147483648", INT32_MIN},
        {"-0", 0},
    };
    for (const auto& Case : Cases)
        EXPECT_EQ(StrToInt(Case.Text), Case.Value) << Case.Text;
}

TEST(StrToInt, RejectsAnythingElseWithTheFieldInTheMessage) {
    const char* Cases[] = {
        "",
        " ",
        "12 ",
        "1.5",
        "abc",
        "12a",
        "+",
        "-",
        "+-1",
        "--1",
        "0x10",
        "$10",
        "1e3",
        "\t5",
        "2147483648",
        "-2147483649",
        "99999999999999999999999999",
        "1,000",
    };
    for (const char* Text : Cases)
        EXPECT_EQ(ConversionMessage(Text, true), "'" + std::string(Text) + "' is not a valid integer value") << Text;
}

TEST(StrToInt, EmbeddedNulAndHugeFieldsFailWholeNeverTruncated) {
    const std::string WithNul("12\0"
                              "34",
                              5);
    EXPECT_EQ(ConversionMessage(WithNul, true), "'" + WithNul + "' is not a valid integer value");

    const std::string Huge(1 << 20, '7');
    EXPECT_EQ(ConversionMessage(Huge, true), "'" + Huge + "' is not a valid integer value");
}

TEST(StrToFloat, AcceptsDecimalNotation) {
    const struct {
        const char* Text;
        double Value;
    } Cases[] = {
        {"1000", 1000.0}, {"2000.5", 2000.5}, {"-12.25", -12.25}, {"+3", 3.0},  {".5", 0.5},
        {"5.", 5.0},      {"1e3", 1000.0},    {"1.5E-2", 0.015},  {"  7", 7.0}, {"0", 0.0},
    };
    for (const auto& Case : Cases)
        EXPECT_DOUBLE_EQ(StrToFloat(Case.Text), Case.Value) << Case.Text;
}

TEST(StrToFloat, RejectsNonFiniteHexOverflowAndJunk) {
    const char* Cases[] = {
        "",   "inf", "-inf", "INF", "infinity", "nan", "NaN", "0x1p3", "0x10", "1e999", "-1e999",
        "1e", "1e+", ".",    "-.",  "1.2.3",    "1,5", "12 ", "e5",    "+-1",  "1 000", "\t1",
    };
    for (const char* Text : Cases)
        EXPECT_EQ(ConversionMessage(Text, false), "'" + std::string(Text) + "' is not a valid floating point value")
            << Text;
}

TEST(StrToFloat, DecimalPointIsIndependentOfTheLocale) {
    const char* Previous = std::setlocale(LC_NUMERIC, nullptr);
    const std::string Saved = Previous ? Previous : "C";
    // Any installed comma locale will do; without one the check still holds.
    for (const char* Name : {"de_DE.UTF-8", "fr_FR.UTF-8", "nl_NL.UTF-8"})
        if (std::setlocale(LC_NUMERIC, Name) != nullptr)
            break;
    EXPECT_DOUBLE_EQ(StrToFloat("1000.5"), 1000.5);
    EXPECT_THROW(StrToFloat("1000,5"), EConvertError);
    std::setlocale(LC_NUMERIC, Saved.c_str());
}

TEST(DeviceStrToFloat, TakesTheLocalesSeparatorAsWellAsThePoint) {
    EXPECT_DOUBLE_EQ(DeviceStrToFloat("250,5", ','), 250.5);
    EXPECT_DOUBLE_EQ(DeviceStrToFloat("250.5", ','), 250.5) << "the point always";
    try {
        DeviceStrToFloat("1,2,3", ',');
        ADD_FAILURE() << "two separators taken";
    } catch (const EConvertError& Failure) {
        EXPECT_EQ(Failure.Message(), "'1,2,3' is not a valid floating point value") << "the field as it came";
    }
    EXPECT_THROW(DeviceStrToFloat("250,5", '.'), EConvertError) << "a comma only where the locale has one";
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    EXPECT_EQ(UserDecimalSeparator(), ',');
    QLocale::setDefault(QLocale::c());
    EXPECT_EQ(UserDecimalSeparator(), '.');
}

} // namespace
