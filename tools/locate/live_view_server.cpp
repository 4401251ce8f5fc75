#include "live_view_server.h"

#include <microhttpd.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <pthread.h>

#include <algorithm>
#include <csignal>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>

#include "tool_error.h"

namespace tools {

namespace {
constexpr std::size_t kMaxViewers = 16;
// One machine may fill every viewer's place and still get the page and refusals; its connections
// beyond that are closed as soon as they come, so one client cannot hold the server.
constexpr unsigned kConnectionsPerAddress = kMaxViewers + 4;
// Each connection has a thread of its own while it lasts, so a slow one holds up no other.
constexpr unsigned kMaxConnections = 128;
// A connection that sends or takes nothing for this long is closed: a client stuck in its
// request, or a viewer that stopped reading (its browser reconnects).
constexpr unsigned kIdleSeconds = 1;
// Sent when there is nothing else, well within the idle limit: it shows a viewer who has gone,
// and keeps proxies from closing the stream.
constexpr std::chrono::milliseconds kKeepAliveInterval{400};
constexpr std::size_t kStreamBlockBytes = 16 * 1024;
// At the end, how long the viewers get to take their last words before the server stops.
constexpr std::chrono::milliseconds kFarewell{1000};
constexpr const char *kKeepAlive = ": keep-alive\n\n";
constexpr const char *kPageSecurityPolicy = "default-src 'none'; style-src 'unsafe-inline'; "
                                            "script-src 'unsafe-inline'; connect-src 'self'; img-src data:";
constexpr const char *kHostRefusal =
    "this live view answers only its own addresses: name others with --serve-host\n";
constexpr const char *kTokenRefusal = "this live view needs the token of the address it printed\n";

std::string event(const std::string &name, const std::string &data) {
    return (name.empty() ? "" : "event: " + name + "\n") + "data: " + data + "\n\n";
}

int parse_port(const std::string &text, const std::string &whole) {
    int port = -1;
    if (!text.empty() && text.size() <= 5 && text.find_first_not_of("0123456789") == std::string::npos)
        port = std::stoi(text);
    if (port < 0 || port > 65535)
        throw ToolError("--serve wants [ADDR:]PORT with a port from 0 to 65535, not '" + whole + "'");
    return port;
}

void note_dropped(std::int64_t dropped) {
    if (dropped > 0)
        std::fprintf(stderr, "iaassl_locate: a live view viewer fell behind: %lld rows were not sent to it\n",
                     static_cast<long long>(dropped));
}

// The server's first complaint (a port it cannot bind, say) explains a failure to start; the
// ones after it are about single clients, whom the server has already answered.
std::mutex complaint_mutex;
std::string first_complaint;

void keep_complaint(void *, const char *format, va_list arguments) {
    char message[256];
    std::vsnprintf(message, sizeof message, format, arguments);
    message[std::strcspn(message, "\n")] = '\0';
    std::lock_guard<std::mutex> lock(complaint_mutex);
    if (first_complaint.empty()) first_complaint = message;
}

// The server's threads leave SIGINT and SIGTERM to the run, which stops on them; the threads
// it starts for connections later inherit the mask of its listener.
MHD_Daemon *start_without_stop_signals(const sockaddr_in &listen, void *server,
                                       MHD_AccessHandlerCallback answer) {
    sigset_t stop_signals, previous;
    sigemptyset(&stop_signals);
    sigaddset(&stop_signals, SIGINT);
    sigaddset(&stop_signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stop_signals, &previous);
    MHD_Daemon *daemon = MHD_start_daemon(
        MHD_USE_THREAD_PER_CONNECTION | MHD_USE_POLL_INTERNAL_THREAD | MHD_USE_ERROR_LOG, 0, nullptr,
        nullptr, answer, server, MHD_OPTION_EXTERNAL_LOGGER, keep_complaint, nullptr,
        MHD_OPTION_SOCK_ADDR, &listen, MHD_OPTION_CONNECTION_LIMIT, kMaxConnections,
        MHD_OPTION_PER_IP_CONNECTION_LIMIT, kConnectionsPerAddress, MHD_OPTION_CONNECTION_TIMEOUT,
        kIdleSeconds, MHD_OPTION_END);
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    return daemon;
}

sockaddr_in listen_address(const ServeAddress &address) {
    sockaddr_in listen{};
    listen.sin_family = AF_INET;
    listen.sin_port = htons(static_cast<std::uint16_t>(address.port));
    if (inet_pton(AF_INET, address.host.c_str(), &listen.sin_addr) != 1)
        throw ToolError("cannot serve the live view: '" + address.host + "' is not an IPv4 address");
    return listen;
}

MHD_Result send_response(MHD_Connection *connection, unsigned status, MHD_Response *response) {
    MHD_add_response_header(response, MHD_HTTP_HEADER_CONNECTION, "close");
    MHD_add_response_header(response, "Referrer-Policy", "no-referrer");
    const MHD_Result queued = MHD_queue_response(connection, status, response);
    MHD_destroy_response(response);
    return queued;
}

MHD_Result send_text(MHD_Connection *connection, unsigned status, const char *text) {
    MHD_Response *response = MHD_create_response_from_buffer(std::strlen(text), const_cast<char *>(text),
                                                             MHD_RESPMEM_PERSISTENT);
    MHD_add_response_header(response, MHD_HTTP_HEADER_CONTENT_TYPE, "text/plain; charset=utf-8");
    return send_response(connection, status, response);
}

// One viewer's stream: what it has been handed and not yet taken.
struct EventStream {
    RowBroadcast &rows;
    RowBroadcast::ViewerId viewer;
    std::string pending;
    std::size_t taken = 0;
    bool over = false;
};
} // namespace

struct LiveViewRequests {
    static MHD_Result answer(void *server, MHD_Connection *connection, const char *url, const char *method,
                             const char *, const char *, std::size_t *, void **) {
        auto &view = *static_cast<LiveViewServer *>(server);
        const bool page = std::strcmp(url, "/") == 0;
        if (!host_allowed(view.access_, MHD_lookup_connection_value(connection, MHD_HEADER_KIND,
                                                                    MHD_HTTP_HEADER_HOST)))
            return refuse_host(view, connection);
        if (!token_allowed(view.access_,
                           MHD_lookup_connection_value(connection, MHD_GET_ARGUMENT_KIND, "token")))
            return send_text(connection, MHD_HTTP_FORBIDDEN, kTokenRefusal);
        if (!page && std::strcmp(url, "/events") != 0)
            return send_text(connection, MHD_HTTP_NOT_FOUND, "not found\n");
        if (std::strcmp(method, MHD_HTTP_METHOD_GET) != 0)
            return send_text(connection, MHD_HTTP_METHOD_NOT_ALLOWED, "GET only\n");
        return page ? serve_page(view, connection) : serve_events(view, connection);
    }

