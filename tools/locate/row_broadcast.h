// Rows handed from the run to the viewers of the live view. The run never waits for a viewer:
// each viewer has a bounded queue, and one that falls behind loses its oldest rows.
#ifndef TOOLS_ROW_BROADCAST_H
#define TOOLS_ROW_BROADCAST_H

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <list>
#include <mutex>
#include <optional>
#include <string>

namespace tools {

class RowBroadcast {
public:
    struct Viewer {
        std::deque<std::string> queue;
        std::int64_t dropped = 0;
    };
    using ViewerId = std::list<Viewer>::iterator;

    // What a viewer gets: the rows queued for it, and whether the stream is over. `closing` is
    // the stream's last words (empty when the stream was cut off rather than ended).
    struct Delivery {
        std::string text;
        bool over = false;
        std::string closing;
    };

    // `backlog` rows are kept for a viewer who joins late, and are also a viewer's queue limit.
    RowBroadcast(std::size_t max_viewers, std::size_t backlog);

    // A place for a new viewer, already holding the backlog; none when the viewers are at
    // their limit or the stream is over.
    std::optional<ViewerId> join();
    // Rows dropped for the viewer while it was connected.
    std::int64_t leave(ViewerId viewer);

    void publish(const std::string &row);
    // Ends the stream for every viewer; later rows are not sent.
    void close(const std::string &closing);

    // Waits up to `wait` for every viewer to have left.
    void wait_for_no_viewers(std::chrono::milliseconds wait);

    // Waits up to `wait` for rows or the end.
    Delivery next(ViewerId viewer, std::chrono::milliseconds wait);

private:
    static void push(std::deque<std::string> &queue, const std::string &row, std::size_t limit,
                     std::int64_t *dropped);

    const std::size_t max_viewers_;
    const std::size_t backlog_limit_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::list<Viewer> viewers_;
    std::deque<std::string> backlog_;
    bool closed_ = false;
    std::string closing_;
};

} // namespace tools

#endif
