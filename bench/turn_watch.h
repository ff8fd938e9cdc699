#pragma once

// Counts the turns of the event loop and the longest time between two of
// them, for the window benchmarks. A 1 ms timer: a zero-interval one would
// keep the window's thread busy and take a core from the workers.

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <algorithm>

#include <time.h>

// The processor time the calling thread has used, in milliseconds.
inline double ThreadCpuMs() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

class TurnWatch {
public:
    TurnWatch() {
        m_Ticker.setTimerType(Qt::PreciseTimer);
        m_Ticker.setInterval(1);
        QObject::connect(&m_Ticker, &QTimer::timeout, [this] {
            const qint64 now = m_Clock.nsecsElapsed();
            const double cpu = ThreadCpuMs();
            if (m_Last >= 0) {
                longestGapMs = std::max(longestGapMs, static_cast<double>(now - m_Last) / 1e6);
                longestBusyMs = std::max(longestBusyMs, cpu - m_LastCpu);
            }
            m_Last = now;
            m_LastCpu = cpu;
            ++turns;
        });
        m_Clock.start();
        m_Ticker.start();
    }
    double longestGapMs = 0;
    // The most processor time the window's thread spent between two turns:
    // the part of a gap that is the thread's own work, not the time the
    // system gave the processors to other threads.
    double longestBusyMs = 0;
    long turns = 0;

private:
    QTimer m_Ticker;
    QElapsedTimer m_Clock;
    qint64 m_Last = -1;
    double m_LastCpu = 0;
};
