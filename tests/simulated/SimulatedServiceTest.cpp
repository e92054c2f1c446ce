// The simulated sensor through the WinBio* layer: sessions, units, listing, enrollment, captures.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>

#include "EnrolledSet.h"
#include "SimulatedTestSupport.h"
#include "UnixUserIdentity.h"

using namespace std::chrono_literals;

namespace {

constexpr UnitId kUnit = 1;
// Long enough to tell "no result" from "a result still on its way" with 0 ms scripts.
constexpr auto kQuietPeriod = 100ms;

StatusCode Capture(SessionHandle session, CaptureRecorder& recorder) {
    return WinBioEnrollCaptureWithCallback(session, &CaptureRecorder::Callback, &recorder);
}

StatusCode Commit(SessionHandle session) {
    WINBIO_IDENTITY identity{};
    std::uint8_t isNew = 1;
    return WinBioEnrollCommit(session, &identity, &isNew);
}

// Takes one scripted capture to its result.
CaptureRecorder::Result CaptureOnce(SessionHandle session, CaptureRecorder& recorder) {
    const std::size_t before = recorder.Count();
    EXPECT_EQ(Capture(session, recorder), kOk);
    EXPECT_TRUE(recorder.WaitFor(before + 1));
    const auto results = recorder.Results();
    return results.size() > before ? results[before] : CaptureRecorder::Result{};
}

}  // namespace

TEST(SimulatedService, ListsItsUnitsAsServiceRecords) {
    ScopedSimulatedService service({{"VARNE_SIM_UNITS", "7,2"}});
    WINBIO_UNIT_SCHEMA* units = nullptr;
    std::size_t count = 0;
    ASSERT_EQ(WinBioEnumBiometricUnits(kFactorFingerprint, &units, &count), kOk);
    ASSERT_EQ(count, 2u);
    EXPECT_EQ(units[0].UnitId, 7u);
    EXPECT_EQ(units[1].UnitId, 2u);
    EXPECT_EQ(units[0].BiometricFactor, kFactorFingerprint);
    EXPECT_EQ(units[0].PoolType, kPoolSystem);
    EXPECT_EQ(std::u16string(units[1].Description), u"Simulated fingerprint sensor");
    EXPECT_EQ(WinBioFree(units), kOk);

    EXPECT_EQ(WinBioEnumBiometricUnits(4, &units, &count), kUnsupportedFactor);
    const SessionHandle session = OpenTestSession();
    UnitId located = 0;
    EXPECT_EQ(WinBioLocateSensor(session, &located), kOk);
    EXPECT_EQ(located, 7u);
}

TEST(SimulatedService, WithoutUnitsThereIsNothingToLocate) {
    ScopedSimulatedService service({{"VARNE_SIM_UNITS", ""}});
    WINBIO_UNIT_SCHEMA* units = nullptr;
    std::size_t count = 5;
    EXPECT_EQ(WinBioEnumBiometricUnits(kFactorFingerprint, &units, &count), kOk);
    EXPECT_EQ(count, 0u);
    UnitId located = 0;
    EXPECT_EQ(WinBioLocateSensor(OpenTestSession(), &located), kSensorUnavailable);
}

