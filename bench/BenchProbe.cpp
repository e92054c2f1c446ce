// Measuring hooks for bench/run's own executables: time stamps, idle counters, latencies.
#include "BenchProbe.h"

#include <sys/resource.h>

#include <QCoreApplication>
#include <QEvent>
#include <QLabel>
#include <QMessageBox>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

namespace {

constexpr int kPollIntervalMs = 10;
// Work deferred past the first frame (the window icon) is over before the idle window opens.
constexpr int kIdleSettleMs = 500;
constexpr int kLatencyFinger = 2;  // any bare finger starts the stream of results
constexpr long long kNsPerUs = 1000;
constexpr long long kNsPerSecond = 1000000000;

std::int64_t CpuTimeNs() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    auto toNs = [](const timeval& time) {
        return static_cast<std::int64_t>(time.tv_sec) * kNsPerSecond +
               static_cast<std::int64_t>(time.tv_usec) * kNsPerUs;
    };
    return toNs(usage.ru_utime) + toNs(usage.ru_stime);
}

}  // namespace

BenchProbe& BenchProbe::Instance() {
    static BenchProbe* const probe = new BenchProbe(ParseSetting(std::getenv("VARNE_BENCH")));
    return *probe;
}

BenchProbe::Setting BenchProbe::ParseSetting(const char* value) {
    if (value == nullptr) {
        return {};
    }
    const std::string text(value);
    if (text == "startup") {
        return {Mode::kStartup, 0};
    }
    const struct {
        const char* prefix;
        Mode mode;
    } withArgument[] = {
        {"idle=", Mode::kIdle},     {"poll=", Mode::kPoll}, {"latency=", Mode::kLatency},
        {"enroll=", Mode::kEnroll}, {"scan=", Mode::kScan},
    };
    for (const auto& entry : withArgument) {
        const std::size_t length = std::strlen(entry.prefix);
        if (text.compare(0, length, entry.prefix) != 0 || text.size() == length) {
            continue;
        }
        char* end = nullptr;
        const long long argument = std::strtoll(text.c_str() + length, &end, 10);
        if (*end != '\0' || argument <= 0) {
            return {};
        }
        return {entry.mode, argument};
    }
    return {};
}

BenchProbe::BenchProbe(Setting setting) : m_mode(setting.mode), m_argument(setting.argument) {}

std::int64_t BenchProbe::NowNs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::int64_t>(now.tv_sec) * kNsPerSecond + now.tv_nsec;
}

void BenchProbe::Stamp(const char* phase) {
    if (!Active()) {
        return;
    }
    std::fprintf(stderr, "varne-bench stamp %s %lld\n", phase, static_cast<long long>(NowNs()));
}

void BenchProbe::WatchApplication() {
    if (m_mode == Mode::kOff || m_watching || QCoreApplication::instance() == nullptr) {
        return;
    }
    m_watching = true;
    QCoreApplication::instance()->installEventFilter(this);
}

void BenchProbe::Attach(QWidget& window, QWidget* picture, std::function<void(int)> click,
                        std::function<bool()> attemptEnded) {
    if (m_mode == Mode::kOff) {
        return;
    }
    std::fprintf(stderr, "varne-bench qt %s\n", qVersion());
    m_window = &window;
    m_picture = picture;
    m_click = std::move(click);
    m_attemptEnded = std::move(attemptEnded);
}

void BenchProbe::WindowPainting() {
    if (m_mode == Mode::kOff || m_firstPaintSeen) {
        return;
    }
    m_firstPaintSeen = true;
    Stamp("paint");
    // Queued: it runs once the whole frame, children included, has gone to the screen.
    QMetaObject::invokeMethod(
        this,
        [this] {
            Stamp("frame");
            switch (m_mode) {
                case Mode::kStartup:
                    Quit();
                    break;
                case Mode::kIdle:
                case Mode::kPoll:
                    QTimer::singleShot(kIdleSettleMs, this, &BenchProbe::StartIdleWindow);
                    break;
                case Mode::kEnroll:
                case Mode::kLatency:
                case Mode::kScan:
                    Stamp("click");
                    m_clicked = true;
                    if (m_click) {
                        m_click(m_mode == Mode::kEnroll ? static_cast<int>(m_argument)
                                                        : kLatencyFinger);
                    }
                    break;
                default:
                    break;
            }
        },
        Qt::QueuedConnection);
}

void BenchProbe::FramePainted() {
    if (m_quitting) {
        return;
    }
    if (m_mode == Mode::kScan) {
        ReportStatusPainted(m_attemptOver);
        return;
    }
    if (m_mode == Mode::kLatency && m_pendingDeliveryNs != 0) {
        m_latenciesNs.push_back(NowNs() - m_pendingDeliveryNs);
        m_pendingDeliveryNs = 0;
    }
    if (m_mode == Mode::kLatency) {
        // An attempt that ended early reports what it has rather than wait for results.
        if (static_cast<long long>(m_latenciesNs.size()) >= m_argument || m_attemptOver) {
            std::string line = "varne-bench latency-us";
            for (const std::int64_t latency : m_latenciesNs) {
                line += ' ' + std::to_string(latency / kNsPerUs);
            }
            std::fprintf(stderr, "%s\n", line.c_str());
            Quit();
        }
    }
    if (m_mode == Mode::kEnroll && m_clicked && m_attemptEnded && m_attemptEnded()) {
        // Queued: a frame may be painted halfway through the event that ends the attempt.
        QMetaObject::invokeMethod(this, &BenchProbe::ReportEnrollment, Qt::QueuedConnection);
    }
}

