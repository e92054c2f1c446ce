// A main window on the simulated sensor, initialised, shown and active, for the window's tests.
#pragma once

#include <gtest/gtest.h>

#include <QTest>
#include <memory>

#include "CLabel.h"
#include "CSysColorStatic.h"
#include "CVarneDlg.h"
#include "MessageCatalogue.h"
#include "SimulatedService.h"

class StartedWindow : public testing::Test {
protected:
    static constexpr int kWaitMs = 5000;

    void TearDown() override {
        m_dialog.reset();
        InstallBiometricBackend(nullptr);
    }

    void UseSimulatedSensor(const SimulatedConfig::Variables& variables) {
        std::string error;
        auto backend = CreateSimulatedService(variables, &error);
        ASSERT_TRUE(backend) << error;
        InstallBiometricBackend(backend);
    }

    // Initialises the window on unit 1 and shows it, as the application does.
    void Start(const SimulatedConfig::Variables& variables) {
        UseSimulatedSensor(variables);
        m_dialog = std::make_unique<CVarneDlg>("1");
        ASSERT_TRUE(m_dialog->InitDialog());
        m_dialog->show();
        m_dialog->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(m_dialog.get()));
    }

    CVarneDlg& Dialog() { return *m_dialog; }
    template <typename Widget>
    Widget& Child(const char* name) {
        auto* widget = m_dialog->findChild<Widget*>(QString::fromLatin1(name));
        EXPECT_NE(widget, nullptr) << name;
        return *widget;
    }
    CSysColorStatic& Picture() { return Child<CSysColorStatic>("picture"); }
    QString Title() { return Child<CLabel>("titleLabel").text(); }
    static QString Text(TextId id) { return QString::fromStdU16String(LoadCatalogueText(id)); }
    bool WaitForTitle(TextId title) {
        return QTest::qWaitFor([&] { return Title() == Text(title); }, kWaitMs);
    }
    // Focus reached by the keyboard, as a user tabbing into the picture would.
    void TabIntoPicture() {
        Child<QWidget>("closeButton").setFocus(Qt::OtherFocusReason);
        for (int tabs = 0; tabs < 10 && !Picture().hasFocus(); ++tabs) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        }
        ASSERT_TRUE(Picture().hasFocus());
    }

    std::unique_ptr<CVarneDlg> m_dialog;
};