    static MHD_Result refuse_host(LiveViewServer &view, MHD_Connection *connection) {
        if (!view.refusal_said_.exchange(true))
            std::fprintf(stderr, "iaassl_locate: the live view refused a request for another host name "
                                 "(a web page elsewhere?); name the ones to answer with --serve-host\n");
        return send_text(connection, MHD_HTTP_FORBIDDEN, kHostRefusal);
    }

    static MHD_Result serve_page(LiveViewServer &view, MHD_Connection *connection) {
        MHD_Response *response = MHD_create_response_from_buffer(
            view.page_.size(), view.page_.data(), MHD_RESPMEM_PERSISTENT);
        MHD_add_response_header(response, MHD_HTTP_HEADER_CONTENT_TYPE, "text/html; charset=utf-8");
        MHD_add_response_header(response, MHD_HTTP_HEADER_CACHE_CONTROL, "no-store");
        MHD_add_response_header(response, "Content-Security-Policy", kPageSecurityPolicy);
        MHD_add_response_header(response, "X-Content-Type-Options", "nosniff");
        return send_response(connection, MHD_HTTP_OK, response);
    }

    static MHD_Result serve_events(LiveViewServer &view, MHD_Connection *connection) {
        const auto viewer = view.rows_.join();
        if (!viewer)
            return send_text(connection, MHD_HTTP_SERVICE_UNAVAILABLE,
                             "the live view has as many viewers as it takes, or has ended\n");
        MHD_Response *response = MHD_create_response_from_callback(
            MHD_SIZE_UNKNOWN, kStreamBlockBytes, next_events, new EventStream{view.rows_, *viewer, "", 0, false},
            leave);
        MHD_add_response_header(response, MHD_HTTP_HEADER_CONTENT_TYPE, "text/event-stream");
        MHD_add_response_header(response, MHD_HTTP_HEADER_CACHE_CONTROL, "no-cache");
        return send_response(connection, MHD_HTTP_OK, response);
    }

