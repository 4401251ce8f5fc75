// Memory safety of full cycles: guard bytes around the buffer, and handles side by side.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "ssl_scene.h"
#include "ssl_test_support.h"

namespace {

constexpr size_t GUARD = 64;
constexpr unsigned char GUARD_BYTE = 0xA5;
constexpr int FRAME_SAMPLES = SSL_POINT_NUMBER * SSL_MICS;

class GuardedBuffer {
public:
    explicit GuardedBuffer(size_t size) : size_(size), words_((size + 2 * GUARD) / 8 + 1)
    {
        memset(words_.data(), GUARD_BYTE, words_.size() * 8);
    }
    char *bytes() { return reinterpret_cast<char *>(words_.data()) + GUARD; }
    bool guards_intact()
    {
        const unsigned char *all = reinterpret_cast<const unsigned char *>(words_.data());
        for (size_t i = 0; i < words_.size() * 8; ++i) {
            bool inside = i >= GUARD && i < GUARD + size_;
            if (!inside && all[i] != GUARD_BYTE) {
                return false;
            }
        }
        return true;
    }

private:
    size_t size_;
    std::vector<uint64_t> words_;
};

struct Extreme {
    float centimetres;
    uint32_t rate;
    uint32_t temperature;
    int32_t geometry;
};

void full_scale_square(int16_t *frame, int period)
{
    for (int k = 0; k < FRAME_SAMPLES; ++k) {
        frame[k] = (k / SSL_MICS / period) % 2 ? static_cast<int16_t>(32767)
                                               : static_cast<int16_t>(-32768);
    }
}

void cycle(SSL_HANDLE h, uint32_t mode, Scene &scene, int frames)
{
    int16_t frame[FRAME_SAMPLES];
    int32_t delays[SSL_PAIRS];
    for (int i = 0; i < frames; ++i) {
        if (i % 5 == 4) {
            full_scale_square(frame, 1 + i % 7);
        } else {
            scene.next_frame(frame);
        }
        ASSERT_EQ(IaaSsl_Run(h, frame, delays), SSL_RET_OK);
    }
    if (mode == 0) {
        int32_t angle;
        IaaSsl_Get_Direction(h, &angle);
        ASSERT_EQ(IaaSsl_Reset_Mapping(h), SSL_RET_OK);
    }
}

TEST(Isolation, GuardBytesSurviveExtremeGeometries)
{
    const Extreme extremes[] = {
        {0.01f, 8000, 25, 0},     {5.0f, 16000, static_cast<uint32_t>(-40), 0},
        {300.0f, 48000, 60, 0},   {1000.0f, 48000, 25, 0},
        {0.0f, 32000, 25, 0},     {-20.0f, 16000, 25, 0},
#if SSL_MIC_NUM > 2
        {300.0f, 48000, 25, 1},   {0.01f, 8000, 25, 1},
#endif
    };
    const size_t size = WorkBuffer().size();
    for (const Extreme &x : extremes) {
        for (uint32_t mode : {0u, 1u}) {
            GuardedBuffer buffer(size);
            SSL_HANDLE h = ready_handle(buffer.bytes(), make_init(x.centimetres, x.rate, mode),
                                        x.geometry, make_config(x.temperature));
            Scene scene(std::vector<double>(SSL_MICS, 0.0), 10.0, 0.3, 17);
            const std::string fft_area(buffer.bytes() + sizeof(SslHandle),
                                       size - sizeof(SslHandle));
            {
                StdoutCapture quiet;
                for (int round = 0; round < 2; ++round) {
                    cycle(h, mode, scene, 34);
                }
                // The time-domain search has no business in the transform's memory.
                if (mode == 1) {
                    EXPECT_EQ(std::string(buffer.bytes() + sizeof(SslHandle), fft_area.size()),
                              fft_area)
                        << x.centimetres << " cm";
                }
                SslInit again = make_init(x.centimetres, x.rate, mode);
                EXPECT_EQ(IaaSsl_Reset(h, &again), h);
                EXPECT_EQ(IaaSsl_Free(h), SSL_RET_OK);
            }
            EXPECT_TRUE(buffer.guards_intact()) << x.centimetres << " cm, mode " << mode;
        }
    }
}

struct Outputs {
    std::vector<int32_t> delays;
    std::vector<int32_t> angles;
};

// Runs both handles' scenes in lock step, or one of them alone.
void run_scenes(std::vector<SSL_HANDLE> handles, std::vector<Scene> scenes,
                std::vector<Outputs> &out)
{
    int16_t frame[FRAME_SAMPLES];
    int32_t delays[SSL_PAIRS];
    StdoutCapture quiet;
    for (int window = 0; window < 2; ++window) {
        for (int i = 0; i < 32; ++i) {
            for (size_t k = 0; k < handles.size(); ++k) {
                scenes[k].next_frame(frame);
                IaaSsl_Run(handles[k], frame, delays);
                out[k].delays.insert(out[k].delays.end(), delays, delays + SSL_PAIRS);
            }
        }
        for (size_t k = 0; k < handles.size(); ++k) {
            int32_t angle = 0;
            out[k].angles.push_back(IaaSsl_Get_Direction(handles[k], &angle));
            out[k].angles.push_back(angle);
            IaaSsl_Reset_Mapping(handles[k]);
        }
    }
}

TEST(Isolation, TwoHandlesDoNotDisturbEachOther)
{
    auto scene_a = [] {
        return Scene(far_field_delays(linear_array(SSL_MICS, 0.05), 60.0, 346.0, 16000), 20.0,
                     0.1, 21);
    };
    auto scene_b = [] {
        return Scene(far_field_delays(linear_array(SSL_MICS, 0.08), 130.0, 355.0, 32000), 15.0,
                     0.2, 22);
    };
    WorkBuffer a;
    WorkBuffer b;
    SSL_HANDLE ha = ready_handle(a.bytes(), make_init(5.0f, 16000));
    SSL_HANDLE hb = ready_handle(b.bytes(), make_init(8.0f, 32000), 0, make_config(40));
    std::vector<Outputs> together(2);
    run_scenes({ha, hb}, {scene_a(), scene_b()}, together);

    ha = ready_handle(a.bytes(), make_init(5.0f, 16000));
    hb = ready_handle(b.bytes(), make_init(8.0f, 32000), 0, make_config(40));
    std::vector<Outputs> alone_a(1);
    std::vector<Outputs> alone_b(1);
    run_scenes({ha}, {scene_a()}, alone_a);
    run_scenes({hb}, {scene_b()}, alone_b);

    EXPECT_EQ(together[0].delays, alone_a[0].delays);
    EXPECT_EQ(together[0].angles, alone_a[0].angles);
    EXPECT_EQ(together[1].delays, alone_b[0].delays);
    EXPECT_EQ(together[1].angles, alone_b[0].angles);
    EXPECT_NE(together[0].angles, together[1].angles);
    EXPECT_EQ(together[0].angles[0], SSL_RET_OK);
}

// The header asks the caller for 32-bit alignment only; on a 64-bit host that is half of
// what a pointer wants, and the handle must still work there.
TEST(Isolation, BufferAlignedOnlyForThirtyTwoBitValuesGivesTheSameResults)
{
    auto scene = [] {
        return Scene(far_field_delays(linear_array(SSL_MICS, 0.05), 60.0, 346.0, 16000), 20.0,
                     0.1, 23);
    };
    WorkBuffer aligned;
    std::vector<uint64_t> storage(aligned.size() / 8 + 2);
    char *shifted = reinterpret_cast<char *>(storage.data()) + 4;
    SSL_HANDLE ha = ready_handle(aligned.bytes(), make_init(5.0f, 16000));
    SSL_HANDLE hs = ready_handle(shifted, make_init(5.0f, 16000));
    ASSERT_EQ(hs, shifted);
    std::vector<Outputs> out(2);
    run_scenes({ha, hs}, {scene(), scene()}, out);
    EXPECT_EQ(out[1].delays, out[0].delays);
    EXPECT_EQ(out[1].angles, out[0].angles);
    EXPECT_EQ(out[1].angles[0], SSL_RET_OK);
}

// The application that loads us must keep a stack that cannot be executed, whatever the FFT
// library underneath would ask for.
TEST(Isolation, StackOfTheLoadingProcessStaysNotExecutable)
{
    std::ifstream maps("/proc/self/maps");
    ASSERT_TRUE(maps.is_open());
    std::string line;
    std::string stack;
    bool library_loaded = false;
    while (std::getline(maps, line)) {
        library_loaded = library_loaded || line.find(SSL_LIBRARY_NAME) != std::string::npos;
        if (line.find("[stack]") != std::string::npos) {
            stack = line;
        }
    }
    ASSERT_TRUE(library_loaded) << SSL_LIBRARY_NAME << " is not mapped";
    ASSERT_FALSE(stack.empty()) << "no [stack] in /proc/self/maps";
    std::istringstream fields(stack);
    std::string range;
    std::string permissions;
    fields >> range >> permissions;
    EXPECT_EQ(permissions.find('x'), std::string::npos) << stack;
}

}  // namespace