TEST(SimulatedService, SessionsAreDistinctAndUnknownHandlesFail) {
    ScopedSimulatedService service({});
    const SessionHandle first = OpenTestSession();
    const SessionHandle second = OpenTestSession();
    EXPECT_NE(first, second);
    SessionHandle none = 0;
    EXPECT_EQ(WinBioOpenSession(4, kPoolSystem, 0, nullptr, 0, kDatabaseDefault, &none),
              kUnsupportedFactor);
    UnitId missingUnit = 9;
    EXPECT_EQ(WinBioOpenSession(kFactorFingerprint, kPoolSystem, 0, &missingUnit, 1,
                                kDatabaseDefault, &none),
              kInvalidUnit);
    EXPECT_EQ(none, 0u);

    ASSERT_EQ(WinBioCloseSession(second), kOk);
    CaptureRecorder recorder;
    WINBIO_IDENTITY identity = SimulatedCurrentUserIdentity();
    UnitId unit = 0;
    const std::vector<std::pair<const char*, std::function<StatusCode(SessionHandle)>>> calls = {
        {"close", [](SessionHandle s) { return WinBioCloseSession(s); }},
        {"cancel", [](SessionHandle s) { return WinBioCancel(s); }},
        {"locate", [&](SessionHandle s) { return WinBioLocateSensor(s, &unit); }},
        {"enum",
         [](SessionHandle s) {
             StatusCode st;
             ListEnrolled(s, kUnit, &st);
             return st;
         }},
        {"begin", [](SessionHandle s) { return WinBioEnrollBegin(s, 2, kUnit); }},
        {"capture", [&](SessionHandle s) { return Capture(s, recorder); }},
        {"commit", [](SessionHandle s) { return Commit(s); }},
        {"discard", [](SessionHandle s) { return WinBioEnrollDiscard(s); }},
        {"delete", [&](SessionHandle s) { return WinBioDeleteTemplate(s, kUnit, &identity, 2); }},
    };
    for (const SessionHandle unknown : {SessionHandle{0}, second, SessionHandle{12345}}) {
        for (const auto& [name, call] : calls) {
            EXPECT_EQ(call(unknown), kInvalidArgument) << name << " with handle " << unknown;
        }
    }
    EXPECT_EQ(recorder.Count(), 0u);
}

TEST(SimulatedService, ListsTheStartingFingersOfTheCurrentUserOnEveryUnit) {
    ScopedSimulatedService service({{"VARNE_SIM_UNITS", "1,3"}, {"VARNE_SIM_ENROLLED", "10,2,6"}});
    const SessionHandle session = OpenTestSession();
    for (const UnitId unit : {1u, 3u}) {
        StatusCode status = 0;
        EXPECT_EQ(ListEnrolled(session, unit, &status), (std::vector<SubFactor>{10, 2, 6}));
        EXPECT_EQ(status, kOk);
    }
    StatusCode status = 0;
    ListEnrolled(session, 2, &status);
    EXPECT_EQ(status, kInvalidUnit);

    // Another user, or a record claiming more bytes than it holds, finds nothing of ours.
    WINBIO_IDENTITY stranger = MakeUnixUserIdentity(getuid() + 1);
    SubFactor* array = nullptr;
    std::uint64_t count = 0;
    EXPECT_EQ(WinBioEnumEnrollments(session, kUnit, &stranger, &array, &count), kDatabaseNoResults);
    EXPECT_EQ(array, nullptr);
    WINBIO_IDENTITY oversized = SimulatedCurrentUserIdentity();
    oversized.Size = kIdentityDataCapacity + 1;
    EXPECT_EQ(WinBioEnumEnrollments(session, kUnit, &oversized, &array, &count), kInvalidArgument);
}

TEST(SimulatedService, CurrentUserIdentityIsTheUnixUserSid) {
    const WINBIO_IDENTITY identity = MakeUnixUserIdentity(0x01020304);
    const std::uint8_t expected[16] = {1, 2, 0, 0, 0, 0, 0, 22, 1, 0, 0, 0, 4, 3, 2, 1};
    EXPECT_EQ(identity.Type, kIdentityTypeSid);
    ASSERT_EQ(identity.Size, sizeof expected);
    EXPECT_EQ(std::memcmp(identity.Data, expected, sizeof expected), 0);
}

TEST(SimulatedService, EnrollmentFromBeginToCommit) {
    ScopedSimulatedService service(
        {{"VARNE_SIM_ENROLLED", "4"}, {"VARNE_SIM_SCRIPT", "more,poor,fast,merge,reject:8,ok"}});
    const SessionHandle session = OpenTestSession();
    CaptureRecorder recorder;
    ASSERT_EQ(WinBioEnrollBegin(session, 2, kUnit), kOk);

    const std::vector<std::pair<StatusCode, RejectDetail>> expected = {
        {kMoreData, 0},
        {kBadCapture, kRejectPoorQuality},
        {kBadCapture, kRejectTooFast},
        {kBadCapture, kRejectMergeFailure},
        {kBadCapture, kRejectTooSkewed},
        {kOk, 0}};
    for (const auto& [status, detail] : expected) {
        const auto result = CaptureOnce(session, recorder);
        EXPECT_EQ(result.status, status);
        EXPECT_EQ(result.rejectDetail, detail);
        EXPECT_NE(result.thread, std::this_thread::get_id());
    }

    WINBIO_IDENTITY identity{};
    std::uint8_t isNew = 0;
    ASSERT_EQ(WinBioEnrollCommit(session, &identity, &isNew), kOk);
    const WINBIO_IDENTITY user = SimulatedCurrentUserIdentity();
    EXPECT_EQ(std::memcmp(&identity, &user, sizeof identity), 0);
    EXPECT_EQ(isNew, 1);
    // New fingers come last; the enrollment is closed, so the next one may begin.
    EXPECT_EQ(ListEnrolled(session, kUnit), (std::vector<SubFactor>{4, 2}));
    EXPECT_EQ(WinBioEnrollBegin(session, 3, kUnit), kOk);
}

