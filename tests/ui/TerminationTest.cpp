// The built program on SIGTERM and SIGINT: the window closes as its Close button would close it.
#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QThread>
#include <csignal>

namespace {

// Generous: the sanitizer builds start slowly on a busy machine.
constexpr int kStartTimeoutMs = 20000;
constexpr int kExitTimeoutMs = 10000;
constexpr int kPollMs = 20;
// Long enough for a program that still measured itself to have printed and ended.
constexpr int kSettleMs = 1000;

QProcessEnvironment Environment(const QString& storePath = {}) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    environment.insert(QStringLiteral("VARNE_SERVICE"), QStringLiteral("simulated"));
    environment.remove(QStringLiteral("VARNE_SIM_SCRIPT"));
    environment.remove(QStringLiteral("VARNE_BENCH"));
    if (!storePath.isEmpty()) {
        environment.insert(QStringLiteral("VARNE_SIM_STORE"), storePath);
    }
    return environment;
}

// True once the process has a handler for signal, read from the kernel's own record.
bool Catches(qint64 pid, int signal) {
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly)) {
        return false;
    }
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("SigCgt:")) {
            bool parsed = false;
            const qulonglong mask = line.mid(7).trimmed().toULongLong(&parsed, 16);
            return parsed && (mask & (1ULL << (signal - 1))) != 0;
        }
    }
    return false;
}

class Program {
public:
    Program(const char* executable, const QProcessEnvironment& environment) {
        m_process.setProcessEnvironment(environment);
        m_process.start(QString::fromLocal8Bit(executable), {QStringLiteral("1")});
    }
    ~Program() {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished();
        }
    }
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    bool WaitUntilCatching(int signal) {
        QElapsedTimer waited;
        waited.start();
        while (!Catches(m_process.processId(), signal)) {
            if (m_process.state() == QProcess::NotRunning || waited.elapsed() > kStartTimeoutMs) {
                return false;
            }
            QThread::msleep(kPollMs);
        }
        return true;
    }

    // Waits for a line of standard error that starts with prefix.
    bool WaitForLine(const QByteArray& prefix) {
        QElapsedTimer waited;
        waited.start();
        while (waited.elapsed() < kStartTimeoutMs) {
            m_err += m_process.readAllStandardError();
            for (const QByteArray& line : m_err.split('\n')) {
                if (line.startsWith(prefix)) {
                    return true;
                }
            }
            if (!m_process.waitForReadyRead(kPollMs) && m_process.state() == QProcess::NotRunning) {
                return false;
            }
        }
        return false;
    }

    bool Running() { return !m_process.waitForFinished(kSettleMs); }

    // The exit status after signal, or -1 when it did not end normally within the bound.
    int SignalAndWait(int signal, qint64* elapsedMs) {
        QElapsedTimer waited;
        waited.start();
        ::kill(static_cast<pid_t>(m_process.processId()), signal);
        const bool ended = m_process.waitForFinished(kExitTimeoutMs);
        *elapsedMs = waited.elapsed();
        m_err += m_process.readAllStandardError();
        if (!ended || m_process.exitStatus() != QProcess::NormalExit) {
            return -1;
        }
        return m_process.exitCode();
    }

    const QByteArray& Err() const { return m_err; }

private:
    QProcess m_process;
    QByteArray m_err;
};

TEST(Termination, EitherSignalClosesTheIdleWindowAndEndsWithSuccess) {
    for (const int signal : {SIGTERM, SIGINT}) {
        SCOPED_TRACE(strsignal(signal));
        QProcessEnvironment environment = Environment();
        // The installed program does not measure itself: it would end after its first frame.
        environment.insert(QStringLiteral("VARNE_BENCH"), QStringLiteral("startup"));
        Program program(VARNE_EXECUTABLE, environment);
        ASSERT_TRUE(program.WaitUntilCatching(signal)) << program.Err().toStdString();
        ASSERT_TRUE(program.Running()) << program.Err().toStdString();
        qint64 elapsedMs = 0;
        EXPECT_EQ(program.SignalAndWait(signal, &elapsedMs), 0) << program.Err().toStdString();
        EXPECT_LT(elapsedMs, kExitTimeoutMs);
        EXPECT_FALSE(program.Err().contains("varne-bench")) << program.Err().toStdString();
    }
}

