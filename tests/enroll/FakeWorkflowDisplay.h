// A workflow display for tests: logs every call in order and queues the armed event timers.
#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "WorkflowDisplay.h"

// Narrows the program's texts (ASCII) for comparisons and messages.
std::string Narrow(const std::u16string& text);

class FakeWorkflowDisplay : public WorkflowDisplay {
public:
    // Outlives the display when a test holds it, so late calls can be checked for.
    struct Journal {
        std::mutex mutex;
        std::condition_variable timerArmed;
        std::vector<std::string> lines;
        std::deque<unsigned> armedTimers;
    };

    // Lines like "status 901 1002 '' 0 0", "progress 0", "abort on", "redraw", "arm 3",
    // "kill 3", "counter 1/3", "range 5".
    std::vector<std::string> Log() const;
    void ClearLog();
    std::shared_ptr<Journal> SharedJournal() const { return m_journal; }

    // The oldest armed timer that no test took yet.
    std::optional<unsigned> TakeArmedTimer();
    std::optional<unsigned> WaitForArmedTimer(std::chrono::milliseconds timeout);

    void ShowStatus(TextId titleId, TextId textId, const std::u16string& text, Colorref titleColour,
                    Colorref textColour) override;
    void SetProgressPosition(int position) override;
    void SetProgressRange(int maximum) override;
    void EnableAbortButton(bool enabled) override;
    void RedrawFingerMap() override;
    void KillEventTimer(unsigned event) override;
    void SetCaptureCounterText(const std::u16string& text) override;
    void ArmEventTimer(unsigned event) override;

private:
    void Record(std::string line);

    std::shared_ptr<Journal> m_journal = std::make_shared<Journal>();
};
