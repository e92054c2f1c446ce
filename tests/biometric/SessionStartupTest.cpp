// The unit id from the command line, the start-up checks, "Search Device" and the final cancel.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "FakeBackend.h"
#include "FakeWindowHost.h"
#include "SessionStartup.h"

namespace {

const std::u16string kOpenFailed = u"Failed to open WinBio session. The manager will be closed.";
const std::u16string kInvalidUnitText =
    u"Since the specified unit ID is not valid, the manager cannot start.";
const std::u16string kUnitsFailed =
    u"Failed to retrieve biometric units. The manager will be closed.";
const std::u16string kReadFailed =
    u"Failed to retrieve data from database. The manager will be closed.";

// Records the service's calls and the window's reactions as one sequence.
class SequenceHost : public FakeWindowHost {
public:
    explicit SequenceHost(const FakeBackend& backend) : m_backend(backend) {}

    void ShowMessageBox(const std::u16string& text, MessageBoxIcon icon) override {
        CatchUp();
        FakeWindowHost::ShowMessageBox(text, icon);
        m_sequence.push_back("message");
    }
    void ShowMessageBoxWithDetails(const std::u16string& text, MessageBoxIcon icon,
                                   const std::string& details) override {
        CatchUp();
        FakeWindowHost::ShowMessageBoxWithDetails(text, icon, details);
        m_sequence.push_back("message with details");
    }
    void CloseWindow() override {
        CatchUp();
        FakeWindowHost::CloseWindow();
        m_sequence.push_back("close window");
    }
    std::vector<std::string> Sequence() {
        CatchUp();
        return m_sequence;
    }

private:
    void CatchUp() {
        const auto calls = m_backend.Calls();
        for (; m_seenCalls < calls.size(); ++m_seenCalls) {
            m_sequence.push_back(calls[m_seenCalls]);
        }
    }

    const FakeBackend& m_backend;
    std::size_t m_seenCalls = 0;
    std::vector<std::string> m_sequence;
};

WINBIO_UNIT_SCHEMA Unit(UnitId id, std::uint32_t subType = kSensorSubtypeUnknown) {
    WINBIO_UNIT_SCHEMA unit{};
    unit.UnitId = id;
    unit.SensorSubType = subType;
    return unit;
}

}  // namespace

TEST(ParseUnitId, CommandLines) {
    const struct {
        const char* commandLine;
        UnitId expected;
    } rows[] = {
        {"", 0},
        {"3", 3},
        {"  17", 17},
        {"\t 42", 42},
        {":5", 5},
        {"-unit:5", 5},
        {"unit:  12", 12},
        {"unit:\t\n\v\f\r9", 9},
        {"unit:12abc", 12},
        {"unit:12 34", 12},
        {"abc:12:3", 12},
        {"unit::12", 0},
        {"unit:", 0},
        {"unit:abc", 0},
        {"no number", 0},
        {"unit:+8", 8},
        {"unit:+-8", 0},
        {"unit:-", 0},
        {"unit:- 8", 0},
        {"unit:007", 7},
        {"unit:2147483647", 2147483647u},
        {"unit:2147483648", 2147483647u},
        {"unit:99999999999999999999999999", 2147483647u},
        {"unit:-1", 4294967295u},
        {"unit:-5", 4294967291u},
        {"unit:-2147483648", 2147483648u},
        {"unit:-2147483649", 2147483648u},
        {"unit:-99999999999999999999999999", 2147483648u},
        {"unit:0", 0},
        {"unit:-0", 0},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(ParseUnitId(row.commandLine), row.expected) << '"' << row.commandLine << '"';
    }
}

