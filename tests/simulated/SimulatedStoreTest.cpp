// The simulated sensor's store: its file format, atomic writes, and damaged or unusable files.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>
#include <sstream>

#include "SimulatedStore.h"
#include "SimulatedTestSupport.h"

namespace {

constexpr UnitId kUnit = 1;
const std::string kUserHex = "0102000000000016010000002a000000";

std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream content;
    content << file.rdbuf();
    return content.str();
}

void WriteFile(const std::filesystem::path& path, const std::string& content) {
    std::ofstream(path, std::ios::binary) << content;
}

std::vector<std::string> DirectoryEntries(const std::filesystem::path& directory) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(directory)) {
        names.push_back(entry.path().filename().string());
    }
    return names;
}

// Enrolls a finger with a one-result script; returns the commit's status.
StatusCode EnrollFinger(SessionHandle session, SubFactor subFactor) {
    CaptureRecorder recorder;
    EXPECT_EQ(WinBioEnrollBegin(session, subFactor, kUnit), kOk);
    EXPECT_EQ(WinBioEnrollCaptureWithCallback(session, &CaptureRecorder::Callback, &recorder), kOk);
    EXPECT_TRUE(recorder.WaitFor(1));
    WINBIO_IDENTITY identity{};
    std::uint8_t isNew = 1;
    return WinBioEnrollCommit(session, &identity, &isNew);
}

}  // namespace

TEST(SimulatedStore, FormatAndParseRoundTrip) {
    const std::vector<SimulatedStore::Record> records = {
        {4294967295u, {3, {1, 2, 0xab}}, 10},
        {1, {7, std::vector<std::uint8_t>(kIdentityDataCapacity, 0xff)}, 1},
        {1, {3, {1, 2, 0xab}}, 5},
    };
    const std::string text = SimulatedStore::Format(records);
    EXPECT_EQ(text.substr(0, text.find('\n')), SimulatedStore::kHeader);
    EXPECT_EQ(SimulatedStore::Parse(text), records);
}

TEST(SimulatedStore, RejectsMalformedFiles) {
    const std::string header = std::string(SimulatedStore::kHeader) + "\n";
    const std::string longHex(2 * (kIdentityDataCapacity + 1), 'a');
    const std::vector<std::string> texts = {
        "",
        "garbage\n",
        "varne-sim-store 2\n",
        header + "1 3 " + kUserHex + "\n",
        header + "1 3 " + kUserHex + " 2 9\n",
        header + "0 3 " + kUserHex + " 2\n",
        header + "x 3 " + kUserHex + " 2\n",
        header + "1 3 " + kUserHex + " 11\n",
        header + "1 3 " + kUserHex + " 0\n",
        header + "1 -3 " + kUserHex + " 2\n",
        header + "1 3 abc 2\n",
        header + "1 3 zz 2\n",
        header + "1 3 " + longHex + " 2\n",
        header + "1 3 " + kUserHex + " 2\n1 3 " + kUserHex + " 2\n",
    };
    for (const auto& text : texts) {
        EXPECT_FALSE(SimulatedStore::Parse(text).has_value()) << text;
    }
    // Blank lines and upper-case hex are harmless.
    const auto records = SimulatedStore::Parse(header + "\n1 3 0A0b 2\n\n");
    ASSERT_TRUE(records.has_value());
    EXPECT_EQ(*records, (std::vector<SimulatedStore::Record>{{1, {3, {0x0a, 0x0b}}, 2}}));
}

TEST(SimulatedStore, KeepsFingersAcrossRuns) {
    TemporaryDirectory directory;
    const std::string path = directory.Path() / "fingers.store";
    {
        ScopedSimulatedService service({{"VARNE_SIM_STORE", path}, {"VARNE_SIM_SCRIPT", "ok,ok"}});
        const SessionHandle session = OpenTestSession();
        ASSERT_EQ(EnrollFinger(session, 3), kOk);
        ASSERT_EQ(EnrollFinger(session, 1), kOk);
    }
    {
        ScopedSimulatedService service({{"VARNE_SIM_STORE", path}});
        const SessionHandle session = OpenTestSession();
        EXPECT_EQ(ListEnrolled(session, kUnit), (std::vector<SubFactor>{3, 1}));
        WINBIO_IDENTITY identity = SimulatedCurrentUserIdentity();
        ASSERT_EQ(WinBioDeleteTemplate(session, kUnit, &identity, 3), kOk);
    }
    ScopedSimulatedService service({{"VARNE_SIM_STORE", path}});
    const SessionHandle session = OpenTestSession();
    EXPECT_EQ(ListEnrolled(session, kUnit), std::vector<SubFactor>{1});
}