void BenchProbe::ReportEnrollment() {
    if (m_quitting) {
        return;
    }
    Stamp("enrolled");
    const auto* title =
        m_window ? m_window->findChild<QLabel*>(QStringLiteral("titleLabel")) : nullptr;
    std::fprintf(stderr, "varne-bench enroll-result %s\n",
                 title ? title->text().toUtf8().constData() : "?");
    Quit();
}

void BenchProbe::ReportStatusPainted(bool ended) {
    if (m_pendingDeliveryNs != 0) {
        m_pendingDeliveryNs = 0;
        ++m_statusesPainted;
        // Flushed at once: the driver waits for this line before it sends the next touch.
        std::fprintf(stderr, "varne-bench status-painted %lld\n", static_cast<long long>(NowNs()));
        std::fflush(stderr);
    }
    if (m_statusesPainted >= m_argument || ended) {
        std::fprintf(stderr, "varne-bench scan-end %s\n", ended ? "attempt-ended" : "done");
        Quit();
    }
}

void BenchProbe::ResultDelivered() {
    if (m_mode == Mode::kLatency || m_mode == Mode::kScan) {
        m_lastDeliveryNs.store(NowNs());
    }
}

void BenchProbe::StatusShown() {
    // Only one capture is ever outstanding, so the last delivery is this status's result; taken,
    // so that a status that no result brought is not timed against it.
    if (m_mode == Mode::kLatency || m_mode == Mode::kScan) {
        const std::int64_t delivered = m_lastDeliveryNs.exchange(0);
        if (delivered != 0) {
            m_pendingDeliveryNs = delivered;
        }
        // Decided here rather than at a frame: one can be painted halfway through the event
        // that ends the attempt, before its status is shown.
        m_attemptOver = m_clicked && m_attemptEnded && m_attemptEnded();
    }
}

void BenchProbe::StartIdleWindow() {
    m_idleWindowOpen = true;
    m_idleStartCpuNs = CpuTimeNs();
    auto* end = new QTimer(this);
    end->setSingleShot(true);
    m_ownTimer = end;
    connect(end, &QTimer::timeout, this, &BenchProbe::FinishIdleWindow);
    end->start(static_cast<int>(m_argument));
    if (m_mode == Mode::kPoll && m_picture) {
        auto* poll = new QTimer(this);
        m_pollTimer = poll;
        connect(poll, &QTimer::timeout, m_picture.data(), qOverload<>(&QWidget::update));
        poll->start(kPollIntervalMs);
    }
}

void BenchProbe::FinishIdleWindow() {
    const std::int64_t cpuNs = CpuTimeNs() - m_idleStartCpuNs;
    m_idleWindowOpen = false;
    std::fprintf(stderr, "varne-bench idle cpu-us %lld timer-events %lld ours %lld\n",
                 static_cast<long long>(cpuNs / kNsPerUs), m_timerEventsTotal, m_timerEventsOurs);
    Quit();
}

bool BenchProbe::WatchesFrames() const {
    return m_mode == Mode::kLatency || m_mode == Mode::kScan || m_mode == Mode::kEnroll;
}

bool BenchProbe::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_window && event->type() == QEvent::Paint) {
        WindowPainting();
    }
    if (event->type() == QEvent::Show) {
        if (const auto* box = qobject_cast<QMessageBox*>(watched)) {
            // Flushed at once: a harness waits for the box before it answers.
            std::fprintf(stderr, "varne-bench message-box %s\n",
                         box->text().section(QLatin1Char('\n'), 0, 0).toUtf8().constData());
            std::fflush(stderr);
        }
    }
    // The frame is on the screen only once the window has handled its update request: handed
    // on here, so that the probe can look after it.
    if (watched == m_window && event->type() == QEvent::UpdateRequest && WatchesFrames() &&
        !m_redelivering) {
        m_redelivering = true;
        QCoreApplication::sendEvent(watched, event);
        m_redelivering = false;
        FramePainted();
        return true;
    }
    if (m_idleWindowOpen && event->type() == QEvent::Timer && watched != m_ownTimer &&
        watched != m_pollTimer) {
        ++m_timerEventsTotal;
        // The program's own timers are all QTimers; Qt's widgets keep theirs internal.
        if (watched->inherits("QTimer")) {
            ++m_timerEventsOurs;
            // Named, so that a timer which should not run can be found.
            const QObject* owner = watched->parent();
            std::fprintf(stderr, "varne-bench timer-fired %s owner %s\n",
                         qPrintable(watched->objectName()),
                         owner != nullptr ? owner->metaObject()->className() : "none");
        }
    }
    return QObject::eventFilter(watched, event);
}

void BenchProbe::Quit() {
    m_quitting = true;
    std::fflush(stderr);
    QCoreApplication::exit(0);
}
