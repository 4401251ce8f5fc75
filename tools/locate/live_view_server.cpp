#include "live_view_server.h"

#include <civetweb.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <pthread.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <thread>

#include "tool_error.h"

namespace tools {

namespace {
constexpr std::size_t kMaxViewers = 16;
// Workers beyond the viewers' own answer the page, refusals and 404s while 16 streams are open.
constexpr std::size_t kSpareWorkers = 4;
// A comment now and then shows a viewer who has gone, and keeps proxies from closing the stream.
constexpr std::chrono::milliseconds kKeepAliveInterval{10000};
// How long a read from or a write to a viewer may wait; one that takes nothing for this long is
// cut off, and its browser reconnects.
constexpr const char *kNetworkTimeoutMs = "1000";
// At the end, how long the viewers get to take their last words before the server stops.
constexpr std::chrono::milliseconds kFarewell{1000};
constexpr std::chrono::milliseconds kKnockInterval{10};
constexpr const char *kKeepAlive = ": keep-alive\n\n";
constexpr const char *kPageHead =
    "HTTP/1.1 200 OK\r\n"
    "Content-Type: text/html; charset=utf-8\r\n"
    "Cache-Control: no-store\r\n"
    "Content-Security-Policy: default-src 'none'; style-src 'unsafe-inline'; "
    "script-src 'unsafe-inline'; connect-src 'self'; img-src data:\r\n"
    "X-Content-Type-Options: nosniff\r\n"
    "Connection: close\r\n";
constexpr const char *kEventsHead =
    "HTTP/1.1 200 OK\r\n"
    "Content-Type: text/event-stream\r\n"
    "Cache-Control: no-cache\r\n"
    "Connection: close\r\n\r\n";

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

void note_dropped(std::int64_t dropped) {
    if (dropped > 0)
        std::fprintf(stderr, "iaassl_locate: a live view viewer fell behind: %lld rows were not sent to it\n",
                     static_cast<long long>(dropped));
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

ServeAddress parse_serve_address(const std::string &text) {
    const auto colon = text.rfind(':');
    if (colon == std::string::npos) return {"127.0.0.1", parse_port(text, text)};
    const std::string host = text.substr(0, colon);
    if (host.empty() || host.find(':') != std::string::npos)
        throw ToolError("--serve wants [ADDR:]PORT with an IPv4 address, not '" + text + "'");
    return {host, parse_port(text.substr(colon + 1), text)};
}

LiveViewServer::LiveViewServer(const ServeAddress &address, std::string page, std::size_t backlog_rows)
    : address_(address), page_(std::move(page)), rows_(kMaxViewers, backlog_rows) {
    mg_init_library(0);
    const std::string listen = address_.host + ":" + std::to_string(address_.port);
    const std::string workers = std::to_string(kMaxViewers + kSpareWorkers);
    // No document root: nothing on disk is ever served, and every path without a handler is 404.
    const char *options[] = {"listening_ports", listen.c_str(), "num_threads", workers.c_str(),
                             "request_timeout_ms", kNetworkTimeoutMs, "enable_keep_alive", "no",
                             nullptr};
    mg_callbacks callbacks{};
    callbacks.log_message = keep_complaint;
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
    mg_set_request_handler(context_, "/$", &LiveViewServer::serve_page, this);
    mg_set_request_handler(context_, "/events$", &LiveViewServer::serve_events, this);
}

LiveViewServer::~LiveViewServer() {
    rows_.close("");
    rows_.wait_for_no_viewers(kFarewell);
    stop_promptly(context_, address_);
}

int LiveViewServer::serve_page(mg_connection *connection, void *server) {
    if (!is_get(connection)) return mg_send_http_error(connection, 405, "GET only\n"), 405;
    const std::string &page = static_cast<LiveViewServer *>(server)->page_;
    send(connection, kPageHead + ("Content-Length: " + std::to_string(page.size()) + "\r\n\r\n") + page);
    return 200;
}

int LiveViewServer::serve_events(mg_connection *connection, void *server) {
    if (!is_get(connection)) return mg_send_http_error(connection, 405, "GET only\n"), 405;
    RowBroadcast &rows = static_cast<LiveViewServer *>(server)->rows_;
    const auto viewer = rows.join();
    if (!viewer) {
        mg_send_http_error(connection, 503, "the live view has as many viewers as it takes, or has ended\n");
        return 503;
    }
    bool open = send(connection, kEventsHead);
    while (open) {
        const auto delivery = rows.next(*viewer, kKeepAliveInterval);
        const std::string text = delivery.text.empty() && !delivery.over ? kKeepAlive : delivery.text;
        open = send(connection, text + delivery.closing) && !delivery.over;
    }
    note_dropped(rows.leave(*viewer));
    return 200;
}

std::string LiveViewServer::url() const {
    return "http://" + address_.host + ":" + std::to_string(address_.port) + "/";
}

void LiveViewServer::publish(const std::string &row_object) { rows_.publish(event("", row_object)); }

void LiveViewServer::end(std::int64_t rows) {
    rows_.close(event("end", "{\"rows\":" + std::to_string(rows) + "}"));
}

} // namespace tools
