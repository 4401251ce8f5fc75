#include "common/StrUtils.h"

#include <cstdio>
#include <ctime>
#include <stdexcept>

#include "common/AppLogger.h"

namespace {

constexpr char kStdAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr char kUrlAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_";
constexpr char kStdPadding = '=';
constexpr char kUrlPadding = '.';
constexpr char kHexDigits[] = "0123456789abcdef";
constexpr const char* kInvalidBase64 = "Input is not valid base64-encoded data.";

bool isPadding(char c)
{
    return c == kStdPadding || c == kUrlPadding;
}

std::string wrapLines(std::string encoded, std::size_t lineLength)
{
    for (std::size_t pos = lineLength; pos < encoded.size(); pos += lineLength + 1) {
        encoded.insert(pos, 1, '\n');
    }
    return encoded;
}

}  // namespace

void bytesToHex(char* out, const unsigned char* bytes, int count)
{
    for (int i = 0; i < count; ++i) {
        std::snprintf(out + 2 * i, 3, "%02x", bytes[i]);
    }
}

std::string bytesToHexNibbleSwapped(const unsigned char* bytes, int count)
{
    std::string hex;
    for (int i = 0; i < count; ++i) {
        hex += kHexDigits[bytes[i] & 0x0f];
        hex += kHexDigits[bytes[i] >> 4];
    }
    return hex;
}

int hexToBytes(unsigned char* out, const char* text)
{
    int converted = 0;
    for (std::size_t i = 0; text[i] != '\0'; i += 2) {
        const char pair[3] = {text[i], text[i + 1], '\0'};
        unsigned value = 0;
        converted = std::sscanf(pair, "%02x", &value) == 1 ? 1 : 0;
        out[i / 2] = static_cast<unsigned char>(value);
        if (text[i + 1] == '\0') {
            break;
        }
    }
    return converted;
}

std::string base64Encode(const std::string& text, bool urlSafe)
{
    const char* alphabet = urlSafe ? kUrlAlphabet : kStdAlphabet;
    const char padding = urlSafe ? kUrlPadding : kStdPadding;
    const auto* in = reinterpret_cast<const unsigned char*>(text.data());
    const std::size_t length = text.size();

    std::string out;
    out.reserve((length + 2) / 3 * 4);
    std::size_t i = 0;
    for (; i + 3 <= length; i += 3) {
        out += alphabet[in[i] >> 2];
        out += alphabet[((in[i] << 4) & 0x30) + (in[i + 1] >> 4)];
        out += alphabet[((in[i + 1] << 2) & 0x3c) + (in[i + 2] >> 6)];
        out += alphabet[in[i + 2] & 0x3f];
    }
    if (length - i == 1) {
        out += alphabet[in[i] >> 2];
        out += alphabet[(in[i] << 4) & 0x30];
        out.append(2, padding);
    } else if (length - i == 2) {
        out += alphabet[in[i] >> 2];
        out += alphabet[((in[i] << 4) & 0x30) + (in[i + 1] >> 4)];
        out += alphabet[(in[i + 1] << 2) & 0x3c];
        out += padding;
    }
    return out;
}

std::string base64EncodeStd(const std::string& text)
{
    return base64Encode(text, false);
}

std::string base64EncodeLines64(const std::string& text)
{
    return wrapLines(base64EncodeStd(text), 64);
}

std::string base64EncodeLines76(const std::string& text)
{
    return wrapLines(base64EncodeStd(text), 76);
}

int base64Value(char c)
{
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= 'a' && c <= 'z') return c - 'a' + 26;
    if (c >= '0' && c <= '9') return c - '0' + 52;
    if (c == '+' || c == '-') return 62;
    if (c == '/' || c == '_') return 63;
    throw std::runtime_error(kInvalidBase64);
}

std::string base64Decode(const std::string& text, bool stripNewlines)
{
    if (text.empty()) {
        return {};
    }
    if (stripNewlines) {
        std::string copy;
        copy.reserve(text.size());
        for (char c : text) {
            if (c != '\n') copy += c;
        }
        return base64Decode(copy, false);
    }

    const std::size_t length = text.size();
    std::string out;
    out.reserve(length / 4 * 3);
    for (std::size_t i = 0; i < length; i += 4) {
        // text[length] is the terminator, which base64Value refuses.
        const int v0 = base64Value(text[i]);
        const int v1 = base64Value(text[i + 1]);
        out += static_cast<char>((v0 << 2 | v1 >> 4) & 0xFF);
        if (i + 2 < length && !isPadding(text[i + 2])) {
            const int v2 = base64Value(text[i + 2]);
            out += static_cast<char>(((v1 << 4) & 0xFF) | (v2 >> 2));
            if (i + 3 < length && !isPadding(text[i + 3])) {
                out += static_cast<char>((v2 << 6 | base64Value(text[i + 3])) & 0xFF);
            }
        }
    }
    return out;
}

