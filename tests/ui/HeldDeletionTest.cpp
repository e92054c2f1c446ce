// The window while a deletion waits in the back end (for a password, say): it takes no second
// action on the fingertips, goes on painting, and closes when asked.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QAction>
#include <QEventLoop>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <functional>
#include <memory>

#include "CLabel.h"
#include "CSysColorStatic.h"
#include "CVarneDlg.h"
#include "FakeBackend.h"
#include "FingerMap.h"
#include "FingerMapFocus.h"
#include "FingertipAccessible.h"
#include "MainWindowTestSupport.h"
#include "MessageCatalogue.h"

namespace {

constexpr int kWaitMs = 5000;

// Its deletion runs a local event loop that lets every event through, as a back end waiting for
// an answer does, until the test releases it or the session's work is cancelled.
class HeldDeletionBackend : public FakeBackend {
public:
    // Runs inside the deletion's loop.
    std::function<void()> whileHeld;

    void Release() {
        if (m_loop != nullptr) {
            m_loop->quit();
        }
    }

    StatusCode DeleteTemplate(SessionHandle session, UnitId unit, const WINBIO_IDENTITY& identity,
                              SubFactor subFactor) override {
        const StatusCode status = FakeBackend::DeleteTemplate(session, unit, identity, subFactor);
        QEventLoop loop;
        m_loop = &loop;
        m_cancelled = false;
        QTimer::singleShot(0, &loop, [this] {
            if (whileHeld) {
                whileHeld();
            }
        });
        QTimer::singleShot(kWaitMs, &loop, [&loop] {
            ADD_FAILURE() << "the deletion was never released";
            loop.quit();
        });
        loop.exec();
        m_loop = nullptr;
        return m_cancelled ? kCanceled : status;
    }

    StatusCode Cancel(SessionHandle session) override {
        m_cancelled = true;
        Release();
        return FakeBackend::Cancel(session);
    }

private:
    QEventLoop* m_loop = nullptr;
    bool m_cancelled = false;
};

int CountCalls(const FakeBackend& backend, const std::string& operation) {
    int count = 0;
    for (const std::string& call : backend.Calls()) {
        count += call.rfind(operation, 0) == 0 ? 1 : 0;
    }
    return count;
}

class HeldDeletionTest : public testing::Test {
protected:
    void SetUp() override {
        m_backend = std::make_shared<HeldDeletionBackend>();
        m_backend->units = {WINBIO_UNIT_SCHEMA{}};
        m_backend->units[0].UnitId = 1;
        m_backend->enrollments = {5, 8};
        InstallBiometricBackend(m_backend);
        m_dialog = std::make_unique<CVarneDlg>("1");
        ASSERT_TRUE(m_dialog->InitDialog());
        m_dialog->show();
        m_dialog->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(m_dialog.get()));
        m_backend->enrollments = {8};  // as listed once 5 is deleted
    }

    void TearDown() override {
        m_dialog.reset();
        InstallBiometricBackend(nullptr);
    }

    CVarneDlg& Dialog() { return *m_dialog; }
    FakeBackend& Backend() { return *m_backend; }
    CSysColorStatic& Picture() {
        return *m_dialog->findChild<CSysColorStatic*>(QStringLiteral("picture"));
    }
    void ClickFinger(int finger) {
        QTest::mouseClick(m_dialog.get(), Qt::LeftButton, {},
                          Picture().mapTo(m_dialog.get(), kFingertipTable[finger].position));
    }
    QAccessibleInterface* FingertipAccessibleOf(int finger) {
        return QAccessible::queryAccessibleInterface(&Picture())
            ->child(FingerMapFocus::IndexOf(finger));
    }

    std::shared_ptr<HeldDeletionBackend> m_backend;
    std::unique_ptr<CVarneDlg> m_dialog;
};

