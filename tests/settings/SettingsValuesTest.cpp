#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include "settings/Settings.h"
#include "support/TempFolder.h"

namespace surfdeck {
namespace {

using testing::TempFolder;
using testing::writeBytes;

TEST(Val, TakesTheLeadingDecimalNumber) {
    constexpr double max = std::numeric_limits<double>::max();
    const std::pair<const char*, double> cases[] = {
        {"1515", 1515}, {"1200px", 1200}, {"12,5", 12},   {"12.5", 12.5},   {".25", 0.25},
        {"1.2.3", 1.2}, {"", 0},          {"abc", 0},     {".", 0},         {"-", 0},
        {"--5", 0},     {"x12", 0},       {"1 . 5", 1.5}, {"- 30", -30},    {"-30", -30},
        {"+7", 7},      {"5-3", 5},       {"1e3", 1000},  {"2.5E-1", 0.25}, {"1e+2x", 100},
        {"7e", 7},      {"7e+", 7},       {"7em", 7},     {"1e999", max},   {"-1e999", -max},
        {"1e-999", 0}};
    for (const auto& [text, value] : cases) EXPECT_EQ(Val(text), value) << '"' << text << '"';
    EXPECT_EQ(Val(" \t 1 2 0 0 px"), 1200);
    EXPECT_TRUE(std::isfinite(Val(std::string(500, '9'))));
}

TEST(RoundHalfEven, HalvesGoToTheEvenNeighbourAndSaturate) {
    const std::pair<double, int> cases[] = {{0.5, 0},   {1.5, 2},   {2.5, 2},    {-0.5, 0},
                                            {-1.5, -2}, {-2.5, -2}, {2.4999, 2}, {2.5001, 3},
                                            {-2.6, -3}, {10.5, 10}, {11.5, 12}};
    for (const auto& [value, rounded] : cases) {
        EXPECT_EQ(RoundHalfEven32(value), rounded) << value;
        EXPECT_EQ(RoundHalfEven16(value), rounded) << value;
    }
    constexpr auto max32 = std::numeric_limits<std::int32_t>::max();
    constexpr auto min32 = std::numeric_limits<std::int32_t>::min();
    EXPECT_EQ(RoundHalfEven32(2147483647.5), max32);  // would round to 2^31
    EXPECT_EQ(RoundHalfEven32(-2147483648.5), min32);
    EXPECT_EQ(RoundHalfEven32(std::nan("")), 0);
    EXPECT_EQ(RoundHalfEven16(40000), 32767);
    EXPECT_EQ(RoundHalfEven16(-40000), -32768);
    EXPECT_EQ(RoundHalfEven16(32766.5), 32766);
}

TEST(IniFlag, FlagIsOnOnlyForOneAndViewVerticalOnlyForLowerCaseV) {
    EXPECT_TRUE(IniFlag("1"));
    for (const char* off : {"0", "", "yes", "true", "on", "01", "1.0", " 1", "-1"})
        EXPECT_FALSE(IniFlag(off)) << off;
    EXPECT_TRUE(isVertical("v"));
    for (const char* horizontal : {"h", "V", "vertical", "", " v"})
        EXPECT_FALSE(isVertical(horizontal)) << horizontal;
}

TEST(FormatNumber, TrimmedDecimalTextThatReadsBackTheSame) {
    const std::pair<double, const char*> cases[] = {
        {1515, "1515"}, {-30, "-30"}, {0, "0"},         {-0.0, "0"},
        {12.5, "12.5"}, {0.1, "0.1"}, {-0.25, "-0.25"}, {1e20, "100000000000000000000"}};
    for (const auto& [value, text] : cases) EXPECT_EQ(FormatNumber(value), text);
    for (double v : {201.0, -1440.0, 1.0 / 3.0, 123456.789, 1e-7, 4e15})
        EXPECT_EQ(Val(FormatNumber(v)), v) << FormatNumber(v);
}

TEST(LoadSettings, NoFileGivesTheDefaults) {
    TempFolder folder;
    const std::string file = settingsPath(folder.path());
    SettingsValues values;
    values.AlwaysOnTop = false;
    values.RecentLengh = 9;
    loadRecentAndGeneral(values, file);
    EXPECT_EQ(values.RecentWebText, "");
    EXPECT_EQ(values.RecentLengh, 0);
    EXPECT_EQ(values.RollUpDelay, 0);
    EXPECT_TRUE(values.AlwaysOnTop);
    EXPECT_EQ(readView(file), "h");
    EXPECT_TRUE(readRollUp(file));
}

TEST(LoadSettings, StoredValuesAreInterpreted) {
    TempFolder folder;
    const std::string file = settingsPath(folder.path());
    writeBytes(file,
               "[Recent]\r\nRecentWebText=a;b\r\nRecentImageDomain=x.org\r\n"
               "RecentLengh=10.5\r\n[General]\r\nRollUpDelay= 11.5 ms\r\nAlwaysOnTop=yes\r\n"
               "[MainWindow]\r\nview=V\r\nrollup=0\r\n");
    SettingsValues values;
    loadRecentAndGeneral(values, file);
    EXPECT_EQ(values.RecentWebText, "a;b");
    EXPECT_EQ(values.RecentImageDomain, "x.org");
    EXPECT_EQ(values.RecentLengh, 10);
    EXPECT_EQ(values.RollUpDelay, 12);
    EXPECT_FALSE(values.AlwaysOnTop);
    EXPECT_EQ(readView(file), "V");
    EXPECT_FALSE(readRollUp(file));
    for (const char* stored : {" 1 ", "0", ""}) {
        writeBytes(file, "[General]\r\nAlwaysOnTop=" + std::string(stored) + "\r\n");
        loadRecentAndGeneral(values, file);
        EXPECT_EQ(values.AlwaysOnTop, stored[0] == ' ') << '"' << stored << '"';
    }
}

}  // namespace
}  // namespace surfdeck