std::vector<std::string> splitString(const std::string& text, const std::string& delimiters)
{
    std::vector<std::string> pieces;
    std::size_t start = text.find_first_not_of(delimiters);
    while (start != std::string::npos) {
        const std::size_t end = text.find_first_of(delimiters, start);
        pieces.push_back(text.substr(start, end - start));
        start = text.find_first_not_of(delimiters, end);
    }
    return pieces;
}

namespace {

constexpr const char* kCompareFunction = "compareCurrentDate";
constexpr int kTmYearBase = 1900;

// Trace texts of one of the two dates being compared.
struct DateTraceTexts {
    const char* pieces;
    const char* year;
    const char* month;
    const char* day;
    const char* normalised;
};

constexpr DateTraceTexts kDate1Texts{"strDate1[0]:[{}], strDate1[1]:[{}], strDate1[2]:[{}]",
                                     "Data1_year:[{}]", "Data1_mon:[{}]", "Data1_mday:[{}]",
                                     "Date1:[{}-{}-{} {}:{}:{}]"};
constexpr DateTraceTexts kDate2Texts{"strDate2[0]:[{}], strDate2[1]:[{}], strDate2[2]:[{}]",
                                     "Data2_year:[{}]", "Data2_mon:[{}]", "Data2_mday:[{}]",
                                     "Date2:[{}-{}-{} {}:{}:{}]"};

// Reads year-month-day into a local calendar time; throws std::exception subclasses
// (out_of_range for a missing piece, invalid_argument for a piece without digits).
std::time_t dateToSeconds(const std::string& date, const DateTraceTexts& texts, std::tm& calendar)
{
    const std::vector<std::string> pieces = splitString(date, "-");
    APP_LOG(spdlog::level::debug, kCompareFunction, fmt::runtime(texts.pieces), pieces.at(0), pieces.at(1),
            pieces.at(2));
    calendar = std::tm{};
    calendar.tm_year = std::stoi(pieces.at(0)) - kTmYearBase;
    APP_LOG(spdlog::level::debug, kCompareFunction, fmt::runtime(texts.year), calendar.tm_year);
    calendar.tm_mon = std::stoi(pieces.at(1)) - 1;
    APP_LOG(spdlog::level::debug, kCompareFunction, fmt::runtime(texts.month), calendar.tm_mon);
    calendar.tm_mday = std::stoi(pieces.at(2));
    APP_LOG(spdlog::level::debug, kCompareFunction, fmt::runtime(texts.day), calendar.tm_mday);
    return std::mktime(&calendar);
}

void traceNormalised(const DateTraceTexts& texts, const std::tm& calendar)
{
    APP_LOG(spdlog::level::debug, kCompareFunction, fmt::runtime(texts.normalised),
            calendar.tm_year + kTmYearBase, calendar.tm_mon + 1, calendar.tm_mday, calendar.tm_hour,
            calendar.tm_min, calendar.tm_sec);
}

void logUnreadableDate(const std::exception& error, const std::string& date)
{
    APP_LOG(spdlog::level::critical, kCompareFunction,
            "std::exception:{}, Failed to resolve the time field [{}] ", error.what(), date);
}

}  // namespace

int compareCurrentDate(const std::string& strDate1, const std::string& strDate2)
{
    std::tm calendar1{};
    std::tm calendar2{};
    std::time_t seconds1 = 0;
    std::time_t seconds2 = 0;
    try {
        seconds1 = dateToSeconds(strDate1, kDate1Texts, calendar1);
        traceNormalised(kDate1Texts, calendar1);
    } catch (const std::exception& error) {
        logUnreadableDate(error, strDate1);
        return -1;
    }
    try {
        seconds2 = dateToSeconds(strDate2, kDate2Texts, calendar2);
        APP_LOG(spdlog::level::debug, kCompareFunction, "Date1ToSecond = [{}], Data2ToSecond = [{}]",
                seconds1, seconds2);
        traceNormalised(kDate2Texts, calendar2);
    } catch (const std::exception& error) {
        logUnreadableDate(error, strDate2);
        return -1;
    }
    if (seconds1 < seconds2) {
        APP_LOG(spdlog::level::debug, kCompareFunction, "Date1 < Date2");
        return 0;
    }
    APP_LOG(spdlog::level::debug, kCompareFunction, "Date1 >= Date2");
    return 1;
}
