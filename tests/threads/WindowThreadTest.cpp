// Capture results posted from the simulated service's thread to a real window (also under TSan).
#include <gtest/gtest.h>

#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <atomic>
#include <memory>
#include <mutex>
#include <set>
#include <thread>

#include "CLabel.h"
#include "CSysColorStatic.h"
#include "CVarneDlg.h"
#include "FingerMap.h"
#include "MessageCatalogue.h"
#include "SimulatedService.h"

namespace {

constexpr int kWaitMs = 10000;
constexpr int kAcceptedCaptures = 30;

// The real window, noting which threads post to it.
class ObservedDialog : public CVarneDlg {
public:
    ObservedDialog() : CVarneDlg("1") {}

    void SetCaptureCounterText(const std::u16string& text) override {
        Note();
        CVarneDlg::SetCaptureCounterText(text);
    }
    void ArmEventTimer(unsigned event) override {
        Note();
        CVarneDlg::ArmEventTimer(event);
    }

    std::set<std::thread::id> PostingThreads() {
        std::lock_guard lock(m_mutex);
        return m_threads;
    }

private:
    void Note() {
        std::lock_guard lock(m_mutex);
        m_threads.insert(std::this_thread::get_id());
    }

    std::mutex m_mutex;
    std::set<std::thread::id> m_threads;
};

// The threads on which the window's widgets are touched, as far as Qt lets that be seen: events
// sent to them, the progress bar's signal, Qt's warnings about timers and threads. Qt is not
// instrumented, so the sanitizer cannot see a widget changed from the wrong thread.
class WidgetThreadWatch : public QObject {
public:
    explicit WidgetThreadWatch(QWidget& window) {
        for (QWidget* widget : window.findChildren<QWidget*>()) {
            widget->installEventFilter(this);
        }
        window.installEventFilter(this);
        if (auto* bar = window.findChild<QProgressBar*>(QStringLiteral("progressBar"))) {
            connect(
                bar, &QProgressBar::valueChanged, this, [this] { Note(); }, Qt::DirectConnection);
        }
        s_threadWarnings.store(0);
        m_previousHandler = qInstallMessageHandler(&CountThreadWarnings);
    }
    ~WidgetThreadWatch() override { qInstallMessageHandler(m_previousHandler); }

    std::set<std::thread::id> Threads() {
        std::lock_guard lock(m_mutex);
        return m_threads;
    }
    // Qt's own complaints, e.g. about a timer started from another thread.
    int ThreadWarnings() const { return s_threadWarnings.load(); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        Note();
        return QObject::eventFilter(watched, event);
    }

private:
    static void CountThreadWarnings(QtMsgType, const QMessageLogContext&, const QString& text) {
        if (text.contains(QLatin1String("thread"), Qt::CaseInsensitive)) {
            s_threadWarnings.fetch_add(1);
        }
    }

    void Note() {
        std::lock_guard lock(m_mutex);
        m_threads.insert(std::this_thread::get_id());
    }

    static inline std::atomic<int> s_threadWarnings{0};
    QtMessageHandler m_previousHandler = nullptr;
    std::mutex m_mutex;
    std::set<std::thread::id> m_threads;
};

class WindowThreadTest : public testing::Test {
protected:
    void TearDown() override {
        if (m_watch) {
            EXPECT_EQ(m_watch->Threads(), std::set<std::thread::id>{std::this_thread::get_id()})
                << "a widget was touched from another thread";
            EXPECT_EQ(m_watch->ThreadWarnings(), 0);
        }
        m_watch.reset();
        m_dialog.reset();
        InstallBiometricBackend(nullptr);
    }

    // An observed window records who posts to it, but must not be destroyed while a result is
    // on its way: its own part goes first, while the service's thread may still call into it.
    void Start(const std::string& script, bool observed = true) {
        std::string error;
        auto backend = CreateSimulatedService({{"VARNE_SIM_SCRIPT", script}}, &error);
        ASSERT_TRUE(backend) << error;
        InstallBiometricBackend(backend);
        if (observed) {
            auto dialog = std::make_unique<ObservedDialog>();
            m_observed = dialog.get();
            m_dialog = std::move(dialog);
        } else {
            m_dialog = std::make_unique<CVarneDlg>("1");
        }
        ASSERT_TRUE(m_dialog->InitDialog());
        m_watch = std::make_unique<WidgetThreadWatch>(*m_dialog);
        // Never shown: painting hands large image work to Qt's own pool threads, whose
        // uninstrumented hand-over the sanitizer cannot see, and painting is not what this
        // test is about. Clicks, timers and posted work reach a hidden window all the same.
    }

    void ClickFinger(int finger) {
        auto* picture = m_dialog->findChild<CSysColorStatic*>(QStringLiteral("picture"));
        QTest::mouseClick(m_dialog.get(), Qt::LeftButton, {},
                          picture->mapTo(m_dialog.get(), kFingertipTable[finger].position));
    }
    QString Title() { return m_dialog->findChild<CLabel*>(QStringLiteral("titleLabel"))->text(); }

    std::unique_ptr<CVarneDlg> m_dialog;
    ObservedDialog* m_observed = nullptr;
    std::unique_ptr<WidgetThreadWatch> m_watch;
};

TEST_F(WindowThreadTest, ResultsFromTheServicesThreadReachTheWindow) {
    std::string script;
    for (int i = 0; i < kAcceptedCaptures; ++i) {
        script += "more,";
    }
    Start(script + "ok");
    ClickFinger(2);
    const QString success = QString::fromStdU16String(LoadCatalogueText(kTitleEnrollmentSuccess));
    ASSERT_TRUE(QTest::qWaitFor([&] { return Title() == success; }, kWaitMs));
    EXPECT_EQ(m_dialog->Context().enrolledSet, u"2");
    EXPECT_EQ(m_dialog->Context().acceptedCaptureCount.load(), kAcceptedCaptures + 1);
    EXPECT_EQ(m_dialog->findChild<QLineEdit*>(QStringLiteral("captureCounter"))->text(),
              QStringLiteral("3/3"));
    const auto threads = m_observed->PostingThreads();
    ASSERT_EQ(threads.size(), 1u);
    EXPECT_NE(*threads.begin(), std::this_thread::get_id());
}

TEST_F(WindowThreadTest, AbortAndClosingRaceTheServicesThread) {
    // Results that keep coming while Abort is pressed, then one still on its way at the close.
    Start("more@1,more@1,more@1,more@1,more@1,more@1,more@1,more@1,more@1,more@1,more@1", false);
    ClickFinger(3);
    QTest::qWait(5);
    // Pressed again whenever it is enabled: an Abort that meets a result already on its way
    // may be overtaken by it, and the thread crossing is what this test is about.
    auto* abort = m_dialog->findChild<QPushButton*>(QStringLiteral("abortButton"));
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            if (abort->isEnabled()) {
                abort->click();
            }
            return m_dialog->Context().selectedFinger == 0;
        },
        kWaitMs));
    ClickFinger(4);
    m_dialog.reset();
    QTest::qWait(20);  // a late result finds no window
}

}  // namespace
