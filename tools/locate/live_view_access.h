// Who the live view answers. A page elsewhere can point a name of its own at this machine (DNS
// rebinding), so only requests naming this machine's own addresses or the names it is given are
// answered; beyond loopback, the run's token is needed as well.
#ifndef TOOLS_LIVE_VIEW_ACCESS_H
#define TOOLS_LIVE_VIEW_ACCESS_H

#include <string>
#include <vector>

namespace tools {

struct ViewAccess {
    std::string listen_host;
    int port = 0;
    std::vector<std::string> host_names;
    // Empty when none is needed.
    std::string token;
};

bool is_loopback(const std::string &ipv4);

// The Host header names the address listened on, any IP literal, localhost or a given name, with
// this port or none.
bool host_allowed(const ViewAccess &access, const char *host_header);

// Takes as long whatever the `given` token has in common with the right one.
bool token_allowed(const ViewAccess &access, const char *given);

// None on loopback; else the first line of `token_file`, or a fresh random one when none is given.
std::string view_token(const std::string &listen_host, const std::string &token_file);

} // namespace tools

#endif
