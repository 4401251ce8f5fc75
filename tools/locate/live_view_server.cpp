#include "live_view_server.h"

#include <civetweb.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <pthread.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <thread>

#include "tool_error.h"

namespace tools {

namespace {
constexpr std::size_t kMaxViewers = 16;
// One machine may take half the viewers' places, so that it cannot shut the others out.
constexpr int kConnectionsPerAddress = kMaxViewers / 2;
// The server gives each connection a worker of its own from its first byte on, also while the
// client is still sending its request. So many that 150 clients stuck in their requests still
// leave workers for the page and every viewer.
constexpr std::size_t kWorkers = 200;
// The server gives a request's head this long from its first read, and a write to a viewer as
// long: a client stuck in its request is closed after it, as is a viewer that takes nothing (its
// browser reconnects).
constexpr const char *kRequestTimeoutMs = "1000";
// A comment now and then shows a viewer who has gone, and keeps proxies from closing the stream.
constexpr std::chrono::milliseconds kKeepAliveInterval{10000};
// At the end, how long the viewers get to take their last words before the server stops.
constexpr std::chrono::milliseconds kFarewell{1000};
constexpr std::chrono::milliseconds kKnockInterval{10};
constexpr const char *kKeepAlive = ": keep-alive\n\n";
constexpr const char *kCommonHead =
    "Referrer-Policy: no-referrer\r\n"
    "Connection: close\r\n";
constexpr const char *kPageHead =
    "HTTP/1.1 200 OK\r\n"
    "Content-Type: text/html; charset=utf-8\r\n"
    "Cache-Control: no-store\r\n"
    "Content-Security-Policy: default-src 'none'; style-src 'unsafe-inline'; "
    "script-src 'unsafe-inline'; connect-src 'self'; img-src data:\r\n"
    "X-Content-Type-Options: nosniff\r\n";
constexpr const char *kEventsHead =
    "HTTP/1.1 200 OK\r\n"
    "Content-Type: text/event-stream\r\n"
    "Cache-Control: no-cache\r\n";
constexpr const char *kHostRefusal =
    "this live view answers only its own addresses: name others with --serve-host\n";
constexpr const char *kTokenRefusal = "this live view needs the token of the address it printed\n";
constexpr const char *kBusyRefusal = "this client holds as many connections to the live view as it may\n";

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

bool is_get(mg_connection *connection) {
    return std::strcmp(mg_get_request_info(connection)->request_method, "GET") == 0;
}

bool send(mg_connection *connection, const std::string &text) {
    return mg_write(connection, text.data(), text.size()) == static_cast<int>(text.size());
}

int send_text(mg_connection *connection, int status, const std::string &text) {
    send(connection, "HTTP/1.1 " + std::to_string(status) + " " + mg_get_response_code_text(connection, status) +
                         "\r\nContent-Type: text/plain; charset=utf-8\r\nContent-Length: " +
                         std::to_string(text.size()) + "\r\n" + kCommonHead + "\r\n" + text);
    return status;
}

void note_dropped(std::int64_t dropped) {
    if (dropped > 0)
        std::fprintf(stderr, "iaassl_locate: a live view viewer fell behind: %lld rows were not sent to it\n",
                     static_cast<long long>(dropped));
}

// The token the query string carries, or none.
std::string query_token(const mg_request_info &request) {
    if (request.query_string == nullptr) return "";
    const std::size_t length = std::strlen(request.query_string);
    std::string token(length + 1, '\0');
    const int size = mg_get_var(request.query_string, length, "token", token.data(), token.size());
    token.resize(size < 0 ? 0 : static_cast<std::size_t>(size));
    return token;
}

// The server's first complaint (a port it cannot bind, say) explains a failure to start; the
// ones after it only say that it failed.
std::mutex complaint_mutex;
std::string first_complaint;

int keep_complaint(const mg_connection *, const char *message) {
    std::lock_guard<std::mutex> lock(complaint_mutex);
    if (first_complaint.empty()) first_complaint = message;
    return 1;
}

// The server's threads leave SIGINT and SIGTERM to the run, which stops on them.
mg_context *start_without_stop_signals(const mg_init_data &init, mg_error_data &error) {
    sigset_t stop_signals, previous;
    sigemptyset(&stop_signals);
    sigaddset(&stop_signals, SIGINT);
    sigaddset(&stop_signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stop_signals, &previous);
    mg_context *context = mg_start2(const_cast<mg_init_data *>(&init), &error);
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    return context;
}

// Connects and hangs up at once: what wakes a listener waiting for connections.
void knock(const sockaddr_in &listener) {
    const int probe = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (probe < 0) return;
    connect(probe, reinterpret_cast<const sockaddr *>(&listener), sizeof listener);
    close(probe);
}

// The server's listener looks at its stop flag only between waits of up to two seconds; knocking
// until it has stopped ends that wait at once.
void stop_promptly(mg_context *context, const ServeAddress &address) {
    sockaddr_in listener{};
    listener.sin_family = AF_INET;
    listener.sin_port = htons(static_cast<std::uint16_t>(address.port));
    const std::string host = address.host == "0.0.0.0" ? "127.0.0.1" : address.host;
    if (inet_pton(AF_INET, host.c_str(), &listener.sin_addr) != 1) {
        mg_stop(context);
        return;
    }
    std::atomic<bool> stopped{false};
    std::thread knocker([&] {
        while (!stopped) {
            knock(listener);
            std::this_thread::sleep_for(kKnockInterval);
        }
    });
    mg_stop(context);
    stopped = true;
    knocker.join();
}
} // namespace

struct LiveViewRequests {
    static LiveViewServer &view(const mg_connection *connection) {
        return *static_cast<LiveViewServer *>(mg_get_user_context_data(connection));
    }

