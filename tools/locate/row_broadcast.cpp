#include "row_broadcast.h"

namespace tools {

RowBroadcast::RowBroadcast(std::size_t max_viewers, std::size_t backlog)
    : max_viewers_(max_viewers), backlog_limit_(backlog) {}

std::optional<RowBroadcast::ViewerId> RowBroadcast::join() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (closed_ || viewers_.size() >= max_viewers_) return std::nullopt;
    viewers_.push_back(Viewer{backlog_, 0});
    return std::prev(viewers_.end());
}

std::int64_t RowBroadcast::leave(ViewerId viewer) {
    std::int64_t dropped = 0;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        dropped = viewer->dropped;
        viewers_.erase(viewer);
    }
    changed_.notify_all();
    return dropped;
}

void RowBroadcast::wait_for_no_viewers(std::chrono::milliseconds wait) {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait_for(lock, wait, [&] { return viewers_.empty(); });
}

void RowBroadcast::push(std::deque<std::string> &queue, const std::string &row, std::size_t limit,
                        std::int64_t *dropped) {
    if (queue.size() >= limit) {
        queue.pop_front();
        if (dropped) ++*dropped;
    }
    queue.push_back(row);
}

void RowBroadcast::publish(const std::string &row) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (closed_) return;
        push(backlog_, row, backlog_limit_, nullptr);
        for (auto &viewer : viewers_) push(viewer.queue, row, backlog_limit_, &viewer.dropped);
    }
    changed_.notify_all();
}

void RowBroadcast::close(const std::string &closing) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (closed_) return;
        closed_ = true;
        closing_ = closing;
    }
    changed_.notify_all();
}

RowBroadcast::Delivery RowBroadcast::next(ViewerId viewer, std::chrono::milliseconds wait) {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait_for(lock, wait, [&] { return closed_ || !viewer->queue.empty(); });
    Delivery delivery;
    for (const auto &row : viewer->queue) delivery.text += row;
    viewer->queue.clear();
    delivery.over = closed_;
    if (closed_) delivery.closing = closing_;
    return delivery;
}

} // namespace tools
