// The live view: an HTTP server in the background that serves the page at / and the rows as
// Server-Sent Events at /events, to a bounded number of viewers at once.
#ifndef TOOLS_LIVE_VIEW_SERVER_H
#define TOOLS_LIVE_VIEW_SERVER_H

#include <cstddef>
#include <cstdint>
#include <string>

#include "row_broadcast.h"

struct mg_connection;
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
    // Listens at once; a refusal to bind is a ToolError. A viewer who joins late first gets
    // the last `backlog_rows` rows.
    LiveViewServer(const ServeAddress &address, std::string page, std::size_t backlog_rows);
    // Cuts every stream off (unless ended) and stops serving.
    ~LiveViewServer();
    LiveViewServer(const LiveViewServer &) = delete;
    LiveViewServer &operator=(const LiveViewServer &) = delete;

    std::string url() const;

    // One row, as the object of a --format jsonl line.
    void publish(const std::string &row_object);
    // Tells every viewer the stream is over after `rows` rows.
    void end(std::int64_t rows);

private:
    static int serve_page(mg_connection *connection, void *server);
    static int serve_events(mg_connection *connection, void *server);

    ServeAddress address_;
    std::string page_;
    RowBroadcast rows_;
    mg_context *context_ = nullptr;
};

} // namespace tools

#endif
