// Reading the simulated sensor's variables: every item kind, the defaults, every malformed value.
#include <gtest/gtest.h>

#include "SimulatedConfig.h"
#include "SimulatedScript.h"
#include "TerminalText.h"

using namespace std::chrono_literals;

namespace {

SimulatedConfig ConfigOf(const SimulatedConfig::Variables& variables) {
    std::string error;
    auto config = SimulatedConfig::FromVariables(variables, &error);
    EXPECT_TRUE(config.has_value()) << error;
    return config.value_or(*SimulatedConfig::FromVariables({}, nullptr));
}

}  // namespace

TEST(SimulatedScript, EveryItemKindAndDelay) {
    struct Row {
        const char* item;
        SimulatedCaptureResult expected;
    };
    const Row rows[] = {
        {"more", {kMoreData, 0, 0ms}},
        {"ok", {kOk, 0, 0ms}},
        {"poor", {kBadCapture, kRejectPoorQuality, 0ms}},
        {"fast", {kBadCapture, kRejectTooFast, 0ms}},
        {"merge", {kBadCapture, kRejectMergeFailure, 0ms}},
        {"match", {kOk, 0, 0ms}},
        {"nomatch", {kNoMatch, 0, 0ms}},
        {"notouch@30000", {kCaptureTimedOut, 0, 30000ms}},
        {"reject:3", {kBadCapture, kRejectTooLeft, 0ms}},
        {"reject:4294967295", {kBadCapture, 4294967295u, 0ms}},
        {"0x80098036", {kDeviceFailure, 0, 0ms}},
        {"more@700", {kMoreData, 0, 700ms}},
        {"0x80098004@600000", {kCanceled, 0, 600000ms}},
        {" ok@15 ", {kOk, 0, 15ms}},
    };
    for (const auto& row : rows) {
        std::string error;
        const auto script = SimulatedScript::Parse(row.item, &error);
        ASSERT_TRUE(script.has_value()) << row.item << ": " << error;
        ASSERT_EQ(script->Results().size(), 1u) << row.item;
        EXPECT_EQ(script->Results()[0], row.expected) << row.item;
    }
}

TEST(SimulatedScript, ExplicitScriptIsOneSequenceAcrossEnrollments) {
    auto script = *SimulatedScript::Parse("more,ok,poor", nullptr);
    EXPECT_EQ(script.TakeNextResult()->status, kMoreData);
    script.StartEnrollment();
    EXPECT_EQ(script.TakeNextResult()->status, kOk);
    EXPECT_EQ(script.TakeNextResult()->status, kBadCapture);
    EXPECT_FALSE(script.TakeNextResult().has_value());
    script.StartEnrollment();
    EXPECT_FALSE(script.TakeNextResult().has_value());
}

TEST(SimulatedScript, LifelikeScriptPlaysAgainAtEveryEnrollment) {
    auto script = SimulatedScript::Lifelike();
    std::vector<StatusCode> firstRun;
    while (const auto result = script.TakeNextResult()) {
        EXPECT_EQ(result->delay, SimulatedScript::kLifelikeDelay);
        firstRun.push_back(result->status);
    }
    EXPECT_EQ(firstRun,
              (std::vector<StatusCode>{kMoreData, kMoreData, kBadCapture, kMoreData, kOk}));
    script.StartEnrollment();
    ASSERT_TRUE(script.TakeNextResult().has_value());
}

TEST(SimulatedConfig, DefaultsWhenNothingIsSet) {
    const auto config = ConfigOf({});
    EXPECT_EQ(config.Units(), std::vector<UnitId>{1});
    EXPECT_TRUE(config.Enrolled().empty());
    EXPECT_TRUE(config.Script().ReplaysEachEnrollment());
    EXPECT_TRUE(config.StorePath().empty());
    for (const auto& operation : SimulatedConfig::OperationNames()) {
        EXPECT_FALSE(config.ForcedFailure(operation).has_value()) << operation;
    }
}

