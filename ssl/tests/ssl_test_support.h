// Shared helpers of the library tests: output capture and handles brought to a given stage.
#ifndef SSL_TEST_SUPPORT_H
#define SSL_TEST_SUPPORT_H

#include <string>
#include <vector>

#include "iaassl.h"
#include "ssl_handle.h"

// Collects everything written to standard output between construction and text().
class StdoutCapture {
public:
    StdoutCapture();
    ~StdoutCapture();
    std::string text();

private:
    int saved_fd_;
    FILE *file_;
    bool done_;
};

template <typename F>
std::string captured(F &&f)
{
    StdoutCapture capture;
    f();
    return capture.text();
}

SslInit make_init(float mic_distance_cm = 5.0f, uint32_t sample_rate = 16000,
                  uint32_t bf_mode = 0);
SslConfig make_config(uint32_t temperature = 25, int32_t gate = -80, uint32_t frames = 32);

// A working buffer of the library's size, 8-byte aligned as malloc would give it.
class WorkBuffer {
public:
    WorkBuffer();
    char *bytes() { return reinterpret_cast<char *>(storage_.data()); }
    SslHandle &record() { return *reinterpret_cast<SslHandle *>(storage_.data()); }
    size_t size() const { return size_; }

private:
    size_t size_;
    std::vector<uint64_t> storage_;
};

// Init, Config, Set_Shape and Cal_Params, each expected to succeed; output is discarded.
SSL_HANDLE ready_handle(char *buffer, const SslInit &init, int32_t geometry = 0,
                        const SslConfig &config = make_config());

std::string error_line(const std::string &text);
std::string note_line(const std::string &text);

#endif
