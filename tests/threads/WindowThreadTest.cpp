// Capture results posted from the simulated service's thread to a real window (also under TSan).
#include <gtest/gtest.h>

#include <QLineEdit>
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

class WindowThreadTest : public testing::Test {
protected:
    void TearDown() override {
        m_dialog.reset();
        InstallBiometricBackend(nullptr);
    }

    void Start(const std::string& script) {
        std::string error;
        auto backend = CreateSimulatedService({{"VARNE_SIM_SCRIPT", script}}, &error);
        ASSERT_TRUE(backend) << error;
        InstallBiometricBackend(backend);
        m_dialog = std::make_unique<ObservedDialog>();
        ASSERT_TRUE(m_dialog->InitDialog());
        // Never shown: painting hands large image work to Qt's own pool threads, whose
        // uninstrumented hand-over the sanitizer cannot see, and painting is not what this
        // test is about. Clicks, timers and posted work reach a hidden window all the same.
    }

    void ClickFinger(int finger) {
        auto* picture = m_dialog->findChild<CSysColorStatic*>(QStringLiteral("picture"));
        QTest::mouseClick(m_dialog.get(), Qt::LeftButton, {},
                          picture->mapTo(m_dialog.get(), kFingertipTable[finger]));
    }
    QString Title() { return m_dialog->findChild<CLabel*>(QStringLiteral("titleLabel"))->text(); }

    std::unique_ptr<ObservedDialog> m_dialog;
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
    const auto threads = m_dialog->PostingThreads();
    ASSERT_EQ(threads.size(), 1u);
    EXPECT_NE(*threads.begin(), std::this_thread::get_id());
}

TEST_F(WindowThreadTest, AbortAndClosingRaceTheServicesThread) {
    // Results that keep coming while Abort is pressed, then one still on its way at the close.
    Start("more@1,more@1,more@1,more@1,more@1,more@1,more@1,more@1,more@1,more@1,more@1");
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
