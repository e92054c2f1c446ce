// Start-up's first answers, asked of fprintd before the window asks for them: each taken once.
#include "FprintdEarlyAnswers.h"

void FprintdEarlyAnswers::ArmFingers(UnitId unit, const QString& user) {
    m_fingersUnit = unit;
    m_fingersUser = user;
    m_fingers.Arm();
}

bool FprintdEarlyAnswers::TakeFingers(UnitId unit, const QString& user,
                                      Answer<FingersAnswer>& answer) {
    if (unit != m_fingersUnit || user != m_fingersUser) {
        m_fingers.Drop();
        return false;
    }
    return m_fingers.Take(answer);
}

void FprintdEarlyAnswers::Drop() {
    m_session.Drop();
    m_units.Drop();
    m_fingers.Drop();
}
