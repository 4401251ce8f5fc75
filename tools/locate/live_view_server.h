// The live view: an HTTP server in the background that serves the page at / and the rows as
// Server-Sent Events at /events, to a bounded number of viewers at once.
#ifndef TOOLS_LIVE_VIEW_SERVER_H
#define TOOLS_LIVE_VIEW_SERVER_H

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>

#include "live_view_access.h"
#include "row_broadcast.h"

struct mg_context;

namespace tools {

struct ServeAddress {
    std::string host;
    int port = 0;
};

// [ADDR:]PORT with an IPv4 address; 127.0.0.1 when none is given. A port of 0 takes any free one.
ServeAddress parse_serve_address(const std::string &text);

class LiveViewServer {
public:
    // Listens at once; a refusal to bind is a ToolError. Only requests `access` allows are
    // answered. A viewer who joins late first gets the last `backlog_rows` rows.
    LiveViewServer(const ServeAddress &address, ViewAccess access, std::string page,
                   std::size_t backlog_rows);
    // Cuts every stream off (unless ended) and stops serving.
    ~LiveViewServer();
    LiveViewServer(const LiveViewServer &) = delete;
    LiveViewServer &operator=(const LiveViewServer &) = delete;

    // With the token, when one is needed.
    std::string url() const;

    // One row, as the object of a --format jsonl line.
    void publish(const std::string &row_object);
    // Tells every viewer the stream is over after `rows` rows.
    void end(std::int64_t rows);

private:
    // The server's callbacks, which see what lies here.
    friend struct LiveViewRequests;

    ServeAddress address_;
    ViewAccess access_;
    std::string page_;
    RowBroadcast rows_;
    std::atomic<bool> refusal_said_{false};
    // The connections each client address holds that have sent their request heads.
    std::mutex connections_mutex_;
    std::map<std::string, int> connections_;
    mg_context *context_ = nullptr;
};

} // namespace tools

#endif
