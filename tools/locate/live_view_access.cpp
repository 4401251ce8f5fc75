#include "live_view_access.h"

#include <arpa/inet.h>
#include <strings.h>
#include <sys/random.h>

#include <algorithm>
#include <cstdint>
#include <fstream>

#include "tool_error.h"

namespace tools {

namespace {
constexpr std::size_t kTokenBytes = 16;
// What goes into a URL as it is.
constexpr const char *kTokenCharacters =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-._~";

bool is_ip_literal(const std::string &name) {
    unsigned char address[sizeof(in6_addr)];
    if (name.size() > 2 && name.front() == '[' && name.back() == ']')
        return inet_pton(AF_INET6, name.substr(1, name.size() - 2).c_str(), address) == 1;
    return inet_pton(AF_INET, name.c_str(), address) == 1;
}

bool same_name(const std::string &a, const std::string &b) { return strcasecmp(a.c_str(), b.c_str()) == 0; }

std::string random_token() {
    std::uint8_t bytes[kTokenBytes];
    if (getrandom(bytes, sizeof bytes, 0) != static_cast<ssize_t>(sizeof bytes))
        throw ToolError("cannot make a token for the live view: no random numbers");
    static constexpr char kHex[] = "0123456789abcdef";
    std::string token;
    for (const auto byte : bytes) token += {kHex[byte >> 4], kHex[byte & 0xf]};
    return token;
}

std::string token_from(const std::string &token_file) {
    std::ifstream file(token_file);
    std::string token;
    if (!std::getline(file, token))
        throw ToolError("cannot read a token for the live view from " + token_file);
    token.erase(token.find_last_not_of(" \t\r") + 1);
    if (token.empty() || token.find_first_not_of(kTokenCharacters) != std::string::npos)
        throw ToolError("the live view token in " + token_file + " must be letters, digits, - . _ or ~");
    return token;
}
} // namespace

bool is_loopback(const std::string &ipv4) {
    in_addr address{};
    return inet_pton(AF_INET, ipv4.c_str(), &address) == 1 && (ntohl(address.s_addr) >> 24) == 127;
}

bool host_allowed(const ViewAccess &access, const char *host_header) {
    if (host_header == nullptr) return false;
    std::string name = host_header;
    const auto colon = name.rfind(':');
    if (colon != std::string::npos && name.find(']', colon) == std::string::npos) {
        if (name.substr(colon + 1) != std::to_string(access.port)) return false;
        name.erase(colon);
    }
    return name == access.listen_host || is_ip_literal(name) || same_name(name, "localhost") ||
           std::any_of(access.host_names.begin(), access.host_names.end(),
                       [&](const std::string &given) { return same_name(name, given); });
}

bool token_allowed(const ViewAccess &access, const char *given) {
    if (access.token.empty()) return true;
    const std::string offered = given == nullptr ? "" : given;
    unsigned char difference = offered.size() == access.token.size() ? 0 : 1;
    for (std::size_t i = 0; i < access.token.size(); ++i)
        difference |= static_cast<unsigned char>(access.token[i] ^ (i < offered.size() ? offered[i] : 0));
    return difference == 0;
}

std::string view_token(const std::string &listen_host, const std::string &token_file) {
    if (is_loopback(listen_host)) return "";
    return token_file.empty() ? random_token() : token_from(token_file);
}

} // namespace tools