TEST(StartBiometricSession, OpensTheSessionAndReadsTheEnrolledSet) {
    ScopedFakeBackend backend;
    backend->units = {Unit(1), Unit(3), Unit(5)};
    backend->enrollments = {2, 10};
    SequenceHost host(*backend);
    EnrollmentContext context;
    StartupReport report;
    EXPECT_TRUE(StartBiometricSession(context, "/unit:3", host, &report));
    EXPECT_EQ(report.failure, StartupFailure::kNone);
    EXPECT_EQ(report.listedUnits, (std::vector<UnitId>{1, 3, 5}));
    EXPECT_EQ(context.sessionHandle, 7u);
    EXPECT_EQ(context.unitId, 3u);
    EXPECT_EQ(context.enrolledSet, u"2:");
    EXPECT_EQ(host.Sequence(), (std::vector<std::string>{"open 8 1 0 null 0 1 0", "units 8", "free",
                                                         "enum 7 3", "free"}));
    EXPECT_TRUE(host.messageBoxes.empty());
    EXPECT_FALSE(host.closed);
}

// The workflow's instructions follow the chosen unit's kind, not its neighbours'.
TEST(StartBiometricSession, KeepsTheChosenUnitsSensorKind) {
    const std::vector<WINBIO_UNIT_SCHEMA> units = {Unit(1, kSensorSubtypeTouch),
                                                   Unit(2, kSensorSubtypeSwipe), Unit(3)};
    const struct {
        const char* commandLine;
        std::uint32_t subType;
    } rows[] = {
        {"1", kSensorSubtypeTouch}, {"2", kSensorSubtypeSwipe}, {"3", kSensorSubtypeUnknown}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.commandLine);
        ScopedFakeBackend backend;
        backend->units = units;
        FakeWindowHost host;
        EnrollmentContext context;
        context.sensorSubType = 99;  // nothing of an earlier start-up may stay
        ASSERT_TRUE(StartBiometricSession(context, row.commandLine, host));
        EXPECT_EQ(context.sensorSubType, row.subType);
    }
}

TEST(StartBiometricSession, UserWithoutEnrollmentsRunsOn) {
    for (const StatusCode answer : {kDatabaseNoResults, kUnknownId}) {
        ScopedFakeBackend backend;
        backend->units = {Unit(4)};
        backend->results["enum"] = answer;
        FakeWindowHost host;
        EnrollmentContext context;
        context.enrolledSet = u"1";
        EXPECT_TRUE(StartBiometricSession(context, "4", host));
        EXPECT_TRUE(context.enrolledSet.empty());
        EXPECT_FALSE(host.closed);
    }
}

