// Progress of a long run on standard error, only when a person is watching it.
#ifndef TOOLS_PROGRESS_H
#define TOOLS_PROGRESS_H

namespace tools {

class Progress {
public:
    // Files shorter than this finish before anyone waits for them.
    static constexpr double kMinimumSeconds = 10.0;

    Progress(double total_seconds, bool to_terminal);
    ~Progress();
    Progress(const Progress &) = delete;
    Progress &operator=(const Progress &) = delete;

    void update(double done_seconds);

private:
    double total_;
    bool shown_;
    int last_percent_ = -1;
};

bool stderr_is_terminal();

} // namespace tools

#endif
