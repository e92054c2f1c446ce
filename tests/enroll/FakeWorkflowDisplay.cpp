// Recording workflow display for tests.
#include "FakeWorkflowDisplay.h"

std::string Narrow(const std::u16string& text) {
    std::string narrow;
    narrow.reserve(text.size());
    for (const char16_t c : text) {
        narrow.push_back(c < 0x80 ? static_cast<char>(c) : '?');
    }
    return narrow;
}

std::vector<std::string> FakeWorkflowDisplay::Log() const {
    std::lock_guard lock(m_journal->mutex);
    return m_journal->lines;
}

void FakeWorkflowDisplay::ClearLog() {
    std::lock_guard lock(m_journal->mutex);
    m_journal->lines.clear();
}

std::optional<unsigned> FakeWorkflowDisplay::TakeArmedTimer() {
    return WaitForArmedTimer(std::chrono::milliseconds(0));
}

std::optional<unsigned> FakeWorkflowDisplay::WaitForArmedTimer(std::chrono::milliseconds timeout) {
    std::unique_lock lock(m_journal->mutex);
    if (!m_journal->timerArmed.wait_for(lock, timeout,
                                        [this] { return !m_journal->armedTimers.empty(); })) {
        return std::nullopt;
    }
    const unsigned timer = m_journal->armedTimers.front();
    m_journal->armedTimers.pop_front();
    return timer;
}

void FakeWorkflowDisplay::ShowStatus(TextId titleId, TextId textId, const std::u16string& text,
                                     Colorref titleColour, Colorref textColour) {
    Record("status " + std::to_string(titleId) + " " + std::to_string(textId) + " '" +
           Narrow(text) + "' " + std::to_string(titleColour) + " " + std::to_string(textColour));
}

void FakeWorkflowDisplay::SetProgressPosition(int position) {
    Record("progress " + std::to_string(position));
}

void FakeWorkflowDisplay::SetProgressRange(int maximum) {
    Record("range " + std::to_string(maximum));
}

void FakeWorkflowDisplay::EnableAbortButton(bool enabled) {
    Record(enabled ? "abort on" : "abort off");
}

void FakeWorkflowDisplay::RedrawFingerMap() {
    Record("redraw");
}

void FakeWorkflowDisplay::KillEventTimer(unsigned event) {
    Record("kill " + std::to_string(event));
}

void FakeWorkflowDisplay::SetCaptureCounterText(const std::u16string& text) {
    Record("counter " + Narrow(text));
}

void FakeWorkflowDisplay::ArmEventTimer(unsigned event) {
    {
        std::lock_guard lock(m_journal->mutex);
        m_journal->lines.push_back("arm " + std::to_string(event));
        m_journal->armedTimers.push_back(event);
    }
    m_journal->timerArmed.notify_all();
}

void FakeWorkflowDisplay::Record(std::string line) {
    std::lock_guard lock(m_journal->mutex);
    m_journal->lines.push_back(std::move(line));
}