TEST(SimulatedStore, WritesAtomicallyForItsOwnerOnly) {
    TemporaryDirectory directory;
    const auto path = directory.Path() / "fingers.store";
    ScopedSimulatedService service({{"VARNE_SIM_STORE", path}, {"VARNE_SIM_SCRIPT", "ok"}});
    const SessionHandle session = OpenTestSession();
    // Reading alone writes nothing.
    EXPECT_TRUE(ListEnrolled(session, kUnit).empty());
    EXPECT_TRUE(DirectoryEntries(directory.Path()).empty());

    ASSERT_EQ(EnrollFinger(session, 2), kOk);
    EXPECT_EQ(DirectoryEntries(directory.Path()), std::vector<std::string>{"fingers.store"});
    struct stat status {};
    ASSERT_EQ(stat(path.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0600u);
    const auto records = SimulatedStore::Parse(ReadFile(path));
    ASSERT_TRUE(records.has_value());
    ASSERT_EQ(records->size(), 1u);
    EXPECT_EQ(records->front().subFactor, 2);
    EXPECT_EQ(records->front().identity,
              SimulatedStore::IdentityOf(SimulatedCurrentUserIdentity()));
}

TEST(SimulatedStore, StartingFingersApplyOnlyUntilTheFileExists) {
    TemporaryDirectory directory;
    const std::string path = directory.Path() / "fingers.store";
    {
        ScopedSimulatedService service(
            {{"VARNE_SIM_STORE", path}, {"VARNE_SIM_ENROLLED", "5"}, {"VARNE_SIM_SCRIPT", "ok"}});
        const SessionHandle session = OpenTestSession();
        EXPECT_EQ(ListEnrolled(session, kUnit), std::vector<SubFactor>{5});
        ASSERT_EQ(EnrollFinger(session, 6), kOk);
    }
    ScopedSimulatedService service({{"VARNE_SIM_STORE", path}, {"VARNE_SIM_ENROLLED", "7"}});
    const SessionHandle session = OpenTestSession();
    EXPECT_EQ(ListEnrolled(session, kUnit), (std::vector<SubFactor>{5, 6}));
}

TEST(SimulatedStore, DamagedFileIsReportedAndNeverOverwritten) {
    TemporaryDirectory directory;
    const auto path = directory.Path() / "fingers.store";
    const std::string damaged = std::string(SimulatedStore::kHeader) + "\n1 3 " + kUserHex + "\n";
    WriteFile(path, damaged);
    ScopedSimulatedService service({{"VARNE_SIM_STORE", path}, {"VARNE_SIM_SCRIPT", "ok"}});
    const SessionHandle session = OpenTestSession();
    SubFactor* array = nullptr;
    std::uint64_t count = 0;
    WINBIO_IDENTITY identity = SimulatedCurrentUserIdentity();
    EXPECT_EQ(WinBioEnumEnrollments(session, kUnit, &identity, &array, &count), kDatabaseCorrupted);
    EXPECT_EQ(array, nullptr);
    EXPECT_EQ(WinBioDeleteTemplate(session, kUnit, &identity, 1), kDatabaseCorrupted);
    EXPECT_EQ(EnrollFinger(session, 4), kDatabaseCorrupted);
    // The refused commit left the enrollment open.
    EXPECT_EQ(WinBioEnrollBegin(session, 4, kUnit), kEnrollmentInProgress);
    EXPECT_EQ(ReadFile(path), damaged);
    EXPECT_EQ(DirectoryEntries(directory.Path()), std::vector<std::string>{"fingers.store"});
}

TEST(SimulatedStore, UnusablePathsFailWithoutHanging) {
    TemporaryDirectory directory;
    const auto pipe = directory.Path() / "pipe";
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    struct Row {
        std::filesystem::path path;
        StatusCode listing;
        StatusCode commit;
    };
    const Row rows[] = {
        {directory.Path(), kDatabaseReadError, kDatabaseReadError},
        {pipe, kDatabaseReadError, kDatabaseReadError},
        // A missing directory reads as an empty store but cannot be written.
        {directory.Path() / "missing" / "fingers.store", kDatabaseNoResults, kDatabaseWriteError},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.path);
        ScopedSimulatedService service({{"VARNE_SIM_STORE", row.path}, {"VARNE_SIM_SCRIPT", "ok"}});
        const SessionHandle session = OpenTestSession();
        StatusCode status = 0;
        EXPECT_TRUE(ListEnrolled(session, kUnit, &status).empty());
        EXPECT_EQ(status, row.listing);
        EXPECT_EQ(EnrollFinger(session, 1), row.commit);
    }
    EXPECT_EQ(DirectoryEntries(directory.Path()), std::vector<std::string>{"pipe"});
}