TEST(SimulatedService, EnrollmentRefusesOutOfOrderCalls) {
    ScopedSimulatedService service({{"VARNE_SIM_SCRIPT", "more,ok"}, {"VARNE_SIM_UNITS", "1,2"}});
    const SessionHandle session = OpenTestSession();
    CaptureRecorder recorder;
    EXPECT_EQ(Capture(session, recorder), kInvalidOperation);
    EXPECT_EQ(Commit(session), kInvalidOperation);
    EXPECT_EQ(WinBioEnrollDiscard(session), kInvalidOperation);
    EXPECT_EQ(WinBioEnrollBegin(session, 0, kUnit), kInvalidArgument);
    EXPECT_EQ(WinBioEnrollBegin(session, 11, kUnit), kInvalidArgument);
    EXPECT_EQ(WinBioEnrollBegin(session, 1, 5), kInvalidUnit);

    ASSERT_EQ(WinBioEnrollBegin(session, 10, 2), kOk);
    EXPECT_EQ(WinBioEnrollBegin(session, 1, kUnit), kEnrollmentInProgress);
    EXPECT_EQ(Commit(session), kInvalidOperation);
    EXPECT_EQ(CaptureOnce(session, recorder).status, kMoreData);
    // Not ready yet: refused, and the enrollment stays open.
    EXPECT_EQ(Commit(session), kInvalidOperation);
    EXPECT_EQ(CaptureOnce(session, recorder).status, kOk);
    EXPECT_EQ(Commit(session), kOk);
    EXPECT_EQ(ListEnrolled(session, 2), std::vector<SubFactor>{10});
    EXPECT_TRUE(ListEnrolled(session, kUnit).empty());
    EXPECT_EQ(recorder.Count(), 2u);
}

TEST(SimulatedService, DuplicateCommitIsRefusedAndKeepsTheEnrollmentOpen) {
    ScopedSimulatedService service({{"VARNE_SIM_ENROLLED", "2"}, {"VARNE_SIM_SCRIPT", "ok,ok"}});
    const SessionHandle session = OpenTestSession();
    CaptureRecorder recorder;
    ASSERT_EQ(WinBioEnrollBegin(session, 2, kUnit), kOk);
    ASSERT_EQ(CaptureOnce(session, recorder).status, kOk);
    WINBIO_IDENTITY identity{};
    std::uint8_t isNew = 1;
    EXPECT_EQ(WinBioEnrollCommit(session, &identity, &isNew), kDuplicateTemplate);
    EXPECT_EQ(identity.Size, 0u);
    EXPECT_EQ(WinBioEnrollBegin(session, 3, kUnit), kEnrollmentInProgress);
    EXPECT_EQ(WinBioEnrollDiscard(session), kOk);
    EXPECT_EQ(WinBioEnrollBegin(session, 3, kUnit), kOk);
    EXPECT_EQ(ListEnrolled(session, kUnit), std::vector<SubFactor>{2});
}

TEST(SimulatedService, OnlyOneCaptureAtATime) {
    ScopedSimulatedService service({{"VARNE_SIM_SCRIPT", ""}});
    const SessionHandle session = OpenTestSession();
    CaptureRecorder recorder;
    ASSERT_EQ(WinBioEnrollBegin(session, 1, kUnit), kOk);
    ASSERT_EQ(Capture(session, recorder), kOk);
    EXPECT_EQ(Capture(session, recorder), kDataCollectionInProgress);
    EXPECT_EQ(Commit(session), kDataCollectionInProgress);
    ASSERT_EQ(WinBioCancel(session), kOk);
    ASSERT_TRUE(recorder.WaitFor(1));
    EXPECT_EQ(recorder.Results()[0].status, kCanceled);
}