TEST(SimulatedConfig, ReadsEveryVariable) {
    const auto config = ConfigOf({
        {"VARNE_SIM_UNITS", "3, 1,4294967295"},
        {"VARNE_SIM_ENROLLED", "10,2,1"},
        {"VARNE_SIM_SCRIPT", "more@5,ok"},
        {"VARNE_SIM_FAIL", "open=0x80004005,free=0x8009801D"},
        {"VARNE_SIM_STORE", "/tmp/x.store"},
    });
    EXPECT_EQ(config.Units(), (std::vector<UnitId>{3, 1, 4294967295u}));
    // The service's order, not sorted.
    EXPECT_EQ(config.Enrolled(), (std::vector<SubFactor>{10, 2, 1}));
    EXPECT_FALSE(config.Script().ReplaysEachEnrollment());
    EXPECT_EQ(config.Script().Results().size(), 2u);
    EXPECT_EQ(config.ForcedFailure("open"), kUnspecifiedFailure);
    EXPECT_EQ(config.ForcedFailure("free"), kDatabaseReadError);
    EXPECT_FALSE(config.ForcedFailure("close").has_value());
    EXPECT_EQ(config.StorePath(), "/tmp/x.store");
}

TEST(SimulatedConfig, EmptyValuesMeanNone) {
    const auto config = ConfigOf({{"VARNE_SIM_UNITS", ""},
                                  {"VARNE_SIM_ENROLLED", ""},
                                  {"VARNE_SIM_SCRIPT", ""},
                                  {"VARNE_SIM_FAIL", ""}});
    EXPECT_TRUE(config.Units().empty());
    EXPECT_TRUE(config.Enrolled().empty());
    EXPECT_TRUE(config.Script().Results().empty());
    EXPECT_FALSE(config.Script().ReplaysEachEnrollment());
}

TEST(SimulatedConfig, MalformedValuesNameTheVariableAndItem) {
    struct Row {
        const char* variable;
        const char* value;
        const char* message;
    };
    const Row rows[] = {
        {"VARNE_SIM_SCRIPT", "more,mor",
         "VARNE_SIM_SCRIPT: unknown capture result \"mor\" (item 2)"},
        {"VARNE_SIM_SCRIPT", "more,,ok", "VARNE_SIM_SCRIPT: empty item (item 2)"},
        {"VARNE_SIM_SCRIPT", "ok@", "VARNE_SIM_SCRIPT: bad delay \"\" in \"ok@\" (item 1)"},
        {"VARNE_SIM_SCRIPT", "ok@-5", "VARNE_SIM_SCRIPT: bad delay \"-5\" in \"ok@-5\" (item 1)"},
        {"VARNE_SIM_SCRIPT", "ok@600001",
         "VARNE_SIM_SCRIPT: bad delay \"600001\" in \"ok@600001\" (item 1)"},
        {"VARNE_SIM_SCRIPT",
         "reject:", "VARNE_SIM_SCRIPT: unknown capture result \"reject:\" (item 1)"},
        {"VARNE_SIM_SCRIPT", "reject:x",
         "VARNE_SIM_SCRIPT: unknown capture result \"reject:x\" (item 1)"},
        {"VARNE_SIM_SCRIPT", "0x", "VARNE_SIM_SCRIPT: unknown capture result \"0x\" (item 1)"},
        {"VARNE_SIM_SCRIPT", "80098036",
         "VARNE_SIM_SCRIPT: unknown capture result \"80098036\" (item 1)"},
        {"VARNE_SIM_UNITS", "1,x", "VARNE_SIM_UNITS: bad unit id \"x\" (item 2)"},
        {"VARNE_SIM_UNITS", "0", "VARNE_SIM_UNITS: unit id 0 is not a unit (item 1)"},
        {"VARNE_SIM_UNITS", "4294967296", "VARNE_SIM_UNITS: bad unit id \"4294967296\" (item 1)"},
        {"VARNE_SIM_UNITS", "2,2", "VARNE_SIM_UNITS: duplicate unit id \"2\" (item 2)"},
        {"VARNE_SIM_ENROLLED", "0",
         "VARNE_SIM_ENROLLED: sub-factor \"0\" is not a finger 1..10 (item 1)"},
        {"VARNE_SIM_ENROLLED", "1,11",
         "VARNE_SIM_ENROLLED: sub-factor \"11\" is not a finger 1..10 (item 2)"},
        {"VARNE_SIM_ENROLLED", "3,3", "VARNE_SIM_ENROLLED: duplicate sub-factor \"3\" (item 2)"},
        {"VARNE_SIM_FAIL", "opn=0x80004005", "VARNE_SIM_FAIL: unknown operation \"opn\" (item 1)"},
        {"VARNE_SIM_FAIL", "open",
         "VARNE_SIM_FAIL: expected operation=0xCODE, got \"open\" (item 1)"},
        {"VARNE_SIM_FAIL", "open=80004005",
         "VARNE_SIM_FAIL: bad status code \"80004005\" for \"open\" (item 1)"},
        {"VARNE_SIM_FAIL", "close=0x80004005,close=0x80004005",
         "VARNE_SIM_FAIL: operation \"close\" given twice (item 2)"},
        {"VARNE_SIM_FAIL", "units=0x0",
         "VARNE_SIM_FAIL: status code \"0x0\" for \"units\" is not a failure (item 1)"},
        {"VARNE_SIM_STORE", "", "VARNE_SIM_STORE: empty path"},
    };
    for (const auto& row : rows) {
        std::string error;
        const auto config = SimulatedConfig::FromVariables({{row.variable, row.value}}, &error);
        EXPECT_FALSE(config.has_value()) << row.variable << "=" << row.value;
        EXPECT_EQ(error, row.message) << row.variable << "=" << row.value;
    }
}

