// Measuring hooks for bench/run's own executables: time stamps, idle counters, latencies.
#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <vector>

// VARNE_BENCH selects one measurement, printed to standard error as lines "varne-bench ...":
//   startup        stamps of each start-up phase; exits once the first frame is painted
//   idle=MS        CPU time and timer events for MS from 0.5 s after the first frame, then exits
//   poll=MS        the same while the picture is repainted every 10 ms, as a polling design would
//   latency=N      clicks finger 2; N times from a capture result's delivery to its status on
//                  screen, then exits
//   enroll=FINGER  clicks FINGER after the first frame; exits when that enrollment has ended
//   scan=N         clicks finger 2; prints the moment each capture result's status is on screen,
//                  as it happens, for a driver that stamps the touch itself; exits after N
// In every mode, each message box shown prints its first line ("varne-bench message-box ...").
// Anything else, or the variable unset, leaves the program exactly as it is. The probe sees the
// window through an event filter on the application, and its results through the window's
// StatusShown and whoever calls ResultDelivered.
class BenchProbe : public QObject {
    Q_OBJECT
public:
    enum class Mode { kOff, kStartup, kIdle, kPoll, kLatency, kEnroll, kScan };

    // The probe of this process, configured from VARNE_BENCH at its first use.
    static BenchProbe& Instance();
    static bool Active() { return Instance().m_mode != Mode::kOff; }

    // A monotonic time stamp for phase, when any measurement is active.
    static void Stamp(const char* phase);

    // Filters the application's events from now on; once the application exists, any number
    // of calls.
    void WatchApplication();
    // The window that the measurement watches, its picture, and for enroll=, latency= and
    // scan=: the click and the test of whether the attempt has ended.
    void Attach(QWidget& window, QWidget* picture, std::function<void(int finger)> click = {},
                std::function<bool()> attemptEnded = {});
    bool Attached() const { return m_window != nullptr; }

    // Any thread: a capture result is being handed to the window's thread.
    void ResultDelivered();
    // Window's thread: the window shows the status of the last result delivered, if any.
    void StatusShown();

    // Parses a VARNE_BENCH value; a value it does not know turns the probe off.
    struct Setting {
        Mode mode = Mode::kOff;
        long long argument = 0;
    };
    static Setting ParseSetting(const char* value);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    explicit BenchProbe(Setting setting);
    static std::int64_t NowNs();
    // At the start of the window's paint.
    void WindowPainting();
    // After the window has synced its frame to the screen.
    void FramePainted();
    bool WatchesFrames() const;
    void StartIdleWindow();
    void FinishIdleWindow();
    void ReportEnrollment();
    void ReportStatusPainted(bool ended);
    void Quit();

    Mode m_mode;
    long long m_argument;
    QPointer<QWidget> m_window;
    QPointer<QWidget> m_picture;
    std::function<void(int)> m_click;
    std::function<bool()> m_attemptEnded;
    bool m_firstPaintSeen = false;
    bool m_clicked = false;
    bool m_attemptOver = false;  // as of the last status shown
    bool m_idleWindowOpen = false;
    bool m_quitting = false;
    bool m_watching = false;
    bool m_redelivering = false;
    std::int64_t m_idleStartCpuNs = 0;
    long long m_timerEventsTotal = 0;
    long long m_timerEventsOurs = 0;
    QObject* m_ownTimer = nullptr;  // the probe's own timers are not the program's
    QObject* m_pollTimer = nullptr;
    std::atomic<std::int64_t> m_lastDeliveryNs{0};
    std::int64_t m_pendingDeliveryNs = 0;
    std::vector<std::int64_t> m_latenciesNs;
    long long m_statusesPainted = 0;
};