TEST(SimulatedService, ExhaustedScriptWaitsUntilCancelled) {
    ScopedSimulatedService service({{"VARNE_SIM_SCRIPT", "more"}});
    const SessionHandle session = OpenTestSession();
    CaptureRecorder recorder;
    ASSERT_EQ(WinBioEnrollBegin(session, 1, kUnit), kOk);
    EXPECT_EQ(CaptureOnce(session, recorder).status, kMoreData);
    ASSERT_EQ(Capture(session, recorder), kOk);
    EXPECT_FALSE(recorder.WaitFor(2, kQuietPeriod));

    EXPECT_EQ(WinBioCancel(session), kOk);
    ASSERT_TRUE(recorder.WaitFor(2));
    const auto results = recorder.Results();
    EXPECT_EQ(results[1].status, kCanceled);
    EXPECT_NE(results[1].thread, std::this_thread::get_id());
    // Nothing pending: a cancel does nothing, and the enrollment is still open.
    EXPECT_EQ(WinBioCancel(session), kOk);
    EXPECT_FALSE(recorder.WaitFor(3, kQuietPeriod));
    EXPECT_EQ(WinBioEnrollBegin(session, 2, kUnit), kEnrollmentInProgress);
}

TEST(SimulatedService, DiscardAndCloseEndAPendingCaptureOnce) {
    ScopedSimulatedService service({{"VARNE_SIM_SCRIPT", "ok@60000,ok@60000"}});
    CaptureRecorder discarded;
    CaptureRecorder closed;
    const SessionHandle first = OpenTestSession();
    const SessionHandle second = OpenTestSession();
    ASSERT_EQ(WinBioEnrollBegin(first, 1, kUnit), kOk);
    ASSERT_EQ(WinBioEnrollBegin(second, 2, kUnit), kOk);
    ASSERT_EQ(Capture(first, discarded), kOk);
    ASSERT_EQ(Capture(second, closed), kOk);

    EXPECT_EQ(WinBioEnrollDiscard(first), kOk);
    EXPECT_EQ(WinBioCloseSession(second), kOk);
    ASSERT_TRUE(discarded.WaitFor(1));
    ASSERT_TRUE(closed.WaitFor(1));
    EXPECT_EQ(discarded.Results()[0].status, kCanceled);
    EXPECT_EQ(closed.Results()[0].status, kCanceled);
    EXPECT_EQ(WinBioCancel(first), kOk);
    EXPECT_FALSE(discarded.WaitFor(2, kQuietPeriod));
    EXPECT_EQ(closed.Count(), 1u);
    // The discarded enrollment is gone: nothing to commit, a new one may begin.
    EXPECT_EQ(Commit(first), kInvalidOperation);
    EXPECT_EQ(WinBioEnrollBegin(first, 1, kUnit), kOk);
}

TEST(SimulatedService, ResultComesAfterItsDelay) {
    ScopedSimulatedService service({{"VARNE_SIM_SCRIPT", "more@80"}});
    const SessionHandle session = OpenTestSession();
    CaptureRecorder recorder;
    ASSERT_EQ(WinBioEnrollBegin(session, 1, kUnit), kOk);
    const auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(Capture(session, recorder), kOk);
    ASSERT_TRUE(recorder.WaitFor(1));
    EXPECT_GE(std::chrono::steady_clock::now() - start, 80ms);
}

TEST(SimulatedService, DeletesOnlyWhatIsEnrolled) {
    ScopedSimulatedService service({{"VARNE_SIM_ENROLLED", "1,2,3"}});
    const SessionHandle session = OpenTestSession();
    WINBIO_IDENTITY identity = SimulatedCurrentUserIdentity();
    EXPECT_EQ(WinBioDeleteTemplate(session, kUnit, &identity, 2), kOk);
    EXPECT_EQ(ListEnrolled(session, kUnit), (std::vector<SubFactor>{1, 3}));
    EXPECT_EQ(WinBioDeleteTemplate(session, kUnit, &identity, 2), kDatabaseNoSuchRecord);
    EXPECT_EQ(WinBioDeleteTemplate(session, kUnit, &identity, 11), kInvalidArgument);
    EXPECT_EQ(WinBioDeleteTemplate(session, 4, &identity, 1), kInvalidUnit);
    WINBIO_IDENTITY stranger = MakeUnixUserIdentity(getuid() + 1);
    EXPECT_EQ(WinBioDeleteTemplate(session, kUnit, &stranger, 1), kDatabaseNoSuchRecord);
    EXPECT_EQ(ListEnrolled(session, kUnit), (std::vector<SubFactor>{1, 3}));
}