// The measuring program starts an enrollment or a deletion by itself; it is varne with a probe.
struct StoreRun {
    int exitCode = -1;
    QByteArray err;
};

StoreRun RunToTheEnd(const QString& store, const QString& mode, const QString& script) {
    QProcessEnvironment environment = Environment(store);
    environment.insert(QStringLiteral("VARNE_BENCH"), mode);
    environment.insert(QStringLiteral("VARNE_SIM_SCRIPT"), script);
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral(VARNE_BENCH_EXECUTABLE), {QStringLiteral("1")});
    if (!process.waitForFinished(kStartTimeoutMs)) {
        process.kill();
        process.waitForFinished();
        return {};
    }
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            process.readAllStandardError()};
}

QByteArray Contents(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A box at start-up runs a loop of its own, which would wait for an answer.
TEST(Termination, AStartUpFailureBoxIsClosedAsEscapeWouldAndTheStartFails) {
    QProcessEnvironment environment = Environment();
    environment.insert(QStringLiteral("VARNE_SIM_FAIL"), QStringLiteral("open=0x80098036"));
    Program program(VARNE_EXECUTABLE, environment);
    ASSERT_TRUE(program.WaitUntilCatching(SIGTERM)) << program.Err().toStdString();
    ASSERT_TRUE(program.Running()) << program.Err().toStdString();
    qint64 elapsedMs = 0;
    EXPECT_EQ(program.SignalAndWait(SIGTERM, &elapsedMs), 1) << program.Err().toStdString();
    EXPECT_LT(elapsedMs, kExitTimeoutMs);
}

TEST(Termination, WorkUnderWayIsLeftAsTheCloseButtonLeavesItAndTheStoreStaysWhole) {
    const struct {
        const char* name;
        const char* mode;
    } rows[] = {
        {"an enrollment waiting for a touch", "enroll=2"},
        // Finger 3 is enrolled: the question before its deletion is open.
        {"the question before a deletion", "enroll=3"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        QTemporaryDir directory;
        ASSERT_TRUE(directory.isValid());
        const QString store = directory.filePath(QStringLiteral("store"));
        const StoreRun first =
            RunToTheEnd(store, QStringLiteral("enroll=3"), QStringLiteral("more,ok"));
        ASSERT_EQ(first.exitCode, 0) << first.err.toStdString();
        ASSERT_TRUE(first.err.contains("enroll-result Enrollment Success"));
        const QByteArray before = Contents(store);
        ASSERT_FALSE(before.isEmpty());

        QProcessEnvironment environment = Environment(store);
        environment.insert(QStringLiteral("VARNE_BENCH"), QLatin1String(row.mode));
        // Runs out after the first touch: the reader then waits for the next.
        environment.insert(QStringLiteral("VARNE_SIM_SCRIPT"), QStringLiteral("more"));
        Program program(VARNE_BENCH_EXECUTABLE, environment);
        ASSERT_TRUE(program.WaitForLine("varne-bench stamp click")) << program.Err().toStdString();
        qint64 elapsedMs = 0;
        EXPECT_EQ(program.SignalAndWait(SIGTERM, &elapsedMs), 0) << program.Err().toStdString();
        EXPECT_LT(elapsedMs, kExitTimeoutMs);
        EXPECT_FALSE(program.Err().contains("enroll-result")) << program.Err().toStdString();

        EXPECT_EQ(Contents(store), before);
        // No half-written store; the lock file stays by design.
        EXPECT_EQ(QDir(directory.path()).entryList(QDir::Files | QDir::Hidden),
                  (QStringList{QStringLiteral("store"), QStringLiteral("store.lock")}));
        // Nothing is held: the next run enrolls finger 2.
        const StoreRun after =
            RunToTheEnd(store, QStringLiteral("enroll=2"), QStringLiteral("more,ok"));
        EXPECT_EQ(after.exitCode, 0) << after.err.toStdString();
        EXPECT_TRUE(after.err.contains("enroll-result Enrollment Success"))
            << after.err.toStdString();
    }
}

}  // namespace
