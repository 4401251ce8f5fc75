// Get_Direction on hand-made voting maps: winners, thresholds, limits and the angle mapping.
#include <gtest/gtest.h>

#include <string>

#include "ssl_test_support.h"

namespace {

constexpr float RATE = 16000.0f;
constexpr float SPEED = 346.0f;

const std::string PAIR_TOO_LARGE = note_line(
    " [SSL]Delay sample in pair is too large, Please check the distance and sampling rate!.\t\n");
const std::string LINE_TOO_LARGE = note_line(
    " [SSL]ULA all delay samples are too large. Please check the distance and sampling rate!.\t\n");

class Decision : public ::testing::Test {
protected:
    void SetUp() override
    {
        h_ = ready_handle(buffer_.bytes(), make_init(5.0f, 16000));
        const int16_t silence[SSL_POINT_NUMBER * SSL_MICS] = {};
        int32_t delays[SSL_PAIRS];
        captured([&] { IaaSsl_Run(h_, silence, delays); });
        record().energy_acc = 4096.0f;  // 0 dB over a window of 32 frames
        memset(record().vote_count, 0, sizeof(record().vote_count));
    }

    SslHandle &record() { return buffer_.record(); }

    // n frames of pair p in bin b, each with the given lag.
    void vote(int p, int b, int n, float lag)
    {
        record().vote_count[p][b] = n;
        record().lag_sum[p][b] = lag * static_cast<float>(n);
    }

    // The lag that makes pair p see the cosine c.
    float lag_for_cosine(int p, float c) { return c * record().baseline[p].x * RATE / SPEED; }

    std::string direction()
    {
        return captured([&] { code_ = IaaSsl_Get_Direction(h_, &angle_); });
    }

    WorkBuffer buffer_;
    SSL_HANDLE h_ = nullptr;
    int32_t code_ = 0;
    int32_t angle_ = 0;
};

TEST_F(Decision, BroadsideIsZero)
{
    for (int p = 0; p < SSL_PAIRS; ++p) {
        vote(p, 4, 6, 0.0f);
    }
    EXPECT_EQ(direction(), "");
    EXPECT_EQ(code_, SSL_RET_OK);
    EXPECT_EQ(angle_, 0);
    EXPECT_EQ(record().direction_state, SSL_DONE);
}

TEST_F(Decision, AgreeingPairsGiveTheirCosine)
{
    for (int p = 0; p < SSL_PAIRS; ++p) {
        vote(p, 2, 6, lag_for_cosine(p, 0.5f));
    }
    direction();
    EXPECT_EQ(code_, SSL_RET_OK);
    EXPECT_NEAR(angle_, -30, 1);
    EXPECT_NEAR(record().cos_estimate, 0.5f, 1e-4f);
}

TEST_F(Decision, EndFireIsRefused)
{
    for (int p = 0; p < SSL_PAIRS; ++p) {
        vote(p, 0, 6, lag_for_cosine(p, 1.0f));
    }
    EXPECT_EQ(direction(), LINE_TOO_LARGE);
    EXPECT_EQ(code_, SSL_RET_DELAY_TOO_LARGE);
    EXPECT_EQ(angle_, SSL_NO_ANGLE);
}

TEST_F(Decision, PathsBeyondTheLimitAreReportedPerPair)
{
    for (int p = 0; p < SSL_PAIRS; ++p) {
        vote(p, 0, 6, static_cast<float>(record().max_delay[p]) + 0.5f);
    }
    std::string expected;
    for (int p = 0; p < SSL_PAIRS; ++p) {
        expected += PAIR_TOO_LARGE;
    }
    EXPECT_EQ(direction(), expected + LINE_TOO_LARGE);
    EXPECT_EQ(code_, SSL_RET_DELAY_TOO_LARGE);
}

TEST_F(Decision, LowerBinWinsATieAndThresholdsApply)
{
    for (int p = 0; p < SSL_PAIRS; ++p) {
        vote(p, 6, 5, -1.0f);
        vote(p, 2, 5, 1.0f);
    }
    direction();
    EXPECT_EQ(code_, SSL_RET_OK);
    EXPECT_EQ(record().best_bin[0], 2);

    captured([&] { IaaSsl_Reset_Mapping(h_); });
    record().energy_acc = 4096.0f;
    for (int p = 0; p < SSL_PAIRS; ++p) {
        vote(p, 0, 2, 0.9f * static_cast<float>(p + 1));
    }
    vote(0, 3, 3, 0.5f);  // a middle bin needs 4 votes
    record().vote_count[0][0] = 0;
    direction();
    EXPECT_EQ(code_, SSL_RET_NO_DIRECTION);
    EXPECT_EQ(angle_, SSL_NO_ANGLE);
}

TEST_F(Decision, RejectedFramesOutvotingOnePairMeanNoDirection)
{
    for (int p = 0; p < SSL_PAIRS; ++p) {
        vote(p, 4, 10, 0.0f);
    }
    record().vote_count[SSL_PAIRS - 1][SSL_REJECT_SLOT] = 11;
    EXPECT_EQ(direction(), "");
    EXPECT_EQ(code_, SSL_RET_NO_DIRECTION);
    EXPECT_EQ(record().best_bin[SSL_PAIRS - 1], SSL_REJECT_SLOT);
}

TEST_F(Decision, ResetMappingClearsTheVotes)
{
    vote(0, 4, 10, 0.0f);
    direction();
    EXPECT_EQ(IaaSsl_Reset_Mapping(h_), SSL_RET_OK);
    EXPECT_EQ(record().energy_acc, 0.0f);
    EXPECT_EQ(record().vote_count[0][4], 0);
    EXPECT_EQ(record().lag_sum[0][4], 0.0f);
    EXPECT_EQ(record().cos_estimate, 0.0f);
    EXPECT_EQ(record().direction_state, SSL_NEVER);
    EXPECT_EQ(record().voting_state, SSL_DONE);
}

}  // namespace
