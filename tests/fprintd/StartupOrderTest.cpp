// The program's start-up on fprintd, whose answers are asked while the window is built: the
// order it shows to the user stays that of a start-up that asks as it goes.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>
#include <map>
#include <string>

#include "FprintdSandbox.h"
#include "MessageCatalogue.h"

namespace {

constexpr int kPollMs = 20;
constexpr qint64 kRunPatienceMs = 20000;

struct StartupRun {
    bool ended = false;
    int exitCode = -1;
    QString err;
    QStringList boxes;                     // first lines, in the order shown
    std::map<std::string, qint64> stamps;  // phase -> CLOCK_MONOTONIC ns
};

void ReadProbeLines(const QString& err, StartupRun& run) {
    run.boxes.clear();
    for (const QString& line : err.split(QLatin1Char('\n'))) {
        if (line.startsWith(QStringLiteral("varne-bench message-box "))) {
            run.boxes << line.section(QLatin1Char(' '), 2);
        }
        const QStringList words = line.split(QLatin1Char(' '));
        if (words.size() == 4 && words[0] == QStringLiteral("varne-bench") &&
            words[1] == QStringLiteral("stamp")) {
            run.stamps[words[2].toStdString()] = words[3].toLongLong();
        }
    }
}

// The program as installed, with the probe that ends it once its first frame is painted; a
// message box is answered as a SIGTERM answers it, once the box is up.
StartupRun RunProgram(const QStringList& arguments) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    environment.insert(QStringLiteral("VARNE_SERVICE"), QStringLiteral("fprintd"));
    environment.insert(QStringLiteral("VARNE_BENCH"), QStringLiteral("startup"));
    environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), QStringLiteral("disabled:"));
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral(VARNE_BENCH_EXECUTABLE), arguments);
    StartupRun run;
    QElapsedTimer clock;
    clock.start();
    bool answered = false;
    while (!process.waitForFinished(kPollMs)) {
        run.err += QString::fromLocal8Bit(process.readAllStandardError());
        ReadProbeLines(run.err, run);
        if (!answered && !run.boxes.isEmpty()) {
            process.terminate();
            answered = true;
        }
        if (clock.elapsed() > kRunPatienceMs) {
            process.kill();
            process.waitForFinished();
            return run;
        }
    }
    run.err += QString::fromLocal8Bit(process.readAllStandardError());
    ReadProbeLines(run.err, run);
    run.ended = process.exitStatus() == QProcess::NormalExit;
    run.exitCode = process.exitCode();
    return run;
}

QString FirstLine(TextId id) {
    return QString::fromStdU16String(LoadCatalogueText(id)).section(QLatin1Char('\n'), 0, 0);
}

TEST(StartupOrderOnFprintd, FailuresComeBeforeAnyWindowAndTheUnitIsTheCommandLines) {
    if (!FprintdSandbox::Available()) {
        GTEST_SKIP() << "needs the fprintd fixture (label fprintd)";
    }
    const struct {
        const char* name;
        QStringList arguments;
        bool fprintdRunning;
        int exitCode;
        TextId box;  // 0: none
        const char* note;
    } rows[] = {
        {"the unit from the command line", {QStringLiteral("sensor:1")}, true, 0, 0, ""},
        {"a unit fprintd does not list",
         {QStringLiteral("sensor:7")},
         true,
         1,
         0,
         "varne: unit 7 is not listed; the units listed are 1 (see varne --list)\n"},
        {"no unit id", {}, true, 1, kTextInvalidUnitId, ""},
        {"fprintd not running",
         {QStringLiteral("1")},
         false,
         1,
         kTextSessionOpenFailed,
         "varne: fprintd, the fingerprint daemon, is not running"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        if (!row.fprintdRunning) {
            ASSERT_TRUE(FprintdSandbox::StopFprintd(false));
        }
        const StartupRun run = RunProgram(row.arguments);
        if (!row.fprintdRunning) {
            ASSERT_TRUE(FprintdSandbox::StartFprintd(FprintdVariant::kPlain));
        }
        ASSERT_TRUE(run.ended) << run.err.toStdString();
        EXPECT_EQ(run.exitCode, row.exitCode) << run.err.toStdString();
        EXPECT_TRUE(run.err.contains(QString::fromUtf8(row.note))) << run.err.toStdString();
        // The back end's work began before the window was built, whatever the outcome.
        EXPECT_EQ(run.stamps.count("fprintd-bus"), 1u) << run.err.toStdString();
        if (row.box != 0) {
            EXPECT_EQ(run.boxes, QStringList{FirstLine(row.box)});
        } else {
            EXPECT_TRUE(run.boxes.isEmpty()) << run.boxes.join(QLatin1Char('|')).toStdString();
        }
        const bool painted = run.stamps.count("paint") != 0;
        EXPECT_EQ(painted, row.exitCode == 0) << "a failed start-up showed the window";
        if (painted) {
            // The window shows fingers that were asked for before its session result was used.
            ASSERT_EQ(run.stamps.count("fprintd-fingers"), 1u);
            EXPECT_LT(run.stamps.at("fprintd-fingers"), run.stamps.at("session"));
            EXPECT_LT(run.stamps.at("session"), run.stamps.at("paint"));
        }
    }
}

}  // namespace
