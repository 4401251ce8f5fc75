#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

// MD5 message digest (RFC 1321). One object digests one message.
class Md5 {
public:
    using Digest = std::array<std::uint8_t, 16>;

    Md5();
    explicit Md5(const std::string& text);

    void update(const std::uint8_t* bytes, std::size_t length);
    // Completes the digest on the first call; later calls return the same bytes.
    const Digest& finalDigest();
    std::string hexDigest();

private:
    void transform(const std::uint8_t block[64]);

    std::uint32_t state[4];
    std::uint32_t count[2];  // message length in bits, low word first
    std::uint8_t buffer[64];
    Digest digest{};
    bool finished = false;
};
