#include "common/Md5.h"

#include <cstring>

namespace {

constexpr std::size_t kBlockSize = 64;
constexpr std::size_t kLengthOffset = 56;  // where the bit count starts in the last block

// Per-step additive constants: floor(2^32 * |sin(i)|) for i = 1..64.
constexpr std::uint32_t kSine[64] = {
    0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee, 0xf57c0faf, 0x4787c62a, 0xa8304613, 0xfd469501,
    0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be, 0x6b901122, 0xfd987193, 0xa679438e, 0x49b40821,
    0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa, 0xd62f105d, 0x02441453, 0xd8a1e681, 0xe7d3fbc8,
    0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed, 0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a,
    0xfffa3942, 0x8771f681, 0x6d9d6122, 0xfde5380c, 0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70,
    0x289b7ec6, 0xeaa127fa, 0xd4ef3085, 0x04881d05, 0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665,
    0xf4292244, 0x432aff97, 0xab9423a7, 0xfc93a039, 0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
    0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1, 0xf7537e82, 0xbd3af235, 0x2ad7d2bb, 0xeb86d391,
};

// Left rotations, four per round.
constexpr unsigned kShift[4][4] = {{7, 12, 17, 22}, {5, 9, 14, 20}, {4, 11, 16, 23}, {6, 10, 15, 21}};

constexpr char kHexDigits[] = "0123456789abcdef";

std::uint32_t rotateLeft(std::uint32_t x, unsigned n)
{
    return (x << n) | (x >> (32 - n));
}

std::uint32_t readLittleEndian(const std::uint8_t* p)
{
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
           std::uint32_t(p[3]) << 24;
}

void writeLittleEndian(std::uint32_t value, std::uint8_t* p)
{
    for (int i = 0; i < 4; ++i) {
        p[i] = static_cast<std::uint8_t>(value >> (8 * i));
    }
}

}  // namespace

Md5::Md5() : state{0x67452301, 0xefcdab89, 0x98badcfe, 0x10325476}, count{0, 0}, buffer{} {}

Md5::Md5(const std::string& text) : Md5()
{
    update(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
}

void Md5::update(const std::uint8_t* bytes, std::size_t length)
{
    std::size_t index = (count[0] >> 3) & (kBlockSize - 1);
    const std::uint64_t bits = (std::uint64_t(count[1]) << 32 | count[0]) + std::uint64_t(length) * 8;
    count[0] = static_cast<std::uint32_t>(bits);
    count[1] = static_cast<std::uint32_t>(bits >> 32);

    std::size_t used = 0;
    const std::size_t room = kBlockSize - index;
    if (length >= room) {
        std::memcpy(&buffer[index], bytes, room);
        transform(buffer);
        for (used = room; used + kBlockSize <= length; used += kBlockSize) {
            transform(bytes + used);
        }
        index = 0;
    }
    if (length > used) {
        std::memcpy(&buffer[index], bytes + used, length - used);
    }
}

const Md5::Digest& Md5::finalDigest()
{
    if (finished) {
        return digest;
    }
    std::uint8_t bitCount[8];
    writeLittleEndian(count[0], bitCount);
    writeLittleEndian(count[1], bitCount + 4);

    static const std::uint8_t kPadding[kBlockSize] = {0x80};
    const std::size_t index = (count[0] >> 3) & (kBlockSize - 1);
    const std::size_t padLength =
        index < kLengthOffset ? kLengthOffset - index : kBlockSize + kLengthOffset - index;
    update(kPadding, padLength);
    update(bitCount, sizeof bitCount);

    for (int i = 0; i < 4; ++i) {
        writeLittleEndian(state[i], &digest[4 * i]);
    }
    finished = true;
    return digest;
}

std::string Md5::hexDigest()
{
    std::string hex;
    hex.reserve(2 * digest.size());
    for (std::uint8_t byte : finalDigest()) {
        hex += kHexDigits[byte >> 4];
        hex += kHexDigits[byte & 0x0f];
    }
    return hex;
}

void Md5::transform(const std::uint8_t block[64])
{
    std::uint32_t x[16];
    for (int i = 0; i < 16; ++i) {
        x[i] = readLittleEndian(block + 4 * i);
    }
    std::uint32_t a = state[0], b = state[1], c = state[2], d = state[3];
    for (unsigned step = 0; step < 64; ++step) {
        const unsigned round = step / 16;
        std::uint32_t f;
        unsigned word;
        switch (round) {
        case 0: f = (b & c) | (~b & d); word = step; break;
        case 1: f = (b & d) | (c & ~d); word = (5 * step + 1) % 16; break;
        case 2: f = b ^ c ^ d; word = (3 * step + 5) % 16; break;
        default: f = c ^ (b | ~d); word = (7 * step) % 16; break;
        }
        const std::uint32_t rotated = rotateLeft(a + f + kSine[step] + x[word], kShift[round][step % 4]);
        a = d;
        d = c;
        c = b;
        b += rotated;
    }
    state[0] += a;
    state[1] += b;
    state[2] += c;
    state[3] += d;
}