TEST(SimulatedService, ForcedFailuresStopTheOperation) {
    CaptureRecorder recorder;
    WINBIO_IDENTITY identity = SimulatedCurrentUserIdentity();
    UnitId unit = 0;
    WINBIO_UNIT_SCHEMA* units = nullptr;
    std::size_t count = 0;
    StatusCode listing = kOk;
    // Each runs on a session whose enrollment is ready to commit, except "begin" and "capture",
    // which begin their own.
    const std::vector<std::pair<std::string, std::function<StatusCode(SessionHandle)>>> rows = {
        {"close", [](SessionHandle s) { return WinBioCloseSession(s); }},
        {"cancel", [](SessionHandle s) { return WinBioCancel(s); }},
        {"units", [&](SessionHandle) { return WinBioEnumBiometricUnits(8, &units, &count); }},
        {"locate", [&](SessionHandle s) { return WinBioLocateSensor(s, &unit); }},
        {"enum", [&](SessionHandle s) { return ListEnrolled(s, kUnit, &listing), listing; }},
        {"begin", [](SessionHandle s) { return WinBioEnrollBegin(s, 3, kUnit); }},
        {"capture",
         [&](SessionHandle s) { return WinBioEnrollBegin(s, 3, kUnit), Capture(s, recorder); }},
        {"commit", [](SessionHandle s) { return Commit(s); }},
        {"discard", [](SessionHandle s) { return WinBioEnrollDiscard(s); }},
        {"delete", [&](SessionHandle s) { return WinBioDeleteTemplate(s, kUnit, &identity, 1); }},
    };
    for (const auto& [key, call] : rows) {
        SCOPED_TRACE(key);
        ScopedSimulatedService service({{"VARNE_SIM_ENROLLED", "1"},
                                        {"VARNE_SIM_SCRIPT", "ok"},
                                        {"VARNE_SIM_FAIL", key + "=0x80098036"}});
        const SessionHandle session = OpenTestSession();
        const bool ready = key != "begin" && key != "capture";
        if (ready) {
            ASSERT_EQ(WinBioEnrollBegin(session, 2, kUnit), kOk);
            ASSERT_EQ(CaptureOnce(session, recorder).status, kOk);
        }
        const std::size_t callbacks = recorder.Count();
        EXPECT_EQ(call(session), kDeviceFailure);
        EXPECT_FALSE(recorder.WaitFor(callbacks + 1, 20ms));
        if (key != "enum") {
            // Nothing else happened: the session still works and the fingers are unchanged.
            EXPECT_EQ(ListEnrolled(session, kUnit), std::vector<SubFactor>{1});
        }
        if (ready && key != "close") {
            EXPECT_EQ(WinBioEnrollBegin(session, 4, kUnit), kEnrollmentInProgress);
        }
    }
}

TEST(SimulatedService, ForcedOpenAndFreeFailures) {
    {
        ScopedSimulatedService service({{"VARNE_SIM_FAIL", "open=0x80004005"}});
        SessionHandle session = 0;
        EXPECT_EQ(WinBioOpenSession(kFactorFingerprint, kPoolSystem, 0, nullptr, 0,
                                    kDatabaseDefault, &session),
                  kUnspecifiedFailure);
        EXPECT_EQ(session, 0u);
    }
    ScopedSimulatedService service({{"VARNE_SIM_FAIL", "free=0x80004005"}});
    WINBIO_UNIT_SCHEMA* units = nullptr;
    std::size_t count = 0;
    ASSERT_EQ(WinBioEnumBiometricUnits(kFactorFingerprint, &units, &count), kOk);
    ASSERT_NE(units, nullptr);
    // Refused, yet released (ASan would report the leak).
    EXPECT_EQ(WinBioFree(units), kUnspecifiedFailure);
}