    // Runs on the viewer's own thread, so it may wait for rows; the wait stays within the idle
    // limit, after which the server would close the stream.
    static ssize_t next_events(void *stream_state, std::uint64_t, char *buffer, std::size_t room) {
        auto &stream = *static_cast<EventStream *>(stream_state);
        if (stream.taken == stream.pending.size()) {
            if (stream.over) return MHD_CONTENT_READER_END_OF_STREAM;
            auto delivery = stream.rows.next(stream.viewer, kKeepAliveInterval);
            stream.pending = delivery.text.empty() && !delivery.over ? kKeepAlive
                                                                       : delivery.text + delivery.closing;
            stream.taken = 0;
            stream.over = delivery.over;
            if (stream.pending.empty()) return MHD_CONTENT_READER_END_OF_STREAM;
        }
        const std::size_t size = std::min(room, stream.pending.size() - stream.taken);
        std::memcpy(buffer, stream.pending.data() + stream.taken, size);
        stream.taken += size;
        return static_cast<ssize_t>(size);
    }

    static void leave(void *stream_state) {
        std::unique_ptr<EventStream> stream(static_cast<EventStream *>(stream_state));
        note_dropped(stream->rows.leave(stream->viewer));
    }
};

ServeAddress parse_serve_address(const std::string &text) {
    const auto colon = text.rfind(':');
    if (colon == std::string::npos) return {"127.0.0.1", parse_port(text, text)};
    const std::string host = text.substr(0, colon);
    if (host.empty() || host.find(':') != std::string::npos)
        throw ToolError("--serve wants [ADDR:]PORT with an IPv4 address, not '" + text + "'");
    return {host, parse_port(text.substr(colon + 1), text)};
}

LiveViewServer::LiveViewServer(const ServeAddress &address, ViewAccess access, std::string page,
                               std::size_t backlog_rows)
    : address_(address), access_(std::move(access)), page_(std::move(page)), rows_(kMaxViewers, backlog_rows) {
    const sockaddr_in listen = listen_address(address_);
    daemon_ = start_without_stop_signals(listen, this, &LiveViewRequests::answer);
    if (daemon_ == nullptr) {
        std::lock_guard<std::mutex> lock(complaint_mutex);
        throw ToolError("cannot serve the live view: " + first_complaint);
    }
    address_.port = MHD_get_daemon_info(daemon_, MHD_DAEMON_INFO_BIND_PORT)->port;
    access_.listen_host = address_.host;
    access_.port = address_.port;
}

LiveViewServer::~LiveViewServer() {
    rows_.close("");
    rows_.wait_for_no_viewers(kFarewell);
    MHD_stop_daemon(daemon_);
}

std::string LiveViewServer::url() const {
    return "http://" + address_.host + ":" + std::to_string(address_.port) + "/" +
           (access_.token.empty() ? "" : "?token=" + access_.token);
}

void LiveViewServer::publish(const std::string &row_object) { rows_.publish(event("", row_object)); }

void LiveViewServer::end(std::int64_t rows) {
    rows_.close(event("end", "{\"rows\":" + std::to_string(rows) + "}"));
}

} // namespace tools
