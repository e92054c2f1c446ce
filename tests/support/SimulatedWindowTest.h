// A fixture for the window's tests: the driver's window on a simulated sensor of the test's own.
#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "ScopedSimulatedService.h"
#include "WindowDriver.h"

class SimulatedWindowTest : public testing::Test, protected WindowDriver {
protected:
    ~SimulatedWindowTest() override { Stop(); }
    void TearDown() override { Stop(); }

    // Installs a sensor with the given variables, then starts the window on unit 1 and shows it.
    void Start(const SimulatedConfig::Variables& variables) {
        UseSensor(variables);
        ASSERT_TRUE(WindowDriver::Start());
    }
    // A fresh sensor for the next window; any earlier window goes first.
    void UseSensor(const SimulatedConfig::Variables& variables) {
        Stop();
        m_sensor = std::make_unique<ScopedSimulatedService>(variables);
        ASSERT_TRUE(m_sensor->Installed());
    }
    // The window goes before its sensor, whose thread may still be delivering to it.
    void Stop() {
        Destroy();
        m_sensor.reset();
    }

private:
    std::unique_ptr<ScopedSimulatedService> m_sensor;
};