TEST_F(HeldDeletionTest, FingertipsTakeNoActionAndPaintsGoOnWhileTheDeletionWaits) {
    MessageBoxAnswerer answerer(QMessageBox::Yes);
    bool held = false;
    m_backend->whileHeld = [&] {
        held = true;
        // A bare and an enrolled fingertip, by mouse, keys and accessibility.
        ClickFinger(4);
        ClickFinger(8);
        for (const Qt::Key key : {Qt::Key_Space, Qt::Key_Return}) {
            for (const int finger : {4, 8}) {
                Dialog().Fingertips().SetFocusedFinger(finger);
                QTest::keyClick(&Picture(), key);
            }
        }
        for (const int finger : {4, 8}) {
            QAccessibleInterface* fingertip = FingertipAccessibleOf(finger);
            EXPECT_TRUE(fingertip->state().disabled) << finger;
            EXPECT_TRUE(fingertip->actionInterface()->actionNames().isEmpty()) << finger;
            for (const QString& action :
                 {FingertipAccessible::EnrollAction(), FingertipAccessible::DeleteAction()}) {
                fingertip->actionInterface()->doAction(action);
            }
            // What an action queued before the deletion began comes to.
            Dialog().Fingertips().Act(finger);
        }
        PaintCounter paints(Dialog());
        Picture().update();
        QTest::qWait(100);  // long enough for the answerer to see a second question
        EXPECT_GT(paints.count, 0);

        EXPECT_EQ(answerer.seen.size(), 1u);
        EXPECT_EQ(CountCalls(Backend(), "delete"), 1);
        EXPECT_FALSE(Backend().Called("begin"));
        EXPECT_EQ(Dialog().Context().selectedFinger, 0);
        m_backend->Release();
    };
    ClickFinger(5);

    EXPECT_TRUE(held);
    EXPECT_EQ(answerer.seen.size(), 1u);
    EXPECT_EQ(Dialog().Context().enrolledSet, u"8");
    EXPECT_TRUE(Dialog().isVisible());
    // The fingertips act again once it is over.
    EXPECT_FALSE(FingertipAccessibleOf(4)->state().disabled);
    ClickFinger(4);
    EXPECT_EQ(Dialog().Context().selectedFinger, 4);
}

TEST_F(HeldDeletionTest, EveryWayOfClosingClosesTheWindowWhileTheDeletionWaits) {
    const struct {
        const char* name;
        std::function<void(CVarneDlg&)> close;
    } rows[] = {
        {"Close button",
         [](CVarneDlg& dialog) {
             QTest::mouseClick(dialog.findChild<QPushButton*>(QStringLiteral("closeButton")),
                               Qt::LeftButton);
         }},
        {"Escape", [](CVarneDlg& dialog) { QTest::keyClick(&dialog, Qt::Key_Escape); }},
        {"close box", [](CVarneDlg& dialog) { EXPECT_TRUE(dialog.close()); }},
        {"request from outside", [](CVarneDlg& dialog) { dialog.CloseWindow(); }},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        if (m_dialog == nullptr) {
            SetUp();
        }
        MessageBoxAnswerer answerer(QMessageBox::Yes);
        bool hiddenAtOnce = false;
        m_backend->whileHeld = [&] {
            row.close(Dialog());
            hiddenAtOnce = !Dialog().isVisible();
        };
        // Run modally, as the application runs it: the run must end once the stack unwinds.
        QTimer::singleShot(0, m_dialog.get(), [this] { ClickFinger(5); });
        QTimer::singleShot(kWaitMs, m_dialog.get(), [this] { Dialog().done(-1); });
        const int result = Dialog().exec();

        EXPECT_EQ(result, QDialog::Rejected);
        EXPECT_TRUE(hiddenAtOnce);
        EXPECT_TRUE(Backend().Called("cancel"));
        // The question only: no box about the cancelled deletion.
        EXPECT_EQ(answerer.seen.size(), 1u);
        TearDown();
    }
}

// A termination signal may come while the window waits for a box to be answered.
TEST_F(HeldDeletionTest, ARequestFromOutsideClosesTheBoxItWaitsFor) {
    const struct {
        const char* name;
        std::function<void(CVarneDlg&)> open;
    } rows[] = {
        {"delete question",
         [](CVarneDlg& dialog) {
             QTest::mouseClick(&dialog, Qt::LeftButton, {},
                               dialog.findChild<QWidget*>(QStringLiteral("picture"))
                                   ->mapTo(&dialog, kFingertipTable[5].position));
         }},
        {"About box",
         [](CVarneDlg& dialog) {
             dialog.findChild<QAction*>(QStringLiteral("aboutAction"))->trigger();
         }},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        if (m_dialog == nullptr) {
            SetUp();
        }
        bool boxSeen = false;
        ModalWatcher watcher([&](QWidget& modal) {
            if (&modal != m_dialog.get()) {
                boxSeen = true;
                Dialog().CloseWindow();
            }
        });
        QTimer::singleShot(0, m_dialog.get(), [&] { row.open(Dialog()); });
        QTimer::singleShot(kWaitMs, m_dialog.get(), [this] { Dialog().done(-1); });
        EXPECT_EQ(Dialog().exec(), QDialog::Rejected);
        EXPECT_TRUE(boxSeen);
        EXPECT_FALSE(Backend().Called("delete"));
        EXPECT_EQ(Dialog().Context().enrolledSet, u"58");
        TearDown();
    }
}

}  // namespace
