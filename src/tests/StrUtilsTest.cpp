#include <regex>

#include <gtest/gtest.h>

#include "common/StrUtils.h"

using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

TEST(HexConversions, BytesToHexIsHighNibbleFirst)
{
    const unsigned char bytes[] = {0x00, 0x11, 0x22, 0xaa, 0xbb, 0xcc};
    char out[13];
    bytesToHex(out, bytes, 6);
    EXPECT_STREQ(out, "001122aabbcc");

    char untouched[4] = "xyz";
    bytesToHex(untouched, bytes, 0);
    bytesToHex(untouched, bytes, -3);
    EXPECT_STREQ(untouched, "xyz");
}

TEST(HexConversions, NibbleSwappedIsLowNibbleFirst)
{
    const unsigned char bytes[] = {0x1f, 0xa0, 0x05};
    EXPECT_EQ(bytesToHexNibbleSwapped(bytes, 3), "f10a50");
    EXPECT_EQ(bytesToHexNibbleSwapped(bytes, 0), "");
}

TEST(HexConversions, HexToBytes)
{
    unsigned char out[4] = {0x55, 0x55, 0x55, 0x55};
    EXPECT_EQ(hexToBytes(out, "0aff"), 1);
    EXPECT_EQ(out[0], 0x0a);
    EXPECT_EQ(out[1], 0xff);
    EXPECT_EQ(out[2], 0x55);

    EXPECT_EQ(hexToBytes(out, "abc"), 1);
    EXPECT_EQ(out[0], 0xab);
    EXPECT_EQ(out[1], 0x0c);

    EXPECT_EQ(hexToBytes(out, "AbzZ"), 0);
    EXPECT_EQ(out[0], 0xab);
    EXPECT_EQ(out[1], 0x00);

    out[0] = 0x55;
    EXPECT_EQ(hexToBytes(out, ""), 0);
    EXPECT_EQ(out[0], 0x55);
}

TEST(SplitString, StrtokSemantics)
{
    using Pieces = std::vector<std::string>;
    EXPECT_EQ(splitString("--a--b-", "-"), (Pieces{"a", "b"}));
    EXPECT_EQ(splitString("2023-04-27 10:30", "- :"), (Pieces{"2023", "04", "27", "10", "30"}));
    EXPECT_EQ(splitString("", "-"), Pieces{});
    EXPECT_EQ(splitString("---", "-"), Pieces{});
    EXPECT_EQ(splitString("abc", ""), Pieces{"abc"});
}

TEST(CompareCurrentDate, OrdersDates)
{
    EXPECT_EQ(compareCurrentDate("2023-04-27", "2023-04-28"), 0);
    EXPECT_EQ(compareCurrentDate("2023-04-28", "2023-04-27"), 1);
    EXPECT_EQ(compareCurrentDate("2023-04-27", "2023-04-27"), 1);
    EXPECT_EQ(compareCurrentDate("2023-4-5", "2023-04-05"), 1);
    EXPECT_EQ(compareCurrentDate("2023-04-27 10:30", "2023-04-28"), 0);
    EXPECT_EQ(compareCurrentDate("2023-04-27-99", "2023-04-27"), 1);
    // mktime normalises: month 13 is January of the next year.
    EXPECT_EQ(compareCurrentDate("2023-13-01", "2024-01-01"), 1);
    EXPECT_EQ(compareCurrentDate("2023-12-31", "2023-13-01"), 0);
    // Past the end of a 32-bit time_t (19 January 2038), as on the 32-bit target.
    EXPECT_EQ(compareCurrentDate("2038-01-18", "2038-01-20"), 0);
    EXPECT_EQ(compareCurrentDate("2040-01-01", "2041-01-01"), 0);
    EXPECT_EQ(compareCurrentDate("2041-01-01", "2040-01-01"), 1);
}

TEST(CompareCurrentDate, TraceRecordsAreNotWritten)
{
    CaptureStdout();
    EXPECT_EQ(compareCurrentDate("2023-04-27", "2023-04-28"), 0);
    EXPECT_EQ(GetCapturedStdout(), "");
}

TEST(CompareCurrentDate, UnreadableDateGivesCriticalRecord)
{
    const std::string prefix = R"(\[\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3}\] \[velmora\] \[critical\] \[StrUtils\.cpp:\d+\] )";
    const std::pair<std::pair<const char*, const char*>, std::string> cases[] = {
        {{"2023/04/27", "2023-04-28"}, R"(std::exception:[^,]*, Failed to resolve the time field \[2023/04/27\] )"},
        {{"year-04-27", "2023-04-28"}, R"(std::exception:stoi, Failed to resolve the time field \[year-04-27\] )"},
        {{"2023-04-27", "99999999999-01-01"}, R"(std::exception:stoi, Failed to resolve the time field \[99999999999-01-01\] )"},
        {{"2023-04-27", "2023-04"}, R"(std::exception:[^,]*, Failed to resolve the time field \[2023-04\] )"},
    };
    for (const auto& [dates, message] : cases) {
        CaptureStdout();
        EXPECT_EQ(compareCurrentDate(dates.first, dates.second), -1);
        const std::string out = GetCapturedStdout();
        EXPECT_TRUE(std::regex_match(out, std::regex(prefix + message + "\n"))) << out;
    }
}