// A message names the offending item as it is, letters beyond ASCII included, by the terminal's
// one rule: nothing from the variable can reach the terminal as a control sequence or turn the
// rest of the line around.
TEST(SimulatedConfig, MessagesQuoteWhatATerminalWouldObey) {
    struct Row {
        const char* variable;
        std::string value;
        const char* message;
    };
    const Row rows[] = {
        {"VARNE_SIM_SCRIPT", "\x1b[2J\x1b]0;owned\x07",
         R"(VARNE_SIM_SCRIPT: unknown capture result "\x1b[2J\x1b]0;owned\x07" (item 1))"},
        {"VARNE_SIM_SCRIPT", "ok@1\r\n",
         R"(VARNE_SIM_SCRIPT: bad delay "1\x0d\x0a" in "ok@1\x0d\x0a" (item 1))"},
        {"VARNE_SIM_UNITS",
         std::string("1\0"
                     "2",
                     3),
         R"(VARNE_SIM_UNITS: bad unit id "1\x002" (item 1))"},
        {"VARNE_SIM_UNITS",
         "\x7f\x9b"
         "31m",
         R"(VARNE_SIM_UNITS: bad unit id "\x7f\x9b31m" (item 1))"},
        {"VARNE_SIM_ENROLLED", "d\xc3\xa9j\xc3\xa0",
         "VARNE_SIM_ENROLLED: sub-factor \"d\xc3\xa9j\xc3\xa0\" is not a finger 1..10 (item 1)"},
        {"VARNE_SIM_ENROLLED",
         "2\xe2\x80\xae"
         "01",
         R"(VARNE_SIM_ENROLLED: sub-factor "2\u{202e}01" is not a finger 1..10 (item 1))"},
        {"VARNE_SIM_UNITS", "\xc3", R"(VARNE_SIM_UNITS: bad unit id "\xc3" (item 1))"},
        {"VARNE_SIM_FAIL",
         "op\x08\x08\x08"
         "open=0x80004005",
         R"(VARNE_SIM_FAIL: unknown operation "op\x08\x08\x08open" (item 1))"},
        {"VARNE_SIM_FAIL", "open=\"0x1\\",
         R"(VARNE_SIM_FAIL: bad status code "\"0x1\\" for "open" (item 1))"},
    };
    for (const auto& row : rows) {
        std::string error;
        EXPECT_FALSE(SimulatedConfig::FromVariables({{row.variable, row.value}}, &error));
        EXPECT_EQ(error, row.message);
        EXPECT_EQ(EscapeForTerminal(error), error) << "nothing left to escape";
    }
}
