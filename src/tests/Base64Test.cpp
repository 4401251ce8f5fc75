#include <stdexcept>

#include <gtest/gtest.h>

#include "common/StrUtils.h"

TEST(Base64Encode, Rfc4648Vectors)
{
    const std::pair<const char*, const char*> vectors[] = {
        {"", ""},         {"f", "Zg=="},         {"fo", "Zm8="},         {"foo", "Zm9v"},
        {"foob", "Zm9vYg=="}, {"fooba", "Zm9vYmE="}, {"foobar", "Zm9vYmFy"},
    };
    for (const auto& [plain, encoded] : vectors) {
        EXPECT_EQ(base64Encode(plain, false), encoded);
        EXPECT_EQ(base64EncodeStd(plain), encoded);
        EXPECT_EQ(base64Decode(encoded, false), plain);
    }
}

TEST(Base64Encode, UrlSafeAlphabetAndFullStopPadding)
{
    EXPECT_EQ(base64Encode("\xfb", true), "-w..");
    EXPECT_EQ(base64Encode("\xfb\xff", true), "-_8.");
    EXPECT_EQ(base64Encode("\xfb\xff", false), "+/8=");
    EXPECT_EQ(base64Encode("\xfb\xff\xbf", true), "-_-_");
}

TEST(Base64Encode, LineWrappingEncoders)
{
    EXPECT_EQ(base64EncodeLines64(std::string(48, 'x')).size(), 64u);
    const std::string wrapped = base64EncodeLines64(std::string(49, 'x'));
    ASSERT_EQ(wrapped.size(), 64u + 1 + 4);
    EXPECT_EQ(wrapped[64], '\n');
    EXPECT_EQ(wrapped.find('\n'), 64u);

    EXPECT_EQ(base64EncodeLines76(std::string(57, 'x')).find('\n'), std::string::npos);
    const std::string three = base64EncodeLines76(std::string(57 * 3, 'x'));
    EXPECT_EQ(three.size(), 76u * 3 + 2);
    EXPECT_EQ(three[76], '\n');
    EXPECT_EQ(three[153], '\n');
    EXPECT_NE(three.back(), '\n');
    EXPECT_EQ(base64Decode(three, true), std::string(57 * 3, 'x'));
    EXPECT_EQ(base64EncodeLines64(""), "");
}

TEST(Base64Decode, AcceptedInputs)
{
    EXPECT_EQ(base64Decode("YWJj", false), "abc");
    EXPECT_EQ(base64Decode("YW\nJj", true), "abc");
    EXPECT_EQ(base64Decode("YWI", false), "ab");
    EXPECT_EQ(base64Decode("YQ", false), "a");
    EXPECT_EQ(base64Decode("+/8=", false), "\xfb\xff");
    EXPECT_EQ(base64Decode("-_8.", false), "\xfb\xff");
    EXPECT_EQ(base64Decode("-/8.", false), "\xfb\xff");
    EXPECT_EQ(base64Decode("", false), "");
    std::string all;
    for (int i = 0; i < 256; ++i) all += static_cast<char>(i);
    EXPECT_EQ(base64Decode(base64Encode(all, true), false), all);
}

TEST(Base64Decode, RefusedInputs)
{
    for (const char* bad : {"YWJjZ", "YW\nJj", "YW\r\nJj", "=WJj", "Y=Jj", "YW*j", "YWJj YWJj"}) {
        EXPECT_THROW(base64Decode(bad, false), std::runtime_error) << bad;
    }
    EXPECT_THROW(base64Decode("YW\r\nJj", true), std::runtime_error);
    try {
        base64Value('\0');
        ADD_FAILURE() << "terminator accepted";
    } catch (const std::runtime_error& error) {
        EXPECT_STREQ(error.what(), "Input is not valid base64-encoded data.");
    }
}

TEST(Base64Value, BothAlphabets)
{
    EXPECT_EQ(base64Value('A'), 0);
    EXPECT_EQ(base64Value('z'), 51);
    EXPECT_EQ(base64Value('9'), 61);
    EXPECT_EQ(base64Value('+'), 62);
    EXPECT_EQ(base64Value('-'), 62);
    EXPECT_EQ(base64Value('/'), 63);
    EXPECT_EQ(base64Value('_'), 63);
}