TEST(SimulatedService, CallbackMayCallBackIntoTheService) {
    struct Chain {
        SessionHandle session = 0;
        CaptureRecorder recorder;
        static void Callback(void* context, StatusCode status, RejectDetail detail) {
            auto* chain = static_cast<Chain*>(context);
            CaptureRecorder::Callback(&chain->recorder, status, detail);
            if (status == kMoreData) {
                EXPECT_EQ(WinBioEnrollCaptureWithCallback(chain->session, &Chain::Callback, chain),
                          kOk);
            }
        }
    };
    Chain chain;
    ScopedSimulatedService service({{"VARNE_SIM_SCRIPT", "more,more,more,ok"}});
    chain.session = OpenTestSession();
    ASSERT_EQ(WinBioEnrollBegin(chain.session, 1, kUnit), kOk);
    ASSERT_EQ(WinBioEnrollCaptureWithCallback(chain.session, &Chain::Callback, &chain), kOk);
    ASSERT_TRUE(chain.recorder.WaitFor(4));
    EXPECT_EQ(chain.recorder.Results()[3].status, kOk);
    EXPECT_EQ(Commit(chain.session), kOk);
}

TEST(SimulatedService, DestructionEndsPendingCapturesExactlyOnce) {
    CaptureRecorder untouched;
    CaptureRecorder delayed;
    ScopedSimulatedService service({{"VARNE_SIM_SCRIPT", "ok@60000"}});
    const SessionHandle first = OpenTestSession();
    const SessionHandle second = OpenTestSession();
    ASSERT_EQ(WinBioEnrollBegin(first, 1, kUnit), kOk);
    ASSERT_EQ(WinBioEnrollBegin(second, 2, kUnit), kOk);
    ASSERT_EQ(Capture(first, delayed), kOk);
    ASSERT_EQ(Capture(second, untouched), kOk);
    service.Destroy();
    // Destruction waited for them: no waiting needed here.
    ASSERT_EQ(delayed.Count(), 1u);
    ASSERT_EQ(untouched.Count(), 1u);
    EXPECT_EQ(delayed.Results()[0].status, kCanceled);
    EXPECT_EQ(untouched.Results()[0].status, kCanceled);
}

TEST(SimulatedService, DestroyedFromItsOwnCallback) {
    // The last owner lets go inside a callback; the other session's capture must still end.
    struct LastOwner {
        std::shared_ptr<BiometricBackend> service;
        CaptureRecorder recorder;
        static void Callback(void* context, StatusCode status, RejectDetail detail) {
            auto* owner = static_cast<LastOwner*>(context);
            CaptureRecorder::Callback(&owner->recorder, status, detail);
            if (status == kMoreData) {
                owner->service.reset();
            }
        }
    };
    LastOwner owner;
    CaptureRecorder other;
    std::string error;
    owner.service = CreateSimulatedService({{"VARNE_SIM_SCRIPT", "ok@60000,more"}}, &error);
    ASSERT_NE(owner.service, nullptr) << error;
    BiometricBackend& service = *owner.service;
    SessionHandle waiting = 0;
    SessionHandle dropping = 0;
    for (SessionHandle* session : {&waiting, &dropping}) {
        ASSERT_EQ(service.OpenSession(kFactorFingerprint, kPoolSystem, 0, nullptr, 0,
                                      kDatabaseDefault, session),
                  kOk);
        ASSERT_EQ(service.EnrollBegin(*session, 1, kUnit), kOk);
    }
    ASSERT_EQ(service.EnrollCapture(waiting, &CaptureRecorder::Callback, &other), kOk);
    ASSERT_EQ(service.EnrollCapture(dropping, &LastOwner::Callback, &owner), kOk);
    ASSERT_TRUE(owner.recorder.WaitFor(1));
    ASSERT_TRUE(other.WaitFor(1));
    EXPECT_EQ(other.Results()[0].status, kCanceled);
    EXPECT_FALSE(owner.recorder.WaitFor(2, kQuietPeriod));
    EXPECT_FALSE(other.WaitFor(2, kQuietPeriod));
}
