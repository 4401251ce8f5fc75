// Every build decides as the host build recorded: the per-frame delays and the direction
// results of a set of scenes, against data/reference_<mics>mic.txt. The FFT library and the
// loops differ between builds (KissFFT and portable code on hosts, Ne10 and NEON on ARM), and
// float results with them in the last places; delays, codes and angles may not.
// SSL_RECORD_REFERENCE=1 rewrites the file from the build at hand.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "ssl_scene.h"
#include "ssl_test_support.h"

namespace {

constexpr int FRAME_SAMPLES = SSL_POINT_NUMBER * SSL_MICS;
constexpr int WINDOWS = 2;
constexpr double SPEED = 346.0;

struct ReferenceScene {
    std::string name;
    SslInit init;
    int32_t geometry;
    std::vector<MicPosition> mics;
    double azimuth;
    double snr_db;
};

std::vector<ReferenceScene> scenes()
{
    std::vector<ReferenceScene> out;
    const double spacing = SSL_MICS > 2 ? 0.05 : 0.10;
    const float centimetres = static_cast<float>(spacing * 100.0);
    for (uint32_t mode : {0u, 1u}) {
        for (uint32_t rate : {8000u, 48000u}) {
            for (double snr : {20.0, 3.0}) {
                for (double angle = -75.0; angle <= 75.0; angle += 50.0) {
                    std::ostringstream name;
                    name << "line mode " << mode << " " << rate << " Hz " << snr << " dB " << angle;
                    out.push_back({name.str(), make_init(centimetres, rate, mode), 0,
                                   linear_array(SSL_MICS, spacing), angle + 90.0, snr});
                }
            }
        }
    }
#if SSL_MIC_NUM > 2
    for (double snr : {20.0, 3.0}) {
        for (double angle = -90.0; angle < 270.0; angle += 60.0) {
            std::ostringstream name;
            name << "circle " << snr << " dB " << angle;
            out.push_back({name.str(), make_init(10.0f, 16000), 1, circular_array(0.10),
                           angle + 90.0, snr});
        }
    }
#endif
    return out;
}

// One line: a checksum of the input, every frame's delays, then each window's code and angle.
std::string outcome(const ReferenceScene &s, unsigned seed)
{
    WorkBuffer buffer;
    SSL_HANDLE h = ready_handle(buffer.bytes(), s.init, s.geometry);
    Scene scene(far_field_delays(s.mics, s.azimuth, SPEED, s.init.sample_rate), s.snr_db, 0.1, seed);
    std::ostringstream line;
    std::ostringstream decisions;
    uint32_t checksum = 0;
    int16_t frame[FRAME_SAMPLES];
    int32_t delays[SSL_PAIRS];
    StdoutCapture quiet;
    for (int window = 0; window < WINDOWS; ++window) {
        for (int i = 0; i < 32; ++i) {
            scene.next_frame(frame);
            for (int16_t v : frame) {
                checksum = checksum * 31u + static_cast<uint16_t>(v);
            }
            IaaSsl_Run(h, frame, delays);
            for (int32_t d : delays) {
                line << ' ' << d;
            }
        }
        if (s.init.bf_mode == 0) {
            int32_t angle = 0;
            const int32_t code = IaaSsl_Get_Direction(h, &angle);
            decisions << ' ' << code << ' ' << angle;
            IaaSsl_Reset_Mapping(h);
        }
    }
    return s.name + ": input " + std::to_string(checksum) + " delays" + line.str() + " decisions" +
           decisions.str();
}

std::vector<std::string> outcomes()
{
    std::vector<std::string> out;
    unsigned seed = 101;
    for (const ReferenceScene &s : scenes()) {
        out.push_back(outcome(s, seed++));
    }
    return out;
}

TEST(Reference, ScenesGiveTheRecordedDelaysAndDirections)
{
    const std::vector<std::string> got = outcomes();
    const char *record = getenv("SSL_RECORD_REFERENCE");
    if (record != nullptr && record[0] == '1') {
        std::ofstream file(SSL_REFERENCE_FILE);
        for (const std::string &line : got) {
            file << line << '\n';
        }
        ASSERT_TRUE(file.good()) << SSL_REFERENCE_FILE;
        return;
    }
    std::ifstream file(SSL_REFERENCE_FILE);
    ASSERT_TRUE(file.is_open()) << SSL_REFERENCE_FILE;
    std::vector<std::string> expected;
    std::string line;
    while (std::getline(file, line)) {
        expected.push_back(line);
    }
    ASSERT_EQ(got.size(), expected.size());
    for (size_t i = 0; i < got.size(); ++i) {
        EXPECT_EQ(got[i], expected[i]);
    }
}

}  // namespace
