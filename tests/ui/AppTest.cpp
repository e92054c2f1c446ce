// The built program: what it prints without a window, and how it refuses a bad environment.
#include <gtest/gtest.h>

#include <QProcess>
#include <QProcessEnvironment>

namespace {

struct Outcome {
    int exitCode = -1;
    QString out;
    QString err;
};

// No display at all: anything that tried to open a window would fail.
Outcome RunProgram(const QStringList& arguments, const QProcessEnvironment& extra = {},
                   const QString& platform = QStringLiteral("xcb")) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("DISPLAY"));
    environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), platform);
    environment.insert(extra);
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral(VARNE_EXECUTABLE), arguments);
    if (!process.waitForFinished(10000)) {
        process.kill();
        process.waitForFinished();
        return {};
    }
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromLocal8Bit(process.readAllStandardOutput()),
            QString::fromLocal8Bit(process.readAllStandardError())};
}

TEST(AppTest, VersionAndHelpPrintWithoutAWindowOrTheBackEnd) {
    // A broken sensor variable would end the run if the back end were created.
    QProcessEnvironment broken;
    broken.insert(QStringLiteral("VARNE_SIM_SCRIPT"), QStringLiteral("bogus"));
    const Outcome version = RunProgram({QStringLiteral("--version")}, broken);
    EXPECT_EQ(version.exitCode, 0) << version.err.toStdString();
    EXPECT_EQ(version.out, QStringLiteral("Varne 1.0.0.1\n"));

    const Outcome help = RunProgram({QStringLiteral("--help")}, broken);
    EXPECT_EQ(help.exitCode, 0) << help.err.toStdString();
    for (const char* variable : {"VARNE_SIM_UNITS", "VARNE_SIM_ENROLLED", "VARNE_SIM_SCRIPT",
                                 "VARNE_SIM_FAIL", "VARNE_SIM_STORE"}) {
        EXPECT_EQ(help.out.count(QLatin1String(variable)), 1) << variable;
    }
}

TEST(AppTest, BadSimulatedSensorVariablesEndTheRunBeforeAnyWindow) {
    const struct {
        const char* variable;
        const char* value;
        const char* quotedItem;
    } rows[] = {
        {"VARNE_SIM_SCRIPT", "more,sideways", "\"sideways\""},
        {"VARNE_SIM_UNITS", "one", "\"one\""},
        {"VARNE_SIM_ENROLLED", "1,11", "\"11\""},
        {"VARNE_SIM_FAIL", "explode=0x80004005", "\"explode\""},
        {"VARNE_SIM_STORE", "", ""},
        // An escape sequence in the item reaches the terminal quoted, never raw.
        {"VARNE_SIM_UNITS", "\x1b[31m7", "\"\\x1b[31m7\""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.variable);
        QProcessEnvironment environment;
        environment.insert(QLatin1String(row.variable), QLatin1String(row.value));
        const Outcome outcome = RunProgram({QStringLiteral("1")}, environment);
        EXPECT_EQ(outcome.exitCode, 2);
        EXPECT_TRUE(outcome.err.startsWith(QStringLiteral("varne: ") + QLatin1String(row.variable)))
            << outcome.err.toStdString();
        EXPECT_TRUE(outcome.err.contains(QLatin1String(row.quotedItem)))
            << outcome.err.toStdString();
        EXPECT_FALSE(outcome.err.contains(QChar(0x1b)));
        EXPECT_TRUE(outcome.out.isEmpty());
    }
}

// A unit the service does not list closes the window without a message box, so the whole
// start-up runs here unattended and must end the process on its own.
TEST(AppTest, UnitNotListedEndsTheProcessAsFailed) {
    QProcessEnvironment environment;
    environment.insert(QStringLiteral("VARNE_SIM_UNITS"), QStringLiteral("2,3"));
    const Outcome outcome =
        RunProgram({QStringLiteral("sensor:7")}, environment, QStringLiteral("offscreen"));
    EXPECT_EQ(outcome.exitCode, 1) << outcome.err.toStdString();
    EXPECT_TRUE(outcome.out.isEmpty());
}

}  // namespace
