// Proves that no library call allocates: the process's allocator counts while the calls run.
#include <gtest/gtest.h>

#include <malloc.h>
#include <stdlib.h>

#include <vector>

#include "ssl_scene.h"
#include "ssl_test_support.h"

extern "C" {
void *__libc_malloc(size_t size);
void *__libc_calloc(size_t count, size_t size);
void *__libc_realloc(void *ptr, size_t size);
void *__libc_memalign(size_t alignment, size_t size);
}

namespace {
bool counting = false;
long allocations = 0;

void note_allocation()
{
    if (counting) {
        ++allocations;
    }
}
}  // namespace

extern "C" {
void *malloc(size_t size)
{
    note_allocation();
    return __libc_malloc(size);
}

void *calloc(size_t count, size_t size)
{
    note_allocation();
    return __libc_calloc(count, size);
}

void *realloc(void *ptr, size_t size)
{
    note_allocation();
    return __libc_realloc(ptr, size);
}

void *aligned_alloc(size_t alignment, size_t size)
{
    note_allocation();
    return __libc_memalign(alignment, size);
}

void *memalign(size_t alignment, size_t size)
{
    note_allocation();
    return __libc_memalign(alignment, size);
}

int posix_memalign(void **out, size_t alignment, size_t size)
{
    note_allocation();
    *out = __libc_memalign(alignment, size);
    return *out == nullptr ? ENOMEM : 0;
}
}

namespace {

constexpr int FRAME_SAMPLES = SSL_POINT_NUMBER * SSL_MICS;

long count_allocations(void (*calls)(char *, const int16_t *))
{
    WorkBuffer buffer;
    std::vector<int16_t> frames(FRAME_SAMPLES * 40);
    Scene scene(far_field_delays(linear_array(SSL_MICS, 0.05), 70.0, 346.0, 16000), 20.0, 0.1, 3);
    for (size_t i = 0; i < 40; ++i) {
        scene.next_frame(&frames[i * FRAME_SAMPLES]);
    }
    printf("%s", "");  // the first print sets up the output buffer
    allocations = 0;
    counting = true;
    calls(buffer.bytes(), frames.data());
    counting = false;
    return allocations;
}

void every_call(char *buffer, const int16_t *frames)
{
    int32_t delays[SSL_PAIRS];
    int32_t angle;
    for (uint32_t mode : {0u, 1u}) {
        SslInit init = make_init(5.0f, 16000, mode);
        SslConfig config = make_config();
        SslConfig read_back;
        SSL_HANDLE h = IaaSsl_Init(buffer, &init);
        IaaSsl_Config(h, &config);
        IaaSsl_Get_Config(h, &read_back);
        IaaSsl_Set_Shape(h, mode == 0 ? 0 : SSL_MICS > 2);
        IaaSsl_Cal_Params(h);
        for (int i = 0; i < 40; ++i) {
            IaaSsl_Run(h, frames + i * FRAME_SAMPLES, delays);
        }
        IaaSsl_Get_Direction(h, &angle);
        IaaSsl_Reset_Mapping(h);
        IaaSsl_Run(h, nullptr, delays);
        IaaSsl_Reset(h, &init);
        IaaSsl_Free(h);
        IaaSsl_Free(nullptr);
    }
}

TEST(NoAllocation, TheCounterSeesAllocations)
{
    long seen = count_allocations([](char *, const int16_t *) {
        void *p = malloc(16);
        free(p);
    });
    EXPECT_EQ(seen, 1);
}

TEST(NoAllocation, NoCallAllocates)
{
    StdoutCapture quiet;
    EXPECT_EQ(count_allocations(every_call), 0);
}

}  // namespace
