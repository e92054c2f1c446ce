// varne --check on a fake back end and fake system trees: lines and exit status.
#include <gtest/gtest.h>

#include <map>

#include "FakeBackend.h"
#include "LoginCheck.h"
#include "ScopedLanguage.h"
#include "SystemFile.h"
#include "SystemTree.h"

namespace {

WINBIO_UNIT_SCHEMA Unit(UnitId id, std::u16string_view name) {
    WINBIO_UNIT_SCHEMA unit{};
    unit.UnitId = id;
    unit.SensorSubType = kSensorSubtypeTouch;
    name.copy(unit.Description, kUnitTextCapacity);
    return unit;
}

constexpr const char* kDebianOffLines =
    "sudo\toff\tpam_fprintd.so is not in its auth stack\n"
    "su\toff\tpam_fprintd.so is not in its auth stack\n"
    "login\toff\tpam_fprintd.so is not in its auth stack\n"
    "polkit-1\toff\tpam_fprintd.so is not in its auth stack\n"
    "managed by pam-auth-update (profile fprintd off); to turn fingerprint login on: sudo "
    "pam-auth-update --enable fprintd\n";

}  // namespace

TEST(CheckFingerprintLogin, Rows) {
    const struct {
        const char* name;
        bool fingerprintOn;
        std::map<std::string, StatusCode> answers;
        std::vector<WINBIO_UNIT_SCHEMA> units;
        std::vector<SubFactor> enrolled;
        int exitCode;
        std::string readerLines;
        std::string err;
    } rows[] = {
        {"on, with the enrolled fingers",
         true,
         {},
         {Unit(1, u"Reader")},
         {1, 7},
         0,
         "1\tReader\tpress\t(default)\tenrolled: right-thumb, left-index-finger\n",
         ""},
        {"off, nothing enrolled",
         false,
         {},
         {Unit(1, u"Reader")},
         {},
         3,
         "1\tReader\tpress\t(default)\tenrolled: none\n",
         ""},
        {"enrolled fingers not read",
         false,
         {{"enum", kDatabaseReadError}},
         {Unit(1, u"Reader")},
         {},
         3,
         "1\tReader\tpress\t(default)\tenrolled fingers not read (error code 0x8009801d)\n",
         ""},
        {"no reader listed is a finding, not a failure",
         false,
         {{"units", kSensorUnavailable}},
         {},
         {},
         3,
         "no reader is listed: the fingerprint reader 27c6:5395 \"Goodix\" is connected, but "
         "libfprint has no driver for it\n",
         ""},
        {"a back end that cannot be reached",
         true,
         {{"open", kSensorUnavailable}},
         {},
         {},
         1,
         "",
         "varne: Failed to open WinBio session. The manager will be closed.\nvarne: fprintd, the "
         "fingerprint daemon, is not running or cannot be reached on the system bus; to try the "
         "simulated sensor instead: VARNE_SERVICE=simulated varne 1\n"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        SystemTree tree;
        tree.WriteDebian(row.fingerprintOn);
        tree.WriteLibfprintList();
        tree.AddUsbDevice("1-4", "27c6", "5395", "Goodix");
        ScopedFakeBackend backend;
        backend->results = row.answers;
        backend->units = row.units;
        backend->enrollments = row.enrolled;
        backend->locatedUnit = 1;
        const ReaderListing check = CheckFingerprintLogin(ServiceKind::kFprintd, tree.Root());
        EXPECT_EQ(check.exitCode, row.exitCode);
        EXPECT_EQ(check.err, row.err);
        EXPECT_EQ(check.out.substr(0, row.readerLines.size()), row.readerLines) << check.out;
        if (!row.fingerprintOn) {
            EXPECT_EQ(check.out.substr(row.readerLines.size()), kDebianOffLines);
        }
    }
}

TEST(CheckFingerprintLogin, UnreadablePamFileIsAnError) {
    SystemTree tree;
    tree.WriteDebian(true);
    tree.Write("/etc/pam.d/su", std::string(kSystemFileLimit + 1, '#'));
    ScopedFakeBackend backend;
    backend->units = {Unit(1, u"Reader")};
    const ReaderListing check = CheckFingerprintLogin(ServiceKind::kFprintd, tree.Root());
    // sudo uses the fingerprint, but what su does is not known: the check failed.
    EXPECT_EQ(check.exitCode, 1);
    EXPECT_NE(check.out.find("sudo\ton\t"), std::string::npos) << check.out;
    EXPECT_NE(check.out.find("su\toff\t/etc/pam.d/su is larger than 65536 bytes; not read\n"),
              std::string::npos)
        << check.out;
    EXPECT_EQ(check.err,
              "varne: some PAM files could not be read, so a service shown as off may use the "
              "fingerprint\n");
}

// Scripts read the columns: in another language the sentences change, the service names, on and
// off and the command do not.
TEST(CheckFingerprintLogin, GermanKeepsTheColumnsAndTheCommand) {
    const ScopedLanguage german("de");
    SystemTree tree;
    tree.WriteDebian(false);
    tree.WriteLibfprintList();
    tree.AddUsbDevice("1-4", "27c6", "5395", "Goodix");
    ScopedFakeBackend backend;
    backend->results = {{"units", kSensorUnavailable}};
    const ReaderListing check = CheckFingerprintLogin(ServiceKind::kFprintd, tree.Root());
    EXPECT_EQ(check.exitCode, 3);
    EXPECT_EQ(check.out,
              "kein Lesegerät ist aufgeführt: das Fingerabdruck-Lesegerät 27c6:5395 \"Goodix\" ist "
              "angeschlossen, aber libfprint hat keinen Treiber dafür\n"
              "sudo\toff\tpam_fprintd.so ist nicht in seinem auth-Stapel\n"
              "su\toff\tpam_fprintd.so ist nicht in seinem auth-Stapel\n"
              "login\toff\tpam_fprintd.so ist nicht in seinem auth-Stapel\n"
              "polkit-1\toff\tpam_fprintd.so ist nicht in seinem auth-Stapel\n"
              "verwaltet von pam-auth-update (Profil fprintd aus); um die Anmeldung per "
              "Fingerabdruck einzuschalten: sudo pam-auth-update --enable fprintd\n");
}
