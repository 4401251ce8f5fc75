#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Common string utilities of the fingerprint program.

// Writes 2 * count lowercase hex digits ("%02x" per byte) and a NUL into out,
// which needs room for 2 * count + 1 characters. A count of 0 or less writes nothing.
void bytesToHex(char* out, const unsigned char* bytes, int count);

// Low nibble first for every byte: 0x1F becomes "f1".
std::string bytesToHexNibbleSwapped(const unsigned char* bytes, int count);

// Reads two hex digits per output byte (a lone last digit pairs with the terminator);
// out needs room for (length + 1) / 2 bytes. Returns 1 when the last pair was hex, 0
// when not or when text is empty. A pair that is not hex stores 0.
int hexToBytes(unsigned char* out, const char* text);

// Standard (+/ and '=') or URL-safe (-_ and '.') alphabet; never inserts line breaks.
std::string base64Encode(const std::string& text, bool urlSafe);
std::string base64EncodeStd(const std::string& text);
std::string base64EncodeLines64(const std::string& text);
std::string base64EncodeLines76(const std::string& text);

// Accepts both alphabets and both padding characters, padded or not. Throws
// std::runtime_error("Input is not valid base64-encoded data.") on anything else.
std::string base64Decode(const std::string& text, bool stripNewlines);
int base64Value(char c);

// strtok semantics: runs of delimiters cut once, no empty pieces.
std::vector<std::string> splitString(const std::string& text, const std::string& delimiters);

// 0 when the first YYYY-MM-DD date is earlier than the second, 1 when it is not,
// -1 (and a critical log record) when either cannot be read.
int compareCurrentDate(const std::string& strDate1, const std::string& strDate2);
