#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <initializer_list>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include "shell/Settings.h"
#include "shell/TempFolder.h"

namespace surfdeck {
namespace {

using testing::TempFolder;
using testing::writeBytes;

// Numbers

struct ValCase {
    const char* text;
    double value;
};
void expectVal(std::initializer_list<ValCase> cases) {
    for (const ValCase& c : cases) EXPECT_EQ(Val(c.text), c.value) << '"' << c.text << '"';
}

TEST(Val, TakesTheLeadingDecimalNumber) {
    expectVal({{"1515", 1515},
               {"1200px", 1200},
               {"12,5", 12},
               {"12.5", 12.5},
               {".25", 0.25},
               {"1.2.3", 1.2}});
}

TEST(Val, NoLeadingNumberIsZero) {
    expectVal({{"", 0}, {"abc", 0}, {".", 0}, {"-", 0}, {"--5", 0}, {"x12", 0}});
}

TEST(Val, SkipsBlanksAnywhere) {
    expectVal({{" \t 1 2 0 0 px", 1200}, {"- 30", -30}, {"1 . 5", 1.5}});
}

TEST(Val, TakesASign) {
    expectVal({{"-30", -30}, {"+7", 7}, {"5-3", 5}});
}

TEST(Val, AcceptsAnExponentOnlyWithDigits) {
    expectVal({{"1e3", 1000}, {"2.5E-1", 0.25}, {"1e+2x", 100}, {"7e", 7}, {"7e+", 7}, {"7em", 7}});
}

TEST(Val, HugeOrTinyNumbersStayFinite) {
    constexpr double max = std::numeric_limits<double>::max();
    expectVal({{"1e999", max}, {"-1e999", -max}, {"1e-999", 0}});
    EXPECT_TRUE(std::isfinite(Val(std::string(500, '9'))));
}

TEST(RoundHalfEven, HalvesGoToTheEvenNeighbour) {
    const std::pair<double, int> cases[] = {{0.5, 0},   {1.5, 2},   {2.5, 2},    {-0.5, 0},
                                            {-1.5, -2}, {-2.5, -2}, {2.4999, 2}, {2.5001, 3},
                                            {-2.6, -3}, {10.5, 10}, {11.5, 12}};
    for (const auto& [value, rounded] : cases) {
        EXPECT_EQ(RoundHalfEven32(value), rounded) << value;
        EXPECT_EQ(RoundHalfEven16(value), rounded) << value;
    }
}

TEST(RoundHalfEven, SaturatesOutsideTheRange) {
    constexpr auto max32 = std::numeric_limits<std::int32_t>::max();
    constexpr auto min32 = std::numeric_limits<std::int32_t>::min();
    EXPECT_EQ(RoundHalfEven32(2147483647.4), max32);
    EXPECT_EQ(RoundHalfEven32(2147483647.5), max32);  // would round to 2^31
    EXPECT_EQ(RoundHalfEven32(-2147483648.5), min32);
    EXPECT_EQ(RoundHalfEven32(std::numeric_limits<double>::max()), max32);
    EXPECT_EQ(RoundHalfEven32(-3e9), min32);
    EXPECT_EQ(RoundHalfEven32(std::nan("")), 0);
    EXPECT_EQ(RoundHalfEven16(40000), 32767);
    EXPECT_EQ(RoundHalfEven16(-40000), -32768);
    EXPECT_EQ(RoundHalfEven16(32766.5), 32766);
}

// Flags and the layout

TEST(IniFlag, OnlyOneIsOn) {
    EXPECT_TRUE(IniFlag("1"));
    for (const char* off : {"0", "", "yes", "true", "on", "01", "1.0", " 1", "-1"})
        EXPECT_FALSE(IniFlag(off)) << off;
}

TEST(IsVertical, OnlyLowerCaseVIsVertical) {
    EXPECT_TRUE(isVertical("v"));
    for (const char* horizontal : {"h", "V", "vertical", "", " v"})
        EXPECT_FALSE(isVertical(horizontal)) << horizontal;
}

// Writing numbers

TEST(FormatNumber, WholeNumbersHaveNoPoint) {
    EXPECT_EQ(FormatNumber(1515), "1515");
    EXPECT_EQ(FormatNumber(-30), "-30");
    EXPECT_EQ(FormatNumber(0), "0");
    EXPECT_EQ(FormatNumber(-0.0), "0");
    EXPECT_EQ(FormatNumber(1e20), "100000000000000000000");
}

TEST(FormatNumber, FractionsUseAPointAndNoTrailingZeros) {
    EXPECT_EQ(FormatNumber(12.5), "12.5");
    EXPECT_EQ(FormatNumber(-0.25), "-0.25");
    EXPECT_EQ(FormatNumber(0.1), "0.1");
}

TEST(FormatNumber, ReadsBackAsTheSameNumber) {
    for (double v : {201.0, -1440.0, 0.1, 1.0 / 3.0, 123456.789, 1e-7, 4e15})
        EXPECT_EQ(Val(FormatNumber(v)), v) << FormatNumber(v);
}

// The start-up settings load

TEST(LoadSettings, ReadsTheKeysInStartUpOrder) {
    std::vector<std::pair<std::string, std::string>> asked;
    SettingsValues values;
    loadRecentAndGeneral(
        values, [&](const std::string& section, const std::string& key, const std::string& def) {
            asked.emplace_back(section + "/" + key, def);
            return def;
        });
    using P = std::pair<std::string, std::string>;
    EXPECT_THAT(asked, ::testing::ElementsAre(
                           P("Recent/RecentGroupAuthor", ""), P("Recent/RecentGroupGroup", ""),
                           P("Recent/RecentGroupMessageID", ""), P("Recent/RecentGroupSubject", ""),
                           P("Recent/RecentGroupText", ""), P("Recent/RecentImageDomain", ""),
                           P("Recent/RecentImageText", ""), P("Recent/RecentWebDomain", ""),
                           P("Recent/RecentWebText", ""), P("Recent/RecentLengh", ""),
                           P("General/RollUpDelay", ""), P("General/AlwaysOnTop", "1")));
}

TEST(LoadSettings, NoFileGivesTheDefaults) {
    TempFolder folder;
    const std::string file = settingsPath(folder.path());
    SettingsValues values;
    values.AlwaysOnTop = false;
    values.RecentLengh = 9;
    loadRecentAndGeneral(values, file);
    EXPECT_EQ(values.RecentWebText, "");
    EXPECT_EQ(values.RecentGroupMessageID, "");
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
    EXPECT_FALSE(isVertical(readView(file)));
    EXPECT_FALSE(readRollUp(file));
}

TEST(LoadSettings, AlwaysOnTopIsOnOnlyForOne) {
    TempFolder folder;
    const std::string file = settingsPath(folder.path());
    for (const auto& [stored, on] : std::vector<std::pair<std::string, bool>>{
             {"1", true}, {" 1 ", true}, {"0", false}, {"", false}, {"yes", false}}) {
        writeBytes(file, "[General]\r\nAlwaysOnTop=" + stored + "\r\n");
        SettingsValues values;
        loadRecentAndGeneral(values, file);
        EXPECT_EQ(values.AlwaysOnTop, on) << '"' << stored << '"';
    }
}

}  // namespace
}  // namespace surfdeck
