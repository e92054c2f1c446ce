// The order in which enrollments and deletions get the reader: one at a time, first come first.
#include "FprintdReaderQueue.h"

#include <QMetaObject>

void FprintdReaderQueue::Acquire(std::function<void()> turn) {
    if (m_busy) {
        m_turns.push_back(std::move(turn));
        return;
    }
    m_busy = true;
    turn();
}

void FprintdReaderQueue::Free() {
    if (m_turns.empty()) {
        m_busy = false;
        return;
    }
    auto turn = std::move(m_turns.front());
    m_turns.pop_front();
    // From the event loop, so a long queue does not nest.
    QMetaObject::invokeMethod(m_context, std::move(turn), Qt::QueuedConnection);
}

void FprintdReaderQueue::Clear() {
    m_turns.clear();
}
