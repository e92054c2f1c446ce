// The verification callback: keeps the result and arms the timer that handles it.
#include "VerifyHandoff.h"

#include <unordered_map>
#include <utility>

namespace {

// Live hand-offs by key. A result is delivered with the lock held, so a hand-off is never
// destroyed halfway through one; delivering only stores and posts, so the wait is short.
std::mutex g_registryMutex;
std::unordered_map<std::uintptr_t, VerifyHandoff*> g_registry;
std::uintptr_t g_nextKey = 1;  // 0 would be a null context

std::uintptr_t Register(VerifyHandoff* handoff) {
    std::lock_guard lock(g_registryMutex);
    const std::uintptr_t key = g_nextKey++;
    g_registry.emplace(key, handoff);
    return key;
}

}  // namespace

VerifyHandoff::VerifyHandoff(WorkflowDisplay& display)
    : m_key(Register(this)), m_display(display) {}

VerifyHandoff::~VerifyHandoff() {
    std::lock_guard lock(g_registryMutex);
    g_registry.erase(m_key);
}

void* VerifyHandoff::VerifyContext() const {
    return reinterpret_cast<void*>(m_key);
}

void VerifyHandoff::OnVerifyResult(void* verifyContext, StatusCode operationStatus,
                                   UnitId /*unitId*/, std::uint8_t match,
                                   RejectDetail rejectDetail) {
    std::lock_guard lock(g_registryMutex);
    const auto found = g_registry.find(reinterpret_cast<std::uintptr_t>(verifyContext));
    if (found != g_registry.end()) {
        found->second->Deliver({operationStatus, match != 0, rejectDetail});
    }
}

void VerifyHandoff::Deliver(const VerifyResult& result) {
    {
        std::lock_guard lock(m_mutex);
        m_result = result;
    }
    m_display.ArmEventTimer(kTestResultTimer);
}

std::optional<VerifyResult> VerifyHandoff::TakeResult() {
    std::lock_guard lock(m_mutex);
    return std::exchange(m_result, std::nullopt);
}
