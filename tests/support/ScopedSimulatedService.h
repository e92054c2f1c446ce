// The simulated sensor built from given variables, installed for one test and removed after it.
#pragma once

#include <gtest/gtest.h>

#include <initializer_list>
#include <memory>
#include <string>

#include "SimulatedService.h"

class ScopedSimulatedService {
public:
    // Written in place, as ({{"VARNE_SIM_SCRIPT", "ok"}}), the variables take this form.
    ScopedSimulatedService(std::initializer_list<SimulatedConfig::Variables::value_type> variables)
        : ScopedSimulatedService(SimulatedConfig::Variables(variables)) {}
    explicit ScopedSimulatedService(const SimulatedConfig::Variables& variables) {
        std::string error;
        m_service = CreateSimulatedService(variables, &error);
        EXPECT_NE(m_service, nullptr) << error;
        InstallBiometricBackend(m_service);
    }
    ~ScopedSimulatedService() { Destroy(); }
    ScopedSimulatedService(const ScopedSimulatedService&) = delete;
    ScopedSimulatedService& operator=(const ScopedSimulatedService&) = delete;

    // False when the variables were refused; the test has failed by then.
    bool Installed() const { return m_service != nullptr; }

    // Waits for the service's thread, so no result comes after this.
    void Destroy() {
        InstallBiometricBackend(nullptr);
        m_service.reset();
    }

private:
    std::shared_ptr<BiometricBackend> m_service;
};