// What the user sees, what happens to the session and the window, and in which order.
TEST(StartBiometricSession, FailureTable) {
    const struct {
        const char* name;
        std::string commandLine;
        std::map<std::string, StatusCode> answers;
        std::vector<WINBIO_UNIT_SCHEMA> units;
        std::u16string shown;  // empty: no message at all
        std::vector<std::string> sequence;
        StartupFailure failure;
        StatusCode status;  // the report's
        std::vector<UnitId> listed;
    } rows[] = {
        {"session cannot be opened",
         "unit:3",
         {{"open", kUnspecifiedFailure}},
         {Unit(3)},
         kOpenFailed,
         {"open 8 1 0 null 0 1 0", "message", "close window"},
         StartupFailure::kSessionNotOpened,
         kUnspecifiedFailure,
         {}},
        {"no unit id",
         "",
         {},
         {Unit(3)},
         kInvalidUnitText,
         {"open 8 1 0 null 0 1 0", "message", "close window"},
         StartupFailure::kNoUnitId,
         kOk,
         {}},
        {"second colon before the digits",
         "a::3",
         {},
         {Unit(3)},
         kInvalidUnitText,
         {"open 8 1 0 null 0 1 0", "message", "close window"},
         StartupFailure::kNoUnitId,
         kOk,
         {}},
        {"units cannot be listed",
         "unit:3",
         {{"units", kDeviceBusy}},
         {Unit(3)},
         kUnitsFailed + u"\nError code = 0x80098010",
         {"open 8 1 0 null 0 1 0", "units 8", "message", "close 7", "close window"},
         StartupFailure::kUnitsNotListed,
         kDeviceBusy,
         {}},
        {"units listed but their release refused",
         "unit:3",
         {{"free", kSessionBusy}},
         {Unit(3)},
         kUnitsFailed + u"\nError code = 0x8009802d",
         {"open 8 1 0 null 0 1 0", "units 8", "free", "message", "close 7", "close window"},
         StartupFailure::kUnitsNotListed,
         kSessionBusy,
         {}},
        {"unit not among the units",
         "unit:4",
         {},
         {Unit(3), Unit(5)},
         u"",
         {"open 8 1 0 null 0 1 0", "units 8", "free", "close 7", "close window"},
         StartupFailure::kUnitNotListed,
         kOk,
         {3, 5}},
        {"no units at all",
         "unit:4",
         {},
         {},
         u"",
         {"open 8 1 0 null 0 1 0", "units 8", "close 7", "close window"},
         StartupFailure::kUnitNotListed,
         kOk,
         {}},
        {"negative number names a unit that is not listed",
         "unit:-1",
         {},
         {Unit(1)},
         u"",
         {"open 8 1 0 null 0 1 0", "units 8", "free", "close 7", "close window"},
         StartupFailure::kUnitNotListed,
         kOk,
         {1}},
        {"enrolled set cannot be read",
         "unit:3",
         {{"enum", kDatabaseReadError}},
         {Unit(3)},
         kReadFailed + u"\nError code = 0x8009801d",
         {"open 8 1 0 null 0 1 0", "units 8", "free", "enum 7 3", "message", "close 7",
          "close window"},
         StartupFailure::kEnrolledSetNotRead,
         kDatabaseReadError,
         {3}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        ScopedFakeBackend backend;
        backend->results = row.answers;
        backend->units = row.units;
        SequenceHost host(*backend);
        EnrollmentContext context;
        context.unitId = 3;  // a stale id must not survive an empty command line
        context.enrolledSet = u"9";
        StartupReport report;
        report.listedUnits = {9};  // a report from an earlier start must not show through
        EXPECT_FALSE(StartBiometricSession(context, row.commandLine, host, &report));
        EXPECT_EQ(report.failure, row.failure);
        EXPECT_EQ(report.status, row.status);
        EXPECT_EQ(report.requestedUnit, ParseUnitId(row.commandLine));
        EXPECT_EQ(report.listedUnits, row.listed);
        EXPECT_TRUE(host.closed);
        EXPECT_EQ(host.Sequence(), row.sequence);
        if (row.shown.empty()) {
            EXPECT_TRUE(host.messageBoxes.empty());
        } else {
            ASSERT_EQ(host.messageBoxes.size(), 1u);
            EXPECT_EQ(host.messageBoxes[0].text, row.shown);
            EXPECT_EQ(host.messageBoxes[0].icon, MessageBoxIcon::kWarning);
        }
        EXPECT_EQ(context.enrolledSet, u"9");
    }
}

// The box of a listing that failed keeps its text and gains why no reader is there; the others
// are asked nothing of the system.
TEST(StartBiometricSession, MissingReaderIsExplainedInTheBoxDetails) {
    const struct {
        const char* name;
        std::map<std::string, StatusCode> answers;
        std::string details;
        bool asked;
    } rows[] = {
        {"units cannot be listed", {{"units", kSensorUnavailable}}, "why\n", true},
        {"enrolled set cannot be read", {{"enum", kDatabaseReadError}}, "", false},
        {"session cannot be opened", {{"open", kSensorUnavailable}}, "", false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        ScopedFakeBackend backend;
        backend->results = row.answers;
        backend->units = {Unit(3)};
        SequenceHost host(*backend);
        EnrollmentContext context;
        bool asked = false;
        EXPECT_FALSE(StartBiometricSession(context, "3", host, nullptr, [&asked] {
            asked = true;
            return std::string("why\n");
        }));
        EXPECT_EQ(asked, row.asked);
        ASSERT_EQ(host.messageBoxes.size(), 1u);
        EXPECT_EQ(host.messageBoxes[0].details, row.details);
        if (row.asked) {
            EXPECT_EQ(host.messageBoxes[0].text, kUnitsFailed + u"\nError code = 0x80098034");
            EXPECT_EQ(host.messageBoxes[0].icon, MessageBoxIcon::kWarning);
        }
    }
}

TEST(StartBiometricSession, NoSessionMeansNoFurtherServiceCalls) {
    ScopedFakeBackend backend;
    backend->results["open"] = kUnspecifiedFailure;
    FakeWindowHost host;
    EnrollmentContext context;
    EXPECT_FALSE(StartBiometricSession(context, "unit:3", host));
    EXPECT_EQ(context.sessionHandle, 0u);
    CancelPendingWork(context);
    EXPECT_EQ(backend->Calls(), std::vector<std::string>{"open 8 1 0 null 0 1 0"});
}

TEST(SearchDevice, Rows) {
    const struct {
        const char* name;
        UnitId unitBefore;
        std::map<std::string, StatusCode> answers;
        bool runsOn;
        std::u16string shown;
        std::vector<std::string> calls;
        UnitId unitAfter;
    } rows[] = {
        {"known unit", 3, {}, true, u"", {"units 8", "free", "enum 7 3", "free"}, 3},
        {"no unit yet: the touched sensor is used",
         0,
         {},
         true,
         u"",
         {"locate 7", "units 8", "free", "enum 7 6", "free"},
         6},
        {"locating fails: its unit id is still used",
         0,
         {{"locate", kCanceled}},
         true,
         u"",
         {"locate 7", "units 8", "free", "enum 7 6", "free"},
         6},
        {"units cannot be listed",
         3,
         {{"units", kDeviceBusy}},
         false,
         kUnitsFailed,
         {"units 8"},
         3},
        {"release of the units refused",
         3,
         {{"free", kSessionBusy}},
         false,
         kUnitsFailed,
         {"units 8", "free"},
         3},
        {"enrolled set cannot be read",
         3,
         {{"enum", kDatabaseReadError}},
         false,
         kReadFailed,
         {"units 8", "free", "enum 7 3"},
         3},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        ScopedFakeBackend backend;
        backend->results = row.answers;
        backend->units = {Unit(3)};
        backend->enrollments = {1};
        backend->locatedUnit = 6;
        FakeWindowHost host;
        EnrollmentContext context;
        context.sessionHandle = 7;
        context.unitId = row.unitBefore;
        EXPECT_EQ(SearchDevice(context, host), row.runsOn);
        // The session is never closed here, whatever happens.
        EXPECT_EQ(backend->Calls(), row.calls);
        EXPECT_EQ(context.unitId, row.unitAfter);
        EXPECT_EQ(host.closed, !row.runsOn);
        if (row.shown.empty()) {
            EXPECT_TRUE(host.messageBoxes.empty());
            EXPECT_EQ(context.enrolledSet, u"1");
        } else {
            ASSERT_EQ(host.messageBoxes.size(), 1u);
            EXPECT_EQ(host.messageBoxes[0].text, row.shown);
            EXPECT_EQ(host.messageBoxes[0].icon, MessageBoxIcon::kWarning);
            EXPECT_EQ(host.log, (std::vector<std::string>{"message", "close"}));
        }
    }
}

TEST(CancelPendingWork, CancelsOnlyAnOpenSessionAndKeepsIt) {
    ScopedFakeBackend backend;
    EnrollmentContext context;
    CancelPendingWork(context);
    EXPECT_TRUE(backend->Calls().empty());
    context.sessionHandle = 7;
    backend->results["cancel"] = kInvalidOperation;
    CancelPendingWork(context);
    EXPECT_EQ(backend->Calls(), std::vector<std::string>{"cancel 7"});
    EXPECT_EQ(context.sessionHandle, 7u);
}
