// Drives the main window on the simulated sensor as a user would, and reads back its store file.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <QElapsedTimer>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "CLabel.h"
#include "CSysColorStatic.h"
#include "CVarneDlg.h"
#include "EnrolledSet.h"
#include "FingerMap.h"
#include "MessageCatalogue.h"
#include "SimulatedIdentity.h"
#include "SimulatedService.h"
#include "SimulatedStore.h"

// A private directory for one store file, on a memory file system where there is one: the
// store syncs every write, and a disk would make long runs slow for nothing.
class StoreDirectory {
public:
    StoreDirectory() {
        const char* base = std::filesystem::is_directory("/dev/shm") ? "/dev/shm" : "/tmp";
        std::string pattern = std::string(base) + "/varne-test-store.XXXXXX";
        if (mkdtemp(pattern.data()) != nullptr) {
            m_path = pattern;
        }
        EXPECT_FALSE(m_path.empty());
    }
    ~StoreDirectory() {
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }
    StoreDirectory(const StoreDirectory&) = delete;
    StoreDirectory& operator=(const StoreDirectory&) = delete;

    std::string StorePath() const { return m_path + "/store"; }

    // Names of everything in the directory besides the store and its lock file: leftovers of a
    // write.
    std::vector<std::string> Strays() const {
        std::vector<std::string> strays;
        for (const auto& entry : std::filesystem::directory_iterator(m_path)) {
            const auto name = entry.path().filename();
            if (name != "store" && name != "store.lock") {
                strays.push_back(name.string());
            }
        }
        return strays;
    }

    // The current user's fingers on unit 1 as the file holds them, in the enrolled set's
    // notation; "missing" without a file, "corrupted" when it does not parse.
    std::u16string StoredFingers() const {
        std::ifstream file(StorePath());
        if (!file.is_open()) {
            return u"missing";
        }
        std::stringstream content;
        content << file.rdbuf();
        const auto records = SimulatedStore::Parse(content.str());
        if (!records) {
            return u"corrupted";
        }
        const auto identity = SimulatedStore::IdentityOf(SimulatedCurrentUserIdentity());
        std::vector<SubFactor> fingers;
        for (const auto& record : *records) {
            if (record.unit == 1 && record.identity == *identity) {
                fingers.push_back(record.subFactor);
            }
        }
        return MakeEnrolledSet(fingers);
    }

private:
    std::string m_path;
};

// One window on unit 1 with its own simulated service.
class WindowDriver {
public:
    static constexpr int kWaitMs = 5000;
    static constexpr int kWakeMs = 50;

    ~WindowDriver() {
        m_dialog.reset();
        InstallBiometricBackend(nullptr);
    }

    // False (with the message as a test failure) when the variables are malformed.
    bool UseSimulatedSensor(const SimulatedConfig::Variables& variables) {
        std::string error;
        auto backend = CreateSimulatedService(variables, &error);
        EXPECT_TRUE(backend) << error;
        InstallBiometricBackend(backend);
        return backend != nullptr;
    }

    // The window's own start-up, as the application runs it; shown only when it succeeds.
    bool Start() {
        m_dialog = std::make_unique<CVarneDlg>("1");
        if (!m_dialog->InitDialog()) {
            return false;
        }
        m_dialog->show();
        return QTest::qWaitForWindowExposed(m_dialog.get());
    }

    CVarneDlg& Dialog() { return *m_dialog; }
    const EnrollmentContext& Context() const { return m_dialog->Context(); }

    template <typename Widget>
    Widget& Child(const char* name) {
        auto* widget = m_dialog->findChild<Widget*>(QString::fromLatin1(name));
        EXPECT_NE(widget, nullptr) << name;
        return *widget;
    }
    CLabel& TitleLabel() { return Child<CLabel>("titleLabel"); }
    CLabel& InstructionLabel() { return Child<CLabel>("instructionLabel"); }
    QPushButton& AbortButton() { return Child<QPushButton>("abortButton"); }
    QPushButton& CloseButton() { return Child<QPushButton>("closeButton"); }
    QPushButton& SearchDeviceButton() { return Child<QPushButton>("searchDevice"); }
    QProgressBar& ProgressBar() { return Child<QProgressBar>("progressBar"); }

    void ClickFinger(int finger) {
        const QPoint tip = Child<CSysColorStatic>("picture").mapTo(
            m_dialog.get(), kFingertipTable[finger].position);
        QTest::mouseClick(m_dialog.get(), Qt::LeftButton, {}, tip);
    }
    void ClickAbort() { QTest::mouseClick(&AbortButton(), Qt::LeftButton); }

    bool WaitFor(const std::function<bool()>& condition) {
        return QTest::qWaitFor(condition, kWaitMs);
    }
    bool WaitForTitle(TextId title) {
        const QString wanted = QString::fromStdU16String(LoadCatalogueText(title));
        return WaitFor([&] { return TitleLabel().text() == wanted; });
    }
    // The attempt is over once no finger is selected any more.
    bool WaitUntilIdle() {
        return WaitFor([&] { return Context().selectedFinger == 0; });
    }

    // Like WaitFor, but runs events as soon as they come instead of polling every 10 ms: for
    // long runs, where the polling would take longer than the work.
    static bool WaitPromptly(const std::function<bool()>& condition) {
        QElapsedTimer elapsed;
        elapsed.start();
        QTimer wake;  // so the deadline is seen even when nothing else happens
        wake.start(kWakeMs);
        while (!condition()) {
            if (elapsed.elapsed() > kWaitMs) {
                return false;
            }
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        }
        return true;
    }

private:
    std::unique_ptr<CVarneDlg> m_dialog;
};
