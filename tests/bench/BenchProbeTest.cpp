// The measuring hooks: what VARNE_BENCH accepts, and varne-bench's runs under each mode.
#include <gtest/gtest.h>

#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <map>

#include "BenchProbe.h"

namespace {

TEST(BenchProbe, ParsesOnlyTheModesItKnows) {
    using Mode = BenchProbe::Mode;
    const struct {
        const char* value;
        Mode mode;
        long long argument;
    } rows[] = {
        {nullptr, Mode::kOff, 0},
        {"", Mode::kOff, 0},
        {"startup", Mode::kStartup, 0},
        {"idle=10000", Mode::kIdle, 10000},
        {"poll=500", Mode::kPoll, 500},
        {"latency=1000", Mode::kLatency, 1000},
        {"enroll=2", Mode::kEnroll, 2},
        {"scan=500", Mode::kScan, 500},
        {"scan=", Mode::kOff, 0},
        // Anything malformed leaves the program as it is, rather than exit or measure.
        {"Startup", Mode::kOff, 0},
        {"idle", Mode::kOff, 0},
        {"idle=", Mode::kOff, 0},
        {"idle=0", Mode::kOff, 0},
        {"idle=-5", Mode::kOff, 0},
        {"idle=10s", Mode::kOff, 0},
        {"latency=1e3", Mode::kOff, 0},
        {"startup=1", Mode::kOff, 0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.value != nullptr ? row.value : "(unset)");
        const BenchProbe::Setting setting = BenchProbe::ParseSetting(row.value);
        EXPECT_EQ(setting.mode, row.mode);
        EXPECT_EQ(setting.argument, row.argument);
    }
}

struct BenchRun {
    int exitCode = -1;
    std::map<QString, long long> stamps;
    QStringList lines;  // the probe's other lines, without their prefix

    QStringList LinesStartingWith(const char* key) const {
        return lines.filter(QRegularExpression(QStringLiteral("^") + QLatin1String(key)));
    }
};

BenchRun RunMeasured(const QString& mode, const QString& script = {}) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    environment.insert(QStringLiteral("VARNE_BENCH"), mode);
    environment.insert(QStringLiteral("VARNE_SERVICE"), QStringLiteral("simulated"));
    if (!script.isNull()) {
        environment.insert(QStringLiteral("VARNE_SIM_SCRIPT"), script);
    }
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral(VARNE_BENCH_EXECUTABLE), {QStringLiteral("1")});
    BenchRun run;
    if (!process.waitForFinished(20000)) {
        process.kill();
        process.waitForFinished();
        return run;
    }
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    const QString err = QString::fromLocal8Bit(process.readAllStandardError());
    static const QRegularExpression stamp(QStringLiteral("^varne-bench stamp (\\S+) (\\d+)$"));
    for (const QString& line : err.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        const QRegularExpressionMatch match = stamp.match(line);
        if (match.hasMatch()) {
            run.stamps[match.captured(1)] = match.captured(2).toLongLong();
        } else if (line.startsWith(QLatin1String("varne-bench "))) {
            run.lines << line.mid(12);
        }
    }
    return run;
}

TEST(BenchProbe, StartupModeStampsEveryPhaseInOrderAndEndsAfterTheFirstFrame) {
    const BenchRun run = RunMeasured(QStringLiteral("startup"));
    ASSERT_EQ(run.exitCode, 0);
    const char* const phases[] = {"main",    "qt",      "backend", "dialog",
                                  "picture", "session", "paint",   "frame"};
    long long previous = 0;
    for (const char* phase : phases) {
        const auto found = run.stamps.find(QLatin1String(phase));
        ASSERT_NE(found, run.stamps.end()) << phase;
        EXPECT_GE(found->second, previous) << phase;
        previous = found->second;
    }
}

TEST(BenchProbe, EnrollModeClicksAFingerAndReportsTheOutcome) {
    const BenchRun run = RunMeasured(QStringLiteral("enroll=2"), QStringLiteral("more,more,ok"));
    ASSERT_EQ(run.exitCode, 0);
    EXPECT_TRUE(run.lines.contains(QStringLiteral("enroll-result Enrollment Success")))
        << run.lines.join(QLatin1Char('\n')).toStdString();
    EXPECT_LT(run.stamps.at(QStringLiteral("click")), run.stamps.at(QStringLiteral("enrolled")));
}

TEST(BenchProbe, LatencyModeTimesEveryResultAndIdleModeSeesNoTimerOfOurs) {
    const BenchRun latency =
        RunMeasured(QStringLiteral("latency=6"), QStringLiteral("more,poor,fast,poor,more,poor"));
    ASSERT_EQ(latency.exitCode, 0);
    const QStringList latencies = latency.LinesStartingWith("latency-us ");
    ASSERT_EQ(latencies.size(), 1) << latency.lines.join(QLatin1Char('\n')).toStdString();
    const QStringList values = latencies[0].split(QLatin1Char(' '));
    ASSERT_EQ(values.size(), 7);
    EXPECT_EQ(values[0], QStringLiteral("latency-us"));
    for (qsizetype index = 1; index < values.size(); ++index) {
        bool number = false;
        EXPECT_GT(values[index].toLongLong(&number), 0);
        EXPECT_TRUE(number);
    }

    const BenchRun idle = RunMeasured(QStringLiteral("idle=300"));
    ASSERT_EQ(idle.exitCode, 0);
    const QStringList summaries = idle.LinesStartingWith("idle cpu-us ");
    ASSERT_EQ(summaries.size(), 1) << idle.lines.join(QLatin1Char('\n')).toStdString();
    EXPECT_TRUE(summaries[0].endsWith(QLatin1String(" ours 0"))) << summaries[0].toStdString();
    EXPECT_TRUE(idle.LinesStartingWith("timer-fired").isEmpty());
}

TEST(BenchProbe, ScanModeStampsEachPaintedStatusInOrderAndStopsWhenTheAttemptEnds) {
    const struct {
        const char* mode;
        const char* script;
        qsizetype painted;
        const char* end;
    } rows[] = {
        {"scan=4", "more,poor,more,poor,more,poor", 4, "scan-end done"},
        // Ended before N: what was painted is reported, and the program does not hang.
        {"scan=10", "more,ok", 2, "scan-end attempt-ended"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.mode);
        const BenchRun run = RunMeasured(QLatin1String(row.mode), QLatin1String(row.script));
        ASSERT_EQ(run.exitCode, 0);
        const QStringList painted = run.LinesStartingWith("status-painted ");
        ASSERT_EQ(painted.size(), row.painted) << run.lines.join(QLatin1Char('\n')).toStdString();
        long long previous = run.stamps.at(QStringLiteral("click"));
        for (const QString& line : painted) {
            const long long stamp = line.section(QLatin1Char(' '), 1).toLongLong();
            EXPECT_GT(stamp, previous) << line.toStdString();
            previous = stamp;
        }
        EXPECT_EQ(run.LinesStartingWith("scan-end"), QStringList{QLatin1String(row.end)});
    }
}

}  // namespace
