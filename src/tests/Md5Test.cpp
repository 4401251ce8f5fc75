#include <gtest/gtest.h>

#include "common/Md5.h"

namespace {
std::string md5(const std::string& text)
{
    return Md5(text).hexDigest();
}
}  // namespace

TEST(Md5, ReproducesTheRfc1321TestSuite)
{
    EXPECT_EQ(md5(""), "d41d8cd98f00b204e9800998ecf8427e");
    EXPECT_EQ(md5("a"), "0cc175b9c0f1b6a831c399e269772661");
    EXPECT_EQ(md5("abc"), "900150983cd24fb0d6963f7d28e17f72");
    EXPECT_EQ(md5("message digest"), "f96b697d7cb7938d525a2f31aaf161d0");
    EXPECT_EQ(md5("abcdefghijklmnopqrstuvwxyz"), "c3fcd3d76192e4007dfb496cca67e13b");
    EXPECT_EQ(md5("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789"),
              "d174ab98d277d9f5a5611c2c9f419d9f");
    std::string eightyDigits;
    for (int i = 0; i < 8; ++i) eightyDigits += "1234567890";
    EXPECT_EQ(md5(eightyDigits), "57edf4a22be3c955ac49da2e2107b67a");
}

TEST(Md5, PaddingBoundaries)
{
    // Digests of runs of the letter a, as computed by md5sum.
    const std::pair<std::size_t, const char*> cases[] = {
        {55, "ef1772b6dff9a122358552954ad0df65"},  {56, "3b0c8ac703f828b04c6c197006d17218"},
        {63, "b06521f39153d618550606be297466d5"},  {64, "014842d480b571495a4a0363793f7367"},
        {65, "c743a45e0d2e6a95cb859adae0248435"},  {1000, "cabe45dcc9ae5b66ba86600cca6b8ba8"},
    };
    for (const auto& [length, digest] : cases) {
        EXPECT_EQ(md5(std::string(length, 'a')), digest) << length;
    }
}

TEST(Md5, UpdatesInPiecesEqualOneUpdate)
{
    const std::string text(200, 'a');
    Md5 pieces;
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(text.data());
    for (std::size_t chunk : {1u, 62u, 1u, 64u, 72u}) {
        pieces.update(bytes, chunk);
        bytes += chunk;
    }
    EXPECT_EQ(pieces.hexDigest(), md5(text));
}

TEST(Md5, DigestIsStableOnceTaken)
{
    Md5 digest("abc");
    const Md5::Digest first = digest.finalDigest();
    EXPECT_EQ(digest.finalDigest(), first);
    EXPECT_EQ(digest.hexDigest(), "900150983cd24fb0d6963f7d28e17f72");
}
