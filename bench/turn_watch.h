#pragma once

// Counts the turns of the event loop and the longest time between two of
// them, for the window benchmarks. A 1 ms timer: a zero-interval one would
// keep the window's thread busy and take a core from the workers.

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <algorithm>

class TurnWatch {
public:
    TurnWatch() {
        m_Ticker.setTimerType(Qt::PreciseTimer);
        m_Ticker.setInterval(1);
        QObject::connect(&m_Ticker, &QTimer::timeout, [this] {
            const qint64 now = m_Clock.nsecsElapsed();
            if (m_Last >= 0) {
                longestGapMs = std::max(longestGapMs, static_cast<double>(now - m_Last) / 1e6);
            }
            m_Last = now;
            ++turns;
        });
        m_Clock.start();
        m_Ticker.start();
    }
    double longestGapMs = 0;
    long turns = 0;

private:
    QTimer m_Ticker;
    QElapsedTimer m_Clock;
    qint64 m_Last = -1;
};
