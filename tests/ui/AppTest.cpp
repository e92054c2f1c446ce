// The built program: what it prints without a window, and how it refuses a bad environment.
#include <gtest/gtest.h>

#include <QProcess>
#include <QProcessEnvironment>
#include <string>
#include <utility>
#include <vector>

#include "SystemTree.h"

namespace {

struct Outcome {
    int exitCode = -1;
    QString out;
    QString err;
};

// No display at all: anything that tried to open a window would fail. The simulated sensor
// unless a test says otherwise, and a system bus that nobody listens on, so that fprintd is
// never reached whatever runs on this machine. English unless a test chooses a language, from
// the build tree's catalogues.
Outcome RunProgram(const QStringList& arguments, const QProcessEnvironment& extra = {},
                   const QString& platform = QStringLiteral("xcb"),
                   const QStringList& removed = {}) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("DISPLAY"));
    environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), platform);
    environment.insert(QStringLiteral("VARNE_SERVICE"), QStringLiteral("simulated"));
    environment.insert(QStringLiteral("DBUS_SYSTEM_BUS_ADDRESS"),
                       QStringLiteral("unix:path=/nonexistent/varne-test-bus"));
    for (const char* variable : {"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG"}) {
        environment.remove(QLatin1String(variable));
    }
    // Qt 6.8 warns on standard error under a character set other than UTF-8.
    environment.insert(QStringLiteral("LC_CTYPE"), QStringLiteral("C.UTF-8"));
    environment.insert(QStringLiteral("VARNE_LOCALE_DIR"), QStringLiteral(VARNE_BUILD_LOCALE_DIR));
    environment.insert(extra);
    for (const QString& variable : removed) {
        environment.remove(variable);
    }
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
                                 "VARNE_SIM_FAIL", "VARNE_SIM_STORE", "VARNE_SERVICE"}) {
        EXPECT_EQ(help.out.count(QLatin1String(variable)), 1) << variable;
    }
    for (const char* word : {"--list", "fprintd", "simulated"}) {
        EXPECT_TRUE(help.out.contains(QLatin1String(word))) << word;
    }
    // Nor does a back end that does not exist keep them from answering.
    broken.insert(QStringLiteral("VARNE_SERVICE"), QStringLiteral("bogus"));
    EXPECT_EQ(RunProgram({QStringLiteral("--help")}, broken).out, help.out);
}

TEST(AppTest, BadServiceNamesEndTheRunBeforeAnyWindow) {
    const struct {
        const char* value;
        const char* shown;  // as stderr must echo it
    } rows[] = {
        {"bogus", "\"bogus\""},
        {"", "\"\""},
        {"\x1b[31mred\x07", "\"\\x1b[31mred\\x07\""},
    };
    for (const QString& arguments : {QStringLiteral("1"), QStringLiteral("--list")}) {
        for (const auto& row : rows) {
            QProcessEnvironment environment;
            environment.insert(QStringLiteral("VARNE_SERVICE"), QString::fromUtf8(row.value));
            const Outcome outcome = RunProgram({arguments}, environment);
            EXPECT_EQ(outcome.exitCode, 2) << row.shown;
            EXPECT_EQ(outcome.err, QStringLiteral("varne: VARNE_SERVICE: unknown back end ") +
                                       QLatin1String(row.shown) +
                                       QStringLiteral(" (expected fprintd or simulated)\n"));
            EXPECT_TRUE(outcome.out.isEmpty());
        }
    }
}

// A malformed simulated variable stops the simulated back end only; echoed values come quoted.
TEST(AppTest, SimulatedVariablesAreReadOnlyWhenTheSimulatedSensorIsChosen) {
    QProcessEnvironment environment;
    environment.insert(QStringLiteral("VARNE_SIM_SCRIPT"), QStringLiteral("more,\x1b[2J"));
    const Outcome simulated = RunProgram({QStringLiteral("--list")}, environment);
    EXPECT_EQ(simulated.exitCode, 2);
    EXPECT_TRUE(simulated.err.contains(QStringLiteral("\"\\x1b[2J\"")))
        << simulated.err.toStdString();
    EXPECT_FALSE(simulated.err.contains(QChar(0x1b)));

    environment.insert(QStringLiteral("VARNE_SERVICE"), QStringLiteral("fprintd"));
    const Outcome fprintd = RunProgram({QStringLiteral("--list")}, environment);
    EXPECT_EQ(fprintd.exitCode, 1);
    EXPECT_FALSE(fprintd.err.contains(QStringLiteral("VARNE_SIM"))) << fprintd.err.toStdString();
}

