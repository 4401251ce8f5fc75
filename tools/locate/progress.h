// Progress of a long run on standard error, only when a person is watching it.
#ifndef TOOLS_PROGRESS_H
#define TOOLS_PROGRESS_H

namespace tools {

class Progress {
public:
    // Files shorter than this finish before anyone waits for them.
    static constexpr double kMinimumSeconds = 10.0;

    // `shares_line_with_rows`: the results go to the same terminal, so each row must first
    // wipe the progress text it would otherwise be printed after.
    Progress(double total_seconds, bool to_terminal, bool shares_line_with_rows);
    ~Progress();
    Progress(const Progress &) = delete;
    Progress &operator=(const Progress &) = delete;

    void before_row();
    void update(double done_seconds);

private:
    void wipe();

    double total_;
    bool shown_;
    bool shares_line_;
    int last_percent_ = -1;
};

bool stderr_is_terminal();

} // namespace tools

#endif
