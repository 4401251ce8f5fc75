#include "live_view_server.h"

#include <httplib.h>

#include <pthread.h>
#include <sys/socket.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>

#include "tool_error.h"

namespace tools {

namespace {
constexpr std::size_t kMaxViewers = 16;
// Workers beyond the viewers' own answer the page, refusals and 404s while 16 streams are open.
constexpr std::size_t kSpareWorkers = 4;
// A comment now and then shows a viewer who has gone, and keeps proxies from closing the stream.
constexpr std::chrono::milliseconds kKeepAliveInterval{10000};
// A viewer whose connection takes nothing for this long is cut off; its browser reconnects.
constexpr int kWriteTimeoutSeconds = 1;
constexpr int kReadTimeoutSeconds = 2;
// A fixed send buffer, plenty for a few rows a second, keeps rows for a viewer who is not
// reading in that viewer's bounded queue rather than in kernel buffers that grow to megabytes.
constexpr int kSendBufferBytes = 64 * 1024;
constexpr const char *kKeepAlive = ": keep-alive\n\n";
constexpr const char *kPageSecurity =
    "default-src 'none'; style-src 'unsafe-inline'; script-src 'unsafe-inline'; "
    "connect-src 'self'; img-src data:";

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

// Reusing the address lets the tool start again at once on the port it just left; unlike the
// library's default, no second process may share the port and take some of its viewers.
void set_socket_options(int socket) {
    const int yes = 1;
    setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    setsockopt(socket, SOL_SOCKET, SO_SNDBUF, &kSendBufferBytes, sizeof kSendBufferBytes);
}

// The listener and its workers leave SIGINT and SIGTERM to the run, which stops on them.
std::thread start_without_stop_signals(httplib::Server &http, std::atomic<bool> &listened) {
    sigset_t stop_signals, previous;
    sigemptyset(&stop_signals);
    sigaddset(&stop_signals, SIGINT);
    sigaddset(&stop_signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stop_signals, &previous);
    std::thread listener([&http, &listened] {
        http.listen_after_bind();
        listened = true;
    });
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    return listener;
}

void note_dropped(std::int64_t dropped) {
    if (dropped > 0)
        std::fprintf(stderr, "iaassl_locate: a live view viewer fell behind: %lld rows were not sent to it\n",
                     static_cast<long long>(dropped));
}
} // namespace

ServeAddress parse_serve_address(const std::string &text) {
    const auto colon = text.rfind(':');
    if (colon == std::string::npos) return {"127.0.0.1", parse_port(text, text)};
    std::string host = text.substr(0, colon);
    if (host.size() >= 2 && host.front() == '[' && host.back() == ']') host = host.substr(1, host.size() - 2);
    if (host.empty()) throw ToolError("--serve wants [ADDR:]PORT, not '" + text + "'");
    return {host, parse_port(text.substr(colon + 1), text)};
}

LiveViewServer::LiveViewServer(const ServeAddress &address, std::string page, std::size_t backlog_rows)
    : address_(address), page_(std::move(page)), rows_(kMaxViewers, backlog_rows),
      http_(std::make_unique<httplib::Server>()) {
    http_->new_task_queue = [] { return new httplib::ThreadPool(kMaxViewers + kSpareWorkers); };
    // A worker per connection: one request each, so none sits on an idle connection.
    http_->set_keep_alive_max_count(1);
    http_->set_read_timeout(kReadTimeoutSeconds);
    http_->set_write_timeout(kWriteTimeoutSeconds);
    http_->set_socket_options(set_socket_options);
    http_->Get("/", [this](const httplib::Request &, httplib::Response &response) {
        response.set_header("Cache-Control", "no-store");
        response.set_header("Content-Security-Policy", kPageSecurity);
        response.set_header("X-Content-Type-Options", "nosniff");
        response.set_content(page_, "text/html; charset=utf-8");
    });
    http_->Get("/events", [this](const httplib::Request &, httplib::Response &response) {
        const auto viewer = rows_.join();
        if (!viewer) {
            response.status = 503;
            response.set_content("the live view has as many viewers as it takes, or has ended\n",
                                 "text/plain; charset=utf-8");
            return;
        }
        response.set_header("Cache-Control", "no-cache");
        response.set_chunked_content_provider(
            "text/event-stream",
            [this, id = *viewer](std::size_t, httplib::DataSink &sink) {
                const auto delivery = rows_.next(id, kKeepAliveInterval);
                std::string text = delivery.text.empty() && !delivery.over ? kKeepAlive : delivery.text;
                text += delivery.closing;
                if (!text.empty() && !sink.write(text.data(), text.size())) return false;
                if (delivery.over) sink.done();
                return true;
            },
            [this, id = *viewer](bool) { note_dropped(rows_.leave(id)); });
    });
    http_->set_error_handler([](const httplib::Request &, httplib::Response &response) {
        if (response.body.empty())
            response.set_content(std::to_string(response.status) + "\n", "text/plain; charset=utf-8");
    });
    errno = 0;
    const bool bound = address_.port == 0 ? (address_.port = http_->bind_to_any_port(address_.host)) > 0
                                          : http_->bind_to_port(address_.host, address_.port);
    if (!bound)
        throw ToolError("cannot serve the live view on " + address_.host + ":" +
                        std::to_string(address_.port) + (errno ? std::string(": ") + std::strerror(errno) : ""));
    listener_ = start_without_stop_signals(*http_, listened_);
}

LiveViewServer::~LiveViewServer() {
    rows_.close("");
    // A stop before the listener runs would go unheard, and the listener would never return.
    while (!http_->is_running() && !listened_) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    http_->stop();
    listener_.join();
}

std::string LiveViewServer::url() const {
    const bool v6 = address_.host.find(':') != std::string::npos;
    return "http://" + (v6 ? "[" + address_.host + "]" : address_.host) + ":" +
           std::to_string(address_.port) + "/";
}

void LiveViewServer::publish(const std::string &row_object) { rows_.publish(event("", row_object)); }

void LiveViewServer::end(std::int64_t rows) {
    rows_.close(event("end", "{\"rows\":" + std::to_string(rows) + "}"));
}

} // namespace tools
