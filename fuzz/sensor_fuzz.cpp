// The IMX380 driver in the simulated framework: module loads with random parameters,
// random callback sequences with random arguments, and I2C transactions that fail at
// random. A notification that opened the grouped hold must leave it closed.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdio>
#include <cstdlib>

#include "fuzz_support.h"

extern "C" {
#include "imx380.h"
#include "sim_framework.h"
#include "sim_host.h"
}

namespace {

constexpr uint16_t kGroupHold = 0x0104;
constexpr int kMaxCalls = 300;
// Bursts of failed transactions stay below the driver's retry budget of 10; a bus that
// never answers cannot be closed by anyone.
constexpr uint32_t kMaxFailureBurst = 9;

uint32_t defaultVts;
uint32_t defaultLinePeriod;

bool isStatus(int rc)
{
    return rc == 0 || rc == -1;
}

class Session {
public:
    explicit Session(FuzzedDataProvider& in) : in_(in) {}

    void run()
    {
        load();
        for (int n = 0; n < kMaxCalls && in_.remaining_bytes() > 0; ++n) {
            step();
        }
        sim_module_unload();
        expectThat(sim_os_live_allocs() == 0, "unload releases every private-data record");
    }

private:
    void load()
    {
        if (in_.ConsumeIntegralInRange(0, 15) == 0) {
            sim_framework_set_version(
                static_cast<sim_version_if>(in_.ConsumeIntegralInRange(0, SIM_VER_NUM - 1)),
                in_.ConsumeIntegralInRange(0, 3), in_.ConsumeIntegralInRange(0, 3));
        }
        sim_os_fail_allocs(in_.ConsumeIntegralInRange(0, 7) == 0 ? in_.ConsumeIntegralInRange(1u, 4u)
                                                                 : 0);
        sim_param_set_int("chmap", in_.ConsumeIntegral<int>());
        sim_param_set_int("i2c_slave_id", in_.ConsumeIntegral<int>());
        const int rc = sim_module_load();
        expectThat(isStatus(rc), "load gives 0 or -1");
        for (uint32_t pad = 0; pad < CAM_SENSOR_PAD_NUM; ++pad) {
            attached_[pad] = false;
            gain_[pad] = 0;
        }
    }

    void injectFailures(sim_sensor& sensor)
    {
        sensor.fail_writes = in_.ConsumeIntegralInRange(0u, kMaxFailureBurst);
        sensor.pass_writes = in_.ConsumeIntegralInRange(0u, 40u);
        sensor.fail_reads = in_.ConsumeIntegralInRange(0u, kMaxFailureBurst);
        sensor.pass_reads = in_.ConsumeIntegralInRange(0u, 8u);
    }

    uint32_t exposure()
    {
        return in_.ConsumeBool() ? in_.ConsumeIntegralInRange(0u, IMX380_MAX_EXPOSURE_US + 10)
                                 : in_.ConsumeIntegral<uint32_t>();
    }

    uint32_t gain()
    {
        return in_.ConsumeBool() ? in_.ConsumeIntegralInRange(0u, IMX380_MAX_GAIN + 10)
                                 : in_.ConsumeIntegral<uint32_t>();
    }

    uint32_t rate()
    {
        switch (in_.ConsumeIntegralInRange(0, 2)) {
        case 0:
            return in_.ConsumeIntegralInRange(0u, 31u);
        case 1:
            return in_.ConsumeIntegralInRange(2990u, 30010u);
        default:
            return in_.ConsumeIntegral<uint32_t>();
        }
    }

    void notify(sim_pad& p)
    {
        cus_camsensor_handle* h = &p.handle;
        const int status = in_.ConsumeIntegralInRange(0, 7) == 0 ? in_.ConsumeIntegral<int>() : 1;
        sim_sensor_clear_log(&p.sensor);
        expectThat(h->pCus_sensor_AEStatusNotify(h, status) == 0, "notification gives 0");
        bool opened = false;
        for (uint32_t i = 0; i < sim_sensor_txn_count(&p.sensor); ++i) {
            const sim_i2c_txn* t = sim_sensor_txn(&p.sensor, i);
            expectThat(t != nullptr, "notification traffic fits the bus log");
            if (t->op == SIM_I2C_WRITE && t->ok && t->reg == kGroupHold && t->value == 1) {
                opened = true;
            }
        }
        if (opened) {
            expectThat(p.sensor.regs[kGroupHold] == 0, "the grouped hold is closed again");
        }
    }