    // The server tells a connection's address only once its request head is in, so this is the
    // first moment to count it; until then the head's deadline bounds it.
    static bool admit(LiveViewServer &server, mg_connection *connection) {
        std::lock_guard<std::mutex> lock(server.connections_mutex_);
        auto &held = *server.connections_.try_emplace(mg_get_request_info(connection)->remote_addr, 0).first;
        if (held.second == kConnectionsPerAddress) return false;
        ++held.second;
        mg_set_user_connection_data(connection, &held);
        return true;
    }

    static void close_connection(const mg_connection *connection) {
        auto *held = static_cast<std::pair<const std::string, int> *>(mg_get_user_connection_data(connection));
        if (held == nullptr) return;
        LiveViewServer &server = view(connection);
        std::lock_guard<std::mutex> lock(server.connections_mutex_);
        if (--held->second == 0) server.connections_.erase(server.connections_.find(held->first));
    }

    // The first the server lets us see of a request, with its head read: every refusal is here.
    static int check_request(mg_connection *connection) {
        LiveViewServer &server = view(connection);
        const mg_request_info &request = *mg_get_request_info(connection);
        if (!admit(server, connection)) return send_text(connection, 429, kBusyRefusal);
        if (!host_allowed(server.access_, mg_get_header(connection, "Host")))
            return refuse_host(server, connection);
        if (!token_allowed(server.access_, query_token(request).c_str()))
            return send_text(connection, 403, kTokenRefusal);
        return 0;
    }

    // The server's own error pages repeat a malformed request's version in their status line.
    static int answer_error(mg_connection *connection, int status, const char *) {
        send_text(connection, status, std::string(mg_get_response_code_text(connection, status)) + "\n");
        return 0;
    }

    static int refuse_host(LiveViewServer &server, mg_connection *connection) {
        if (!server.refusal_said_.exchange(true))
            std::fprintf(stderr, "iaassl_locate: the live view refused a request for another host name "
                                 "(a web page elsewhere?); name the ones to answer with --serve-host\n");
        return send_text(connection, 403, kHostRefusal);
    }

    static int serve_page(mg_connection *connection, void *) {
        if (!is_get(connection)) return send_text(connection, 405, "GET only\n");
        const std::string &page = view(connection).page_;
        send(connection, kPageHead + ("Content-Length: " + std::to_string(page.size()) + "\r\n") + kCommonHead +
                             "\r\n" + page);
        return 200;
    }

    static int serve_events(mg_connection *connection, void *) {
        if (!is_get(connection)) return send_text(connection, 405, "GET only\n");
        RowBroadcast &rows = view(connection).rows_;
        const auto viewer = rows.join();
        if (!viewer)
            return send_text(connection, 503, "the live view has as many viewers as it takes, or has ended\n");
        bool open = send(connection, std::string(kEventsHead) + kCommonHead + "\r\n");
        while (open) {
            const auto delivery = rows.next(*viewer, kKeepAliveInterval);
            const std::string text = delivery.text.empty() && !delivery.over ? kKeepAlive : delivery.text;
            open = send(connection, text + delivery.closing) && !delivery.over;
        }
        note_dropped(rows.leave(*viewer));
        return 200;
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
    mg_init_library(0);
    const std::string listen = address_.host + ":" + std::to_string(address_.port);
    const std::string workers = std::to_string(kWorkers);
    // No document root: nothing on disk is ever served, and every path without a handler is 404.
    const char *options[] = {"listening_ports", listen.c_str(), "num_threads", workers.c_str(),
                             "request_timeout_ms", kRequestTimeoutMs, "enable_keep_alive", "no",
                             nullptr};
    mg_callbacks callbacks{};
    callbacks.log_message = keep_complaint;
    callbacks.connection_close = &LiveViewRequests::close_connection;
    callbacks.begin_request = &LiveViewRequests::check_request;
    callbacks.http_error = &LiveViewRequests::answer_error;
    const mg_init_data init{&callbacks, this, options};
    char reason[256] = "";
    mg_error_data error{};
    error.text = reason;
    error.text_buffer_size = sizeof reason;
    context_ = start_without_stop_signals(init, error);
    if (context_ == nullptr) {
        std::lock_guard<std::mutex> lock(complaint_mutex);
        throw ToolError("cannot serve the live view: " + (first_complaint.empty() ? reason : first_complaint));
    }
    mg_server_port port{};
    if (mg_get_server_ports(context_, 1, &port) == 1) address_.port = port.port;
    access_.listen_host = address_.host;
    access_.port = address_.port;
    mg_set_request_handler(context_, "/$", &LiveViewRequests::serve_page, nullptr);
    mg_set_request_handler(context_, "/events$", &LiveViewRequests::serve_events, nullptr);
}

LiveViewServer::~LiveViewServer() {
    rows_.close("");
    rows_.wait_for_no_viewers(kFarewell);
    stop_promptly(context_, address_);
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
