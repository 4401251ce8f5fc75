// Shared set-up for the driver tests: a fresh simulated framework, the module
// loaded with chosen parameters, and readers for the sensor's bus log.
#ifndef IMX380_FIXTURE_H
#define IMX380_FIXTURE_H

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

extern "C" {
#include "imx380.h"
#include "sim_framework.h"
#include "sim_host.h"
}

using RegWrite = std::pair<uint16_t, uint16_t>;

class ModuleTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        sim_framework_reset();
        sim_os_reset();
        sim_klog_clear();
        sim_params_restore_defaults();
        savedVts_ = vts_30fps;
        savedLinePeriod_ = Preview_line_period;
    }

    void TearDown() override
    {
        sim_module_unload();
        sim_params_restore_defaults();
        vts_30fps = savedVts_;
        Preview_line_period = savedLinePeriod_;
        EXPECT_EQ(sim_os_live_allocs(), 0u);
    }

    static int load(int chmap, int slaveIds = 0)
    {
        EXPECT_EQ(sim_param_set_int("chmap", chmap), 0);
        EXPECT_EQ(sim_param_set_int("i2c_slave_id", slaveIds), 0);
        return sim_module_load();
    }

    static std::vector<std::string> osMessages()
    {
        std::vector<std::string> out;
        for (size_t i = 0; i < sim_os_message_count(); ++i)
            out.emplace_back(sim_os_message(i));
        return out;
    }

    static std::vector<sim_event> trace()
    {
        std::vector<sim_event> out;
        for (uint32_t i = 0; i < sim_trace_count(); ++i)
            out.push_back(*sim_trace_event(i));
        return out;
    }

private:
    uint32_t savedVts_ = 0;
    uint32_t savedLinePeriod_ = 0;
};

// Module loaded on pad 0 with the framework's handle filled.
class PadTest : public ModuleTest {
protected:
    void SetUp() override
    {
        ModuleTest::SetUp();
        ASSERT_EQ(load(0x1), 0);
        ASSERT_EQ(sim_framework_attach(0), 0);
        pad_ = sim_framework_pad(0);
        h = &pad_->handle;
        params = static_cast<imx380_params *>(h->private_data);
        clearBus();
    }

    void clearBus()
    {
        sim_sensor_clear_log(&pad_->sensor);
        sim_trace_clear();
        sim_os_clear_messages();
    }

    uint8_t reg(uint16_t address) const { return pad_->sensor.regs[address]; }
    void setReg(uint16_t address, uint8_t value) { pad_->sensor.regs[address] = value; }
    void failWrites(uint32_t n, uint32_t after = 0)
    {
        pad_->sensor.fail_writes = n;
        pad_->sensor.pass_writes = after;
    }
    void failReads(uint32_t n, uint32_t after = 0)
    {
        pad_->sensor.fail_reads = n;
        pad_->sensor.pass_reads = after;
    }

    std::vector<sim_i2c_txn> txns() const
    {
        std::vector<sim_i2c_txn> out;
        for (uint32_t i = 0; i < sim_sensor_txn_count(&pad_->sensor); ++i)
            out.push_back(*sim_sensor_txn(&pad_->sensor, i));
        return out;
    }

    // Successful writes in bus order.
    std::vector<RegWrite> writes() const
    {
        std::vector<RegWrite> out;
        for (const auto &t : txns())
            if (t.op == SIM_I2C_WRITE && t.ok)
                out.emplace_back(t.reg, t.value);
        return out;
    }

    static uint32_t pair(const sensor_reg_entry *regs)
    {
        return static_cast<uint32_t>(regs[0].data << 8 | regs[1].data);
    }

    sim_pad *pad_ = nullptr;
    cus_camsensor_handle *h = nullptr;
    imx380_params *params = nullptr;
};

#endif
