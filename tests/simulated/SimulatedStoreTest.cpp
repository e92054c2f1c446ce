// The simulated sensor's store: its file format, atomic writes, and damaged or unusable files.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>

#include "SimulatedStore.h"
#include "SimulatedTestSupport.h"

namespace {

constexpr UnitId kUnit = 1;
const std::string kUserHex = "0102000000000016010000002a000000";

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

// Damaged in every way we could think of; each is refused by every operation and left as it was.
std::vector<std::string> DamagedStores() {
    const std::string header = std::string(SimulatedStore::kHeader) + "\n";
    const std::string record = "1 3 " + kUserHex + " 2\n";
    const std::string longHex(2 * (kIdentityDataCapacity + 1), 'a');
    const auto withRecord = [&](const std::string& line) { return header + line + "\n"; };
    return {
        "",
        "garbage\n",
        "varne-sim-store 2\n",
        "varne-sim-store 1 \n",
        "varne-sim-store 1\r\n" + record,
        "VARNE-SIM-STORE 1\n",
        "\n" + header,
        "\xef\xbb\xbf" + header,
        std::string("v\0a\0r\0n\0e\0", 10),
        "\x7f"
        "ELF\x02\x01\x01",
        withRecord("1 3 " + kUserHex),
        withRecord("1 3 " + kUserHex + " 2 9"),
        withRecord("13" + kUserHex + "2"),
        withRecord("0 3 " + kUserHex + " 2"),
        withRecord("x 3 " + kUserHex + " 2"),
        withRecord("-1 3 " + kUserHex + " 2"),
        withRecord("+1 3 " + kUserHex + " 2"),
        withRecord("0x1 3 " + kUserHex + " 2"),
        withRecord("1e3 3 " + kUserHex + " 2"),
        withRecord("4294967296 3 " + kUserHex + " 2"),
        withRecord("1 3 " + kUserHex + " 11"),
        withRecord("1 3 " + kUserHex + " 0"),
        withRecord("1 3 " + kUserHex + " +2"),
        withRecord("1 3 " + kUserHex + " 2.0"),
        withRecord("1 3 " + kUserHex + " \xd9\xa2"),
        withRecord("1 -3 " + kUserHex + " 2"),
        withRecord("1 3a " + kUserHex + " 2"),
        withRecord("1 4294967296 " + kUserHex + " 2"),
        withRecord("1 3 abc 2"),
        withRecord("1 3 zz 2"),
        withRecord("1 3 0x0102 2"),
        withRecord("1 3 " + longHex + " 2"),
        withRecord("1 3 " + kUserHex + " 2" + std::string(1, '\0')),
        withRecord("\r"),
        withRecord("\v"),
        header + record + record,
        header + "1 3 0a0b 2\n1 3 0A0B 2\n",
        header + record + std::string(SimulatedStore::kHeader) + "\n",
        header + "1 3 01",
        withRecord("1\xc2\xa0"
                   "3 " +
                   kUserHex + " 2"),
    };
}

TEST(SimulatedStore, RefusesDamagedFilesAndLeavesThemAsTheyWere) {
    const SimulatedStore::Identity user = {3, {1, 2}};
    TemporaryDirectory directory;
    const auto path = directory.Path() / "fingers.store";
    const auto damaged = DamagedStores();
    EXPECT_GE(damaged.size(), 40u);
    for (std::size_t row = 0; row < damaged.size(); ++row) {
        const std::string& text = damaged[row];
        SCOPED_TRACE(std::string("row ") + std::to_string(row) + ": " + text.substr(0, 80));
        EXPECT_FALSE(SimulatedStore::Parse(text).has_value());
        WriteFile(path, text);
        auto store = SimulatedStore::InFile(path, {});
        std::vector<SubFactor> fingers;
        EXPECT_EQ(store.List(kUnit, user, &fingers), kDatabaseCorrupted);
        EXPECT_EQ(store.Add(kUnit, user, 4), kDatabaseCorrupted);
        EXPECT_EQ(store.Remove(kUnit, user, 2), kDatabaseCorrupted);
        ASSERT_EQ(ReadFile(path), text);
        ASSERT_EQ(directory.Entries(), std::vector<std::string>{"fingers.store"});
    }
}

// Well-formed but for its size: a header and then nothing but zero bytes, made sparse so that
// no test build has to write them.
TEST(SimulatedStore, OversizedFileIsRefusedAndLeftAsItWas) {
    TemporaryDirectory directory;
    const auto path = directory.Path() / "fingers.store";
    WriteFile(path, std::string(SimulatedStore::kHeader) + "\n");
    ASSERT_EQ(truncate(path.c_str(), SimulatedStore::kMaxFileSize + 1), 0);
    struct stat before = {};
    ASSERT_EQ(stat(path.c_str(), &before), 0);

    const SimulatedStore::Identity user = {3, {1, 2}};
    auto store = SimulatedStore::InFile(path, {});
    std::vector<SubFactor> fingers;
    EXPECT_EQ(store.List(kUnit, user, &fingers), kDatabaseCorrupted);
    EXPECT_EQ(store.Add(kUnit, user, 4), kDatabaseCorrupted);
    EXPECT_EQ(store.Remove(kUnit, user, 2), kDatabaseCorrupted);

    struct stat after = {};
    ASSERT_EQ(stat(path.c_str(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_EQ(after.st_size, before.st_size);
    EXPECT_EQ(after.st_mtim.tv_nsec, before.st_mtim.tv_nsec);
    EXPECT_EQ(directory.Entries(), std::vector<std::string>{"fingers.store"});
}

TEST(SimulatedStore, BlankLinesAndUpperCaseHexAreHarmless) {
    const std::string header = std::string(SimulatedStore::kHeader) + "\n";
    const auto records = SimulatedStore::Parse(header + "\n \t\n1\t3  0A0b 2 \n\n");
    ASSERT_TRUE(records.has_value());
    EXPECT_EQ(*records, (std::vector<SimulatedStore::Record>{{1, {3, {0x0a, 0x0b}}, 2}}));
    EXPECT_EQ(SimulatedStore::Parse(SimulatedStore::kHeader),
              std::vector<SimulatedStore::Record>{});
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
    EXPECT_TRUE(directory.Entries().empty());

    ASSERT_EQ(EnrollFinger(session, 2), kOk);
    EXPECT_EQ(directory.Entries(),
              (std::vector<std::string>{"fingers.store", "fingers.store.lock"}));
    for (const auto& written : {path, directory.Path() / "fingers.store.lock"}) {
        struct stat status = {};
        ASSERT_EQ(stat(written.c_str(), &status), 0);
        EXPECT_EQ(status.st_mode & 0777, 0600u) << written;
    }
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
    EXPECT_EQ(directory.Entries(), std::vector<std::string>{"fingers.store"});
}

TEST(SimulatedStore, UnusablePathsFailWithoutBeingReadOrHanging) {
    TemporaryDirectory directory;
    const auto pipe = directory.Path() / "pipe";
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    // Read, either would give 16 MB of zeros or fail only after a long read.
    const auto zero = directory.Path() / "zero";
    const auto memory = directory.Path() / "memory";
    std::filesystem::create_symlink("/dev/zero", zero);
    std::filesystem::create_symlink("/proc/self/mem", memory);
    struct Row {
        std::filesystem::path path;
        StatusCode listing;
        StatusCode commit;
    };
    const Row rows[] = {
        {directory.Path(), kDatabaseReadError, kDatabaseReadError},
        {pipe, kDatabaseReadError, kDatabaseReadError},
        {zero, kDatabaseReadError, kDatabaseReadError},
        {memory, kDatabaseReadError, kDatabaseReadError},
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
    EXPECT_EQ(directory.Entries(), (std::vector<std::string>{"memory", "pipe", "zero"}));
}

TEST(SimulatedStore, ALinkToAnotherFileIsReadButNeverWrittenThrough) {
    TemporaryDirectory directory;
    const auto target = directory.Path() / "elsewhere";
    const auto link = directory.Path() / "fingers.store";
    const SimulatedStore::Identity user = {3, {1, 2}};
    const std::string original = SimulatedStore::Format({{kUnit, user, 7}});
    WriteFile(target, original);
    std::filesystem::create_symlink(target, link);

    auto store = SimulatedStore::InFile(link, {});
    std::vector<SubFactor> fingers;
    ASSERT_EQ(store.List(kUnit, user, &fingers), kOk);
    EXPECT_EQ(fingers, std::vector<SubFactor>{7});
    ASSERT_EQ(store.Add(kUnit, user, 8), kOk);

    EXPECT_EQ(ReadFile(target), original);
    EXPECT_FALSE(std::filesystem::is_symlink(link));
    EXPECT_EQ(SimulatedStore::Parse(ReadFile(link)),
              (std::vector<SimulatedStore::Record>{{kUnit, user, 7}, {kUnit, user, 8}}));
}

// The rename would replace the file whatever its mode, and root may write anything: only the
// owner's write bit says whether the owner wants it changed.
TEST(SimulatedStore, ReadOnlyFilesAreListedButNeverReplaced) {
    const SimulatedStore::Identity user = {3, {1, 2}};
    const std::string content = SimulatedStore::Format({{kUnit, user, 3}});
    for (const mode_t mode : {0400, 0444, 0500}) {
        SCOPED_TRACE(mode);
        TemporaryDirectory directory;
        const auto path = directory.Path() / "fingers.store";
        WriteFile(path, content);
        ASSERT_EQ(chmod(path.c_str(), mode), 0);

        auto store = SimulatedStore::InFile(path, {});
        std::vector<SubFactor> fingers;
        EXPECT_EQ(store.List(kUnit, user, &fingers), kOk);
        EXPECT_EQ(fingers, std::vector<SubFactor>{3});
        EXPECT_EQ(store.Add(kUnit, user, 4), kDatabaseWriteError);
        EXPECT_EQ(store.Remove(kUnit, user, 3), kDatabaseWriteError);
        // Nothing to write: the answer is the same as for a writable file.
        EXPECT_EQ(store.Add(kUnit, user, 3), kDuplicateTemplate);
        EXPECT_EQ(store.Remove(kUnit, user, 9), kDatabaseNoSuchRecord);

        EXPECT_EQ(ReadFile(path), content);
        struct stat status = {};
        ASSERT_EQ(stat(path.c_str(), &status), 0);
        EXPECT_EQ(status.st_mode & 0777, mode);
        EXPECT_EQ(store.List(kUnit, user, &fingers), kOk);
        EXPECT_EQ(fingers, std::vector<SubFactor>{3});
    }
}

TEST(SimulatedStore, AFileOfAnotherUserIsRefused) {
    constexpr uid_t kOtherUser = 65534;
    TemporaryDirectory directory;
    const auto path = directory.Path() / "fingers.store";
    const SimulatedStore::Identity user = {3, {1, 2}};
    const std::string planted = SimulatedStore::Format({{kUnit, user, 1}, {kUnit, user, 2}});
    WriteFile(path, planted);
    if (geteuid() == kOtherUser || chown(path.c_str(), kOtherUser, static_cast<gid_t>(-1)) != 0) {
        GTEST_SKIP() << "cannot give the file to another user";
    }
    auto store = SimulatedStore::InFile(path, {});
    std::vector<SubFactor> fingers;
    EXPECT_EQ(store.List(kUnit, user, &fingers), kDatabaseReadError);
    EXPECT_TRUE(fingers.empty());
    EXPECT_EQ(store.Add(kUnit, user, 4), kDatabaseReadError);
    EXPECT_EQ(store.Remove(kUnit, user, 1), kDatabaseReadError);
    EXPECT_EQ(ReadFile(path), planted);
    EXPECT_EQ(directory.Entries(), std::vector<std::string>{"fingers.store"});
}

// A store of `count` fingers of one user, ten per unit, and the time of its best listing.
class TimedStore {
public:
    TimedStore(const std::filesystem::path& path, std::size_t count)
        : m_store(SimulatedStore::InFile(path, {})) {
        std::vector<SimulatedStore::Record> records;
        for (std::size_t i = 0; i < count; ++i) {
            records.push_back({static_cast<UnitId>(i / kLastFinger + 1), kUser,
                               static_cast<SubFactor>(i % kLastFinger + 1)});
        }
        WriteFile(path, SimulatedStore::Format(records));
    }

    void List() {
        std::vector<SubFactor> fingers;
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(m_store.List(kUnit, kUser, &fingers), kOk);
        best = std::min(best, std::chrono::steady_clock::now() - start);
        EXPECT_EQ(fingers.size(), kLastFinger);
    }

    std::chrono::steady_clock::duration best = std::chrono::steady_clock::duration::max();

private:
    inline static const SimulatedStore::Identity kUser = {3, {1, 2, 3, 4}};
    SimulatedStore m_store;
};

double Seconds(std::chrono::steady_clock::duration duration) {
    return std::chrono::duration<double>(duration).count();
}

// Reading used to compare every record with all before it: 98,000 records took 7.7 s, and
// four times the records sixteen times as long. The sizes stay small enough for the sanitizer
// builds; small ones are compared, since large ones grow a little faster than linearly as they
// outgrow the caches. Rounds alternate, so that a busy machine slows both sizes alike.
TEST(SimulatedStore, ReadingGrowsLinearlyWithTheRecords) {
#if defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "no threads here, and ThreadSanitizer's timings say nothing about ours";
#endif
    constexpr std::size_t kSmall = 2500;
    constexpr std::size_t kGrowth = 4;
    constexpr std::size_t kLarge = 40000;
    constexpr int kRounds = 5;
    TemporaryDirectory directory;
    TimedStore small(directory.Path() / "small", kSmall);
    TimedStore grown(directory.Path() / "grown", kGrowth * kSmall);
    TimedStore large(directory.Path() / "large", kLarge);
    for (int round = 0; round < kRounds; ++round) {
        small.List();
        grown.List();
    }
    large.List();
    EXPECT_LT(grown.best, 2 * kGrowth * small.best + std::chrono::milliseconds(1))
        << "small " << Seconds(small.best) << " s, grown " << Seconds(grown.best) << " s";
    EXPECT_LT(large.best, std::chrono::seconds(2)) << Seconds(large.best) << " s";
}