TEST(AppTest, ListPrintsTheReadersWithoutADisplay) {
    const struct {
        const char* name;
        const char* service;  // null: unset
        std::vector<std::pair<const char*, const char*>> variables;
        int exitCode;
        QString out;
        QStringList errLines;
    } rows[] = {
        {"simulated, one unit",
         "simulated",
         {},
         0,
         QStringLiteral("1\tSimulated fingerprint sensor\tpress\t(default)\n"),
         {}},
        {"simulated, listing fails",
         "simulated",
         {{"VARNE_SIM_FAIL", "units=0x80098034"}},
         1,
         {},
         {QStringLiteral("varne: Failed to retrieve biometric units. The manager will be closed."),
          QStringLiteral("Error code = 0x80098034")}},
        {"fprintd unreachable, chosen by default",
         nullptr,
         {},
         1,
         {},
         {QStringLiteral("varne: Failed to open WinBio session. The manager will be closed."),
          QStringLiteral("varne: fprintd, the fingerprint daemon, is not running or cannot be "
                         "reached on the system bus; to try the simulated sensor instead: "
                         "VARNE_SERVICE=simulated varne 1")}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        QProcessEnvironment environment;
        for (const auto& [variable, value] : row.variables) {
            environment.insert(QLatin1String(variable), QLatin1String(value));
        }
        if (row.service != nullptr) {
            environment.insert(QStringLiteral("VARNE_SERVICE"), QLatin1String(row.service));
        }
        QStringList removed;
        if (row.service == nullptr) {
            removed << QStringLiteral("VARNE_SERVICE");  // RunProgram names the simulated sensor
        }
        const Outcome outcome =
            RunProgram({QStringLiteral("--list")}, environment, QStringLiteral("xcb"), removed);
        EXPECT_EQ(outcome.exitCode, row.exitCode) << outcome.err.toStdString();
        EXPECT_EQ(outcome.out, row.out);
        QStringList errLines = outcome.err.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        EXPECT_EQ(errLines, row.errLines) << outcome.err.toStdString();
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
    // The window said nothing, so the terminal tells which units there are.
    EXPECT_TRUE(outcome.err.contains(QStringLiteral(
        "varne: unit 7 is not listed; the units listed are 2, 3 (see varne --list)\n")))
        << outcome.err.toStdString();
}

// The terminal's texts follow the usual variables; in English and in the C locale they are
// exactly what the program prints with no language set.
TEST(AppTest, TerminalTextsFollowTheLanguageAndStayExactInEnglish) {
    QProcessEnvironment units;
    units.insert(QStringLiteral("VARNE_SIM_UNITS"), QStringLiteral("2,3"));
    const Outcome englishHelp = RunProgram({QStringLiteral("--help")});
    const Outcome englishList = RunProgram({QStringLiteral("--list")}, units);
    ASSERT_TRUE(englishHelp.out.startsWith(QStringLiteral("Usage: varne [UNIT]\n")));

    struct Row {
        std::vector<std::pair<const char*, const char*>> variables;
        const char* helpStart;    // nullptr: exactly the English
        const char* defaultMark;  // in --list
        const char* notListed;    // on standard error, after the window closed
    };
    const Row rows[] = {
        {{{"LANG", "de_DE.UTF-8"}},
         "Aufruf: varne [EINHEIT]\n",
         "2\tSimulated fingerprint sensor\tauflegen\t(Standard)\n",
         "varne: Einheit 7 ist nicht aufgef\u00fchrt; aufgef\u00fchrt sind die Einheiten 2, 3"},
        {{{"LANGUAGE", "fr"}, {"LC_ALL", "en_US.UTF-8"}, {"LANG", "C"}},
         "Usage : varne [UNIT\u00c9]\n",
         "2\tSimulated fingerprint sensor\tappui\t(par d\u00e9faut)\n",
         "varne: l\u2019unit\u00e9 7 n\u2019est pas r\u00e9pertori\u00e9e"},
        {{{"LANGUAGE", "es:fr"}, {"LC_MESSAGES", "en_US.UTF-8"}},
         "Uso: varne [UNIDAD]\n",
         "2\tSimulated fingerprint sensor\tcontacto\t(predeterminado)\n",
         "varne: la unidad 7 no est\u00e1 en la lista"},
        // A language without a catalogue falls to the next one named, here English.
        {{{"LANGUAGE", "xx:en"}, {"LANG", "en_US.UTF-8"}}, nullptr, nullptr, nullptr},
        // The C locale ignores LANGUAGE, as every program's texts do.
        {{{"LANGUAGE", "de"}, {"LC_ALL", "C"}}, nullptr, nullptr, nullptr},
    };
    for (const Row& row : rows) {
        QProcessEnvironment environment;
        std::string trace;
        for (const auto& [variable, value] : row.variables) {
            environment.insert(QLatin1String(variable), QLatin1String(value));
            trace += std::string(variable) + "=" + value + " ";
        }
        SCOPED_TRACE(trace);
        const Outcome help = RunProgram({QStringLiteral("--help")}, environment);
        environment.insert(units);
        const Outcome list = RunProgram({QStringLiteral("--list")}, environment);
        const Outcome window =
            RunProgram({QStringLiteral("7")}, environment, QStringLiteral("offscreen"));
        EXPECT_EQ(help.exitCode, 0);
        EXPECT_EQ(list.exitCode, 0);
        EXPECT_EQ(window.exitCode, 1);
        if (row.helpStart == nullptr) {
            EXPECT_EQ(help.out, englishHelp.out);
            EXPECT_EQ(list.out, englishList.out);
            EXPECT_TRUE(window.err.contains(QStringLiteral("varne: unit 7 is not listed")));
            continue;
        }
        EXPECT_TRUE(help.out.startsWith(QString::fromUtf8(row.helpStart)))
            << help.out.toStdString();
        EXPECT_TRUE(list.out.contains(QString::fromUtf8(row.defaultMark)))
            << list.out.toStdString();
        EXPECT_TRUE(window.err.contains(QString::fromUtf8(row.notListed)))
            << window.err.toStdString();
    }
}

// --check on the simulated sensor and a fake system tree: on, off, and a back end that fails.
TEST(AppTest, CheckSaysWhetherLoginUsesTheFingerprint) {
    const struct {
        const char* name;
        bool fingerprintOn;
        const char* failure;  // VARNE_SIM_FAIL, or null
        int exitCode;
        QString readers;
        QString err;
    } rows[] = {
        {"on",
         true,
         nullptr,
         0,
         QStringLiteral("1\tSimulated fingerprint sensor\tpress\t(default)\tenrolled: "
                        "right-index-finger\n"),
         {}},
        {"off",
         false,
         nullptr,
         3,
         QStringLiteral("1\tSimulated fingerprint sensor\tpress\t(default)\tenrolled: "
                        "right-index-finger\n"),
         {}},
        {"back end fails",
         true,
         "open=0x80004005",
         1,
         {},
         QStringLiteral("varne: Failed to open WinBio session. The manager will be closed.\n")},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        SystemTree tree;
        tree.WriteDebian(row.fingerprintOn);
        QProcessEnvironment environment;
        environment.insert(QStringLiteral("VARNE_SYSTEM_ROOT"),
                           QString::fromStdString(tree.RootText()));
        environment.insert(QStringLiteral("VARNE_SIM_ENROLLED"), QStringLiteral("2"));
        if (row.failure != nullptr) {
            environment.insert(QStringLiteral("VARNE_SIM_FAIL"), QLatin1String(row.failure));
        }
        const Outcome outcome = RunProgram({QStringLiteral("--check")}, environment);
        EXPECT_EQ(outcome.exitCode, row.exitCode) << outcome.err.toStdString();
        EXPECT_EQ(outcome.err, row.err);
        const QString state = row.fingerprintOn ? QStringLiteral("on") : QStringLiteral("off");
        EXPECT_TRUE(outcome.out.startsWith(row.readers + QStringLiteral("sudo\t") + state))
            << outcome.out.toStdString();
        EXPECT_TRUE(outcome.out.endsWith(QStringLiteral(
            "to turn fingerprint login on: sudo pam-auth-update --enable fprintd\n")))
            << outcome.out.toStdString();
    }
}

}  // namespace
