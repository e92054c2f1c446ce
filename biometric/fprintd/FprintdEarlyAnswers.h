// Start-up's first answers, asked of fprintd before the window asks for them: each taken once.
#pragma once

#include <QString>
#include <optional>
#include <utility>

#include "FprintdAnswers.h"
#include "WinBio.h"

// Lives on the back end's thread. An answer is armed when its question goes out, filled when the
// reply comes, and handed to the first operation that asks the same question, at once or when it
// comes; afterwards that operation asks fprintd itself. Drop forgets what nobody waits for yet.
class FprintdEarlyAnswers {
public:
    void ArmSession() { m_session.Arm(); }
    void ArmUnits() { m_units.Arm(); }
    void ArmFingers(UnitId unit, const QString& user);

    void FillSession(StatusCode status) { m_session.Fill(status); }
    void FillUnits(UnitsAnswer units) { m_units.Fill(std::move(units)); }
    void FillFingers(FingersAnswer fingers) { m_fingers.Fill(std::move(fingers)); }

    // True when the answer was asked early: it goes to `answer` now or once it comes.
    bool TakeSession(Answer<StatusCode>& answer) { return m_session.Take(answer); }
    bool TakeUnits(Answer<UnitsAnswer>& answer) { return m_units.Take(answer); }
    // Only for the same unit and user as asked early.
    bool TakeFingers(UnitId unit, const QString& user, Answer<FingersAnswer>& answer);

    void Drop();

private:
    template <typename T>
    class Slot {
    public:
        void Arm() {
            m_state = State::kAsked;
            m_value.reset();
            m_waiter = nullptr;
        }
        void Fill(T value) {
            if (m_state == State::kAwaited) {
                auto waiter = std::move(m_waiter);
                m_waiter = nullptr;
                m_state = State::kNone;
                waiter(std::move(value));
            } else if (m_state == State::kAsked) {
                m_value = std::move(value);
                m_state = State::kReady;
            }
        }
        bool Take(Answer<T>& answer) {
            if (m_state == State::kAsked) {
                m_waiter = std::move(answer);
                m_state = State::kAwaited;
                return true;
            }
            if (m_state != State::kReady) {
                return false;
            }
            T value = std::move(*m_value);
            m_value.reset();
            m_state = State::kNone;
            answer(std::move(value));
            return true;
        }
        // Whoever waits still gets the answer.
        void Drop() {
            if (m_state != State::kAwaited) {
                m_state = State::kNone;
                m_value.reset();
            }
        }

    private:
        enum class State { kNone, kAsked, kAwaited, kReady };
        State m_state = State::kNone;
        std::optional<T> m_value;
        Answer<T> m_waiter;
    };

    Slot<StatusCode> m_session;
    Slot<UnitsAnswer> m_units;
    Slot<FingersAnswer> m_fingers;
    UnitId m_fingersUnit = 0;
    QString m_fingersUser;
};
