#include "wav_header.h"

#include <array>
#include <fstream>

namespace ssl_sound {

namespace {

constexpr std::uint32_t kUnknownSize = 0xFFFFFFFF;
constexpr std::uint32_t kBlockAlignAt = 12; // in the 'fmt ' chunk's body

std::uint32_t little_endian(const char *bytes, int count) {
    std::uint32_t value = 0;
    for (int i = count - 1; i >= 0; --i) value = value << 8 | static_cast<unsigned char>(bytes[i]);
    return value;
}

struct Chunk {
    std::string id;
    std::uint32_t size = 0;
    std::streamoff body = 0;
};

std::optional<Chunk> next_chunk(std::ifstream &in) {
    std::array<char, 8> header{};
    if (!in.read(header.data(), header.size())) return std::nullopt;
    return Chunk{std::string(header.data(), 4), little_endian(header.data() + 4, 4), in.tellg()};
}

std::optional<std::uint32_t> block_align(std::ifstream &in, const Chunk &fmt) {
    std::array<char, 2> bytes{};
    if (fmt.size < kBlockAlignAt + bytes.size() ||
        !in.seekg(fmt.body + kBlockAlignAt).read(bytes.data(), bytes.size()))
        return std::nullopt;
    return little_endian(bytes.data(), 2);
}

} // namespace

std::optional<std::int64_t> wav_declared_frames(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    std::array<char, 12> riff{};
    if (!in.read(riff.data(), riff.size()) || std::string(riff.data(), 4) != "RIFF" ||
        std::string(riff.data() + 8, 4) != "WAVE")
        return std::nullopt;
    std::optional<std::uint32_t> frame_bytes;
    while (const auto chunk = next_chunk(in)) {
        if (chunk->id == "fmt ") frame_bytes = block_align(in, *chunk);
        if (chunk->id == "data") {
            if (!frame_bytes || *frame_bytes == 0 || chunk->size == 0 || chunk->size == kUnknownSize)
                return std::nullopt;
            return chunk->size / *frame_bytes;
        }
        // Chunks are padded to an even length.
        in.seekg(chunk->body + chunk->size + (chunk->size & 1));
    }
    return std::nullopt;
}

} // namespace ssl_sound
