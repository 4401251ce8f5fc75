#include "ssl_test_support.h"

#include <gtest/gtest.h>
#include <stdio.h>
#include <unistd.h>

StdoutCapture::StdoutCapture() : saved_fd_(-1), file_(tmpfile()), done_(false)
{
    fflush(stdout);
    saved_fd_ = dup(fileno(stdout));
    dup2(fileno(file_), fileno(stdout));
}

// Failure reports of checks made while capturing would otherwise vanish with the output.
StdoutCapture::~StdoutCapture()
{
    std::string swallowed = text();
    if (::testing::Test::HasFailure()) {
        fputs(swallowed.c_str(), stderr);
    }
}

std::string StdoutCapture::text()
{
    if (done_) {
        return "";
    }
    done_ = true;
    fflush(stdout);
    dup2(saved_fd_, fileno(stdout));
    close(saved_fd_);
    std::string out;
    rewind(file_);
    char chunk[512];
    size_t n;
    while ((n = fread(chunk, 1, sizeof chunk, file_)) > 0) {
        out.append(chunk, n);
    }
    fclose(file_);
    return out;
}

SslInit make_init(float mic_distance_cm, uint32_t sample_rate, uint32_t bf_mode)
{
    return SslInit{128, sample_rate, mic_distance_cm, bf_mode, SSL_MICS};
}

SslConfig make_config(uint32_t temperature, int32_t gate, uint32_t frames)
{
    return SslConfig{temperature, gate, frames};
}

WorkBuffer::WorkBuffer()
    : size_(0), storage_()
{
    StdoutCapture quiet;
    size_ = IaaSsl_GetBufferSize();
    storage_.assign((size_ + sizeof(uint64_t) - 1) / sizeof(uint64_t), 0);
}

SSL_HANDLE ready_handle(char *buffer, const SslInit &init, int32_t geometry,
                        const SslConfig &config)
{
    StdoutCapture quiet;
    SSL_HANDLE h = IaaSsl_Init(buffer, &init);
    EXPECT_NE(h, nullptr);
    EXPECT_EQ(IaaSsl_Config(h, &config), SSL_RET_OK);
    EXPECT_EQ(IaaSsl_Set_Shape(h, geometry), SSL_RET_OK);
    EXPECT_EQ(IaaSsl_Cal_Params(h), SSL_RET_OK);
    return h;
}

std::string error_line(const std::string &text)
{
    return "[ALGO_MSG_ERR] " + text;
}

std::string note_line(const std::string &text)
{
    return "[ALGO_MSG_MSG] " + text;
}
