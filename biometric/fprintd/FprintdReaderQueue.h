// The order in which enrollments and deletions get the reader: one at a time, first come first.
#pragma once

#include <QObject>
#include <deque>
#include <functional>

class FprintdReaderQueue {
public:
    // Turns run from the event loop of the context's thread.
    explicit FprintdReaderQueue(QObject* context) : m_context(context) {}

    // Runs the turn now when the reader is free, else once the users before it are done.
    void Acquire(std::function<void()> turn);
    // The current user is done with the reader.
    void Free();
    void Clear();

private:
    QObject* const m_context;
    bool m_busy = false;
    std::deque<std::function<void()>> m_turns;
};