    void call(uint32_t pad, sim_pad& p)
    {
        cus_camsensor_handle* h = &p.handle;
        uint32_t u = 0;
        uint32_t v = 0;
        int i = 0;
        video_res_entry* res = nullptr;
        cus_shutter_info info{};
        switch (in_.ConsumeIntegralInRange(0, 21)) {
        case 0:
            expectThat(h->pCus_sensor_poweron(h, pad) == 0, "power-on gives 0");
            break;
        case 1:
            expectThat(h->pCus_sensor_poweroff(h, pad) == 0, "power-off gives 0");
            break;
        case 2:
            expectThat(isStatus(h->pCus_sensor_init(h)), "init gives 0 or -1");
            break;
        case 3:
            expectThat(isStatus(h->pCus_sensor_GetSensorID(h, &u)), "identification gives 0 or -1");
            break;
        case 4: {
            const uint32_t index = in_.ConsumeIntegralInRange(0u, 3u);
            const int rc = h->pCus_sensor_GetVideoRes(h, index, &res);
            expectThat(rc == (index < IMX380_MODE_NUM ? 0 : -1), "mode lookup checks the index");
            break;
        }
        case 5:
            expectThat(h->pCus_sensor_GetCurVideoRes(h, &u, &res) == 0 && u < IMX380_MODE_NUM,
                       "the current mode is one of the table");
            break;
        case 6: {
            const uint32_t index = in_.ConsumeBool() ? in_.ConsumeIntegralInRange(0u, 2u)
                                                     : in_.ConsumeIntegral<uint32_t>();
            const int rc = h->pCus_sensor_SetVideoRes(h, index);
            expectThat(rc == (index < IMX380_MODE_NUM ? 0 : -1), "mode selection checks the index");
            break;
        }
        case 7:
            expectThat(isStatus(h->pCus_sensor_GetOrien(h, &i)), "orientation read gives 0 or -1");
            break;
        case 8:
            expectThat(h->pCus_sensor_SetOrien(h, in_.ConsumeBool() ? in_.ConsumeIntegralInRange(0, 4)
                                                                    : in_.ConsumeIntegral<int>()) == 0,
                       "orientation request gives 0");
            break;
        case 9:
            expectThat(h->pCus_sensor_SetAEUSecs(h, exposure()) == 0, "exposure request gives 0");
            break;
        case 10:
            expectThat(h->pCus_sensor_GetAEUSecs(h, &u) == 0, "exposure read gives 0");
            break;
        case 11:
            gain_[pad] = gain();
            expectThat(h->pCus_sensor_SetAEGain(h, gain_[pad]) == 0, "gain request gives 0");
            break;
        case 12:
            expectThat(h->pCus_sensor_GetAEGain(h, &u) == 0 && u == gain_[pad],
                       "gain read gives the request as it was made");
            break;
        case 13:
            expectThat(h->pCus_sensor_GetAEMinMaxUSecs(h, &u, &v) == 0 && u <= v, "exposure limits");
            expectThat(h->pCus_sensor_GetAEMinMaxGain(h, &u, &v) == 0 && u <= v, "gain limits");
            break;
        case 14:
            expectThat(h->pCus_sensor_GetFPS(h) >= 0, "the frame rate is not negative");
            break;
        case 15: {
            const uint32_t r = rate();
            const bool plain = r >= 3 && r <= 30;
            const bool milli = r >= 3000 && r <= 30000;
            expectThat(h->pCus_sensor_SetFPS(h, r) == (plain || milli ? 0 : -1),
                       "frame-rate request refuses only rates outside both ranges");
            break;
        }
        case 16:
            expectThat(h->pCus_sensor_GetShutterInfo(h, &info) == 0 && info.step_ns > 0,
                       "shutter information has a step");
            break;
        case 17:
            expectThat(h->pCus_sensor_GetVideoResNum(h, &u) == 0 && u == IMX380_MODE_NUM,
                       "two modes");
            break;
        case 18:
            expectThat(h->pCus_sensor_SetPatternMode(h, in_.ConsumeIntegral<uint32_t>()) == 0,
                       "pattern request gives 0");
            break;
        case 19:
            expectThat(h->pCus_sensor_release(h) == 0, "release gives 0");
            break;
        case 20:
            p.sensor.regs[IMX380_REG_ORIENT] = in_.ConsumeIntegral<uint8_t>();
            p.sensor.regs[SIM_SENSOR_ID_LOW_REG] = in_.ConsumeIntegral<uint8_t>();
            break;
        default:
            notify(p);
            break;
        }
    }

    void step()
    {
        const uint32_t pad = in_.ConsumeIntegralInRange(0u, CAM_SENSOR_PAD_NUM - 1u);
        sim_pad& p = *sim_framework_pad(pad);
        switch (in_.ConsumeIntegralInRange(0, 9)) {
        case 0: {
            const int rc = sim_framework_attach(pad);
            expectThat(rc == (p.registered ? 0 : -1), "a registered pad fills its handle");
            attached_[pad] = rc == 0;
            break;
        }
        case 1:
            injectFailures(p.sensor);
            break;
        case 2:
            if (in_.ConsumeIntegralInRange(0, 7) == 0) {
                sim_module_unload();
                expectThat(sim_os_live_allocs() == 0, "unload releases every record");
                load();
            }
            break;
        default:
            if (attached_[pad]) {
                call(pad, p);
            }
            break;
        }
    }

    FuzzedDataProvider& in_;
    bool attached_[CAM_SENSOR_PAD_NUM] = {};
    uint32_t gain_[CAM_SENSOR_PAD_NUM] = {};
};

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    defaultVts = vts_30fps;
    defaultLinePeriod = Preview_line_period;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    sim_framework_reset();
    sim_os_reset();
    sim_klog_clear();
    sim_params_restore_defaults();
    vts_30fps = defaultVts;
    Preview_line_period = defaultLinePeriod;
    FuzzedDataProvider in(data, size);
    Session session(in);
    session.run();
    return 0;
}
