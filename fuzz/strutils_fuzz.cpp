// The fingerprint program's decoders and parsers on arbitrary text: base64Decode,
// hexToBytes, splitString and compareCurrentDate.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <string>

#include "common/StrUtils.h"
#include "fuzz_support.h"

namespace {

// Only std::runtime_error may leave the decoder; anything else ends the run here.
void decodeBase64(FuzzedDataProvider& in)
{
    const bool strip = in.ConsumeBool();
    const std::string text = in.ConsumeRemainingBytesAsString();
    try {
        const std::string out = base64Decode(text, strip);
        expectThat(out.size() <= text.size(), "decoding never grows the text");
    } catch (const std::runtime_error& error) {
        expectThat(std::string(error.what()) == "Input is not valid base64-encoded data.",
                   "the decoder's one message");
    }
    const std::string encoded = base64Encode(text, strip);
    expectThat(base64Decode(encoded, false) == text, "decode inverts encode");
}

// Text and output both end at a guard page, so one byte too many faults.
void decodeHex(FuzzedDataProvider& in)
{
    const std::string text = in.ConsumeRemainingBytesAsString();
    const std::size_t length = std::char_traits<char>::length(text.c_str());
    GuardedBlock textBlock(length + 1, true);
    std::memcpy(textBlock.data(), text.c_str(), length + 1);
    GuardedBlock outBlock((length + 1) / 2, true);
    auto* out = outBlock.as<unsigned char>();
    const int rc = hexToBytes(out, textBlock.data());
    expectThat(rc == 0 || rc == 1, "hexToBytes reports 0 or 1");
    if (length == 0) {
        expectThat(rc == 0, "an empty text converts nothing");
        return;
    }
    const auto* raw = reinterpret_cast<const unsigned char*>(text.data());
    const int count = static_cast<int>(length / 2);
    GuardedBlock hexBlock(2 * static_cast<std::size_t>(count) + 1, true);
    bytesToHex(hexBlock.data(), raw, count);
    if (count > 0) {
        expectThat(hexToBytes(out, hexBlock.data()) == 1, "bytesToHex output is hex");
        expectThat(std::memcmp(out, raw, static_cast<std::size_t>(count)) == 0,
                   "hexToBytes inverts bytesToHex");
    }
}

void split(FuzzedDataProvider& in)
{
    const std::string delimiters = in.ConsumeRandomLengthString(8);
    const std::string text = in.ConsumeRemainingBytesAsString();
    std::string kept;
    for (const std::string& piece : splitString(text, delimiters)) {
        expectThat(!piece.empty(), "no empty pieces");
        expectThat(piece.find_first_of(delimiters) == std::string::npos,
                   "no piece holds a delimiter");
        kept += piece;
    }
    std::string expected;
    for (char c : text) {
        if (delimiters.find(c) == std::string::npos) {
            expected += c;
        }
    }
    expectThat(kept == expected, "the pieces are the text without its delimiters");
}

void compareDates(FuzzedDataProvider& in)
{
    const std::string first = in.ConsumeRandomLengthString(40);
    const std::string second = in.ConsumeRandomLengthString(40);
    const int rc = compareCurrentDate(first, second);
    expectThat(rc >= -1 && rc <= 1, "compareCurrentDate gives -1, 0 or 1");
    if (rc == 0) {
        expectThat(compareCurrentDate(second, first) == 1, "earlier one way, not the other");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzedDataProvider in(data, size);
    switch (in.ConsumeIntegralInRange(0, 3)) {
    case 0:
        decodeBase64(in);
        break;
    case 1:
        decodeHex(in);
        break;
    case 2:
        split(in);
        break;
    default:
        compareDates(in);
        break;
    }
    return 0;
}
