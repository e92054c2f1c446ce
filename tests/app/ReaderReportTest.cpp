// The reader listing of --list and the start-up notes on standard error, on a fake back end.
#include <gtest/gtest.h>

#include <map>

#include "FakeBackend.h"
#include "ReaderReport.h"
#include "SystemTree.h"

namespace {

const std::string kOpenFailed =
    "varne: Failed to open WinBio session. The manager will be closed.\n";
const std::string kFprintdNotRunning =
    "varne: fprintd, the fingerprint daemon, is not running or cannot be reached on the system "
    "bus; to try the simulated sensor instead: VARNE_SERVICE=simulated varne 1\n";
const std::string kFprintdAnsweredFailure =
    "varne: asking fprintd for its readers failed\nError code = 0x80098036\n";

WINBIO_UNIT_SCHEMA Unit(UnitId id, std::u16string_view name,
                        std::uint32_t subType = kSensorSubtypeTouch) {
    WINBIO_UNIT_SCHEMA unit{};
    unit.UnitId = id;
    unit.SensorSubType = subType;
    name.copy(unit.Description, kUnitTextCapacity);
    return unit;
}

}  // namespace

TEST(ListReaders, Rows) {
    const std::u16string fullName(kUnitTextCapacity, u'n');  // no room left for a terminator
    const struct {
        const char* name;
        ServiceKind service;
        std::map<std::string, StatusCode> answers;
        std::vector<WINBIO_UNIT_SCHEMA> units;
        UnitId located;
        int exitCode;
        std::string out;
        std::string err;
    } rows[] = {
        {"two readers, the second the default",
         ServiceKind::kFprintd,
         {},
         {Unit(1, u"Virtual reader"), Unit(2, u"Synaptics-like \u00e9")},
         2,
         0,
         "1\tVirtual reader\tpress\n2\tSynaptics-like \xc3\xa9\tpress\t(default)\n",
         ""},
        {"a swipe reader, and one whose kind nobody knows, which gets the press texts",
         ServiceKind::kFprintd,
         {},
         {Unit(1, u"Swiped", kSensorSubtypeSwipe), Unit(2, u"Unknown", kSensorSubtypeUnknown)},
         1,
         0,
         "1\tSwiped\tswipe\t(default)\n2\tUnknown\tpress\n",
         ""},
        {"default not among them",
         ServiceKind::kFprintd,
         {},
         {Unit(1, u"A")},
         9,
         0,
         "1\tA\tpress\n",
         ""},
        {"default unknown",
         ServiceKind::kSimulated,
         {{"locate", kSensorUnavailable}},
         {Unit(1, u"A")},
         1,
         0,
         "1\tA\tpress\n",
         ""},
        {"names from outside are escaped, empty ones said",
         ServiceKind::kFprintd,
         {},
         {Unit(3, u"x\u001b[2Jy"), Unit(4, u"")},
         3,
         0,
         "3\tx\\x1b[2Jy\tpress\t(default)\n4\t(no name)\tpress\n",
         ""},
        // The override would turn the rest of the line, the default mark included, around.
        {"a name cannot reorder its line",
         ServiceKind::kFprintd,
         {},
         {Unit(6, u"Reader \u202e1 tinu")},
         6,
         0,
         "6\tReader \\u{202e}1 tinu\tpress\t(default)\n",
         ""},
        {"a name that fills its field",
         ServiceKind::kFprintd,
         {},
         {Unit(5, fullName)},
         0,
         0,
         std::string("5\t").append(kUnitTextCapacity, 'n').append("\tpress\n"),
         ""},
        {"daemon unreachable",
         ServiceKind::kFprintd,
         {{"open", kSensorUnavailable}},
         {Unit(1, u"A")},
         1,
         1,
         "",
         kOpenFailed + kFprintdNotRunning},
        {"fprintd running but answering with an error",
         ServiceKind::kFprintd,
         {{"open", kDeviceFailure}},
         {Unit(1, u"A")},
         1,
         1,
         "",
         kOpenFailed + kFprintdAnsweredFailure},
        {"simulated session refused",
         ServiceKind::kSimulated,
         {{"open", kUnspecifiedFailure}},
         {Unit(1, u"A")},
         1,
         1,
         "",
         kOpenFailed},
        {"no reader",
         ServiceKind::kFprintd,
         {{"units", kSensorUnavailable}},
         {},
         0,
         1,
         "",
         "varne: Failed to retrieve biometric units. The manager will be closed.\nError code = "
         "0x80098034\n"},
        {"listing's release refused",
         ServiceKind::kSimulated,
         {{"free", kSessionBusy}},
         {Unit(1, u"A")},
         1,
         1,
         "",
         "varne: Failed to retrieve biometric units. The manager will be closed.\nError code = "
         "0x8009802d\n"},
        {"empty listing",
         ServiceKind::kSimulated,
         {},
         {},
         0,
         1,
         "",
         "varne: no fingerprint reader is listed\n"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        ScopedFakeBackend backend;
        backend->results = row.answers;
        backend->units = row.units;
        backend->locatedUnit = row.located;
        const ReaderListing listing = ListReaders(row.service);
        EXPECT_EQ(listing.exitCode, row.exitCode);
        EXPECT_EQ(listing.out, row.out);
        EXPECT_EQ(listing.err, row.err);
        // A session that was opened is closed again; nothing else is left behind.
        const auto calls = backend->Calls();
        if (!row.answers.contains("open")) {
            EXPECT_EQ(calls.back(), "close 7");
        } else {
            EXPECT_EQ(calls.size(), 1u);
        }
        EXPECT_FALSE(backend->Called("begin") || backend->Called("enum"));
    }
}

TEST(StartupFailureNote, Rows) {
    const struct {
        const char* name;
        StartupReport report;
        ServiceKind service;
        std::string note;
    } rows[] = {
        {"fprintd unreachable",
         {StartupFailure::kSessionNotOpened, kSensorUnavailable, 1, {}},
         ServiceKind::kFprintd,
         kFprintdNotRunning},
        {"fprintd running but refusing by the bus's policy",
         {StartupFailure::kSessionNotOpened, kBlockedByPolicy, 1, {}},
         ServiceKind::kFprintd,
         "varne: asking fprintd for its readers failed\nError code = 0x800704ec\n"},
        {"simulated session refused",
         {StartupFailure::kSessionNotOpened, kUnspecifiedFailure, 1, {}},
         ServiceKind::kSimulated,
         ""},
        {"unit not listed",
         {StartupFailure::kUnitNotListed, kOk, 7, {2, 3}},
         ServiceKind::kSimulated,
         "varne: unit 7 is not listed; the units listed are 2, 3 (see varne --list)\n"},
        {"unit not listed on fprintd",
         {StartupFailure::kUnitNotListed, kOk, 4294967295u, {1}},
         ServiceKind::kFprintd,
         "varne: unit 4294967295 is not listed; the units listed are 1 (see varne --list)\n"},
        {"no units at all",
         {StartupFailure::kUnitNotListed, kOk, 7, {}},
         ServiceKind::kFprintd,
         "varne: unit 7 is not listed; no units are listed\n"},
        // The window's message said it all.
        {"no unit id", {StartupFailure::kNoUnitId, kOk, 0, {1}}, ServiceKind::kFprintd, ""},
        {"units not listed: why, from the system's files",
         {StartupFailure::kUnitsNotListed, kSensorUnavailable, 1, {}},
         ServiceKind::kFprintd,
         "varne: no fingerprint reader is connected: none of the USB devices is one libfprint "
         "knows\n"},
        {"enrolled set unread",
         {StartupFailure::kEnrolledSetNotRead, kDatabaseReadError, 1, {1}},
         ServiceKind::kFprintd,
         ""},
        {"started", {StartupFailure::kNone, kOk, 1, {1}}, ServiceKind::kFprintd, ""},
    };
    SystemTree tree;
    tree.WriteLibfprintList();
    for (const auto& row : rows) {
        EXPECT_EQ(StartupFailureNote(row.report, row.service, tree.Root()), row.note) << row.name;
    }
}
