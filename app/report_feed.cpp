#include "app/report_feed.h"

#include "app/report_box_text.h"
#include "i18n/language.h"
#include "report/report_services.h"
#include "report/run_progress.h"

#include <QTimer>

#include <algorithm>
#include <thread>
#include <utility>

namespace varnel {

ReportFeed::ReportFeed(QObject* parent) : ReportFeed(Pacing{}, parent) {}

ReportFeed::ReportFeed(const Pacing& pacing, QObject* parent)
    : QObject(parent), m_Pacing(pacing), m_Timer(new QTimer(this)) {
    m_Timer->setInterval(m_Pacing.intervalMs);
    connect(m_Timer, &QTimer::timeout, this, &ReportFeed::OnTimer);
}

ReportFeed::~ReportFeed() = default;

void ReportFeed::Start(Request request) {
    if (m_Run) {
        m_Queued.push_back(std::move(request));
        return;
    }
    Begin(std::move(request));
}

void ReportFeed::Stop() {
    if (m_Run) {
        End(true);
    }
}

void ReportFeed::Begin(Request request) {
    ReportRun::Settings settings;
    settings.options = request.options;
    settings.maxFilesAhead = m_Pacing.blocksAhead;
    settings.lowerPriority = true;
    const LanguageMode language = CurrentLanguageMode();
    settings.services = [language] { return MakeReportServices(language); };
    settings.versionQuery = MakeReportServices(language).fileVersion;
    settings.versionOfBytes = MakeReportServices(language).fileVersionOfBytes;
    // The last blocks are taken as soon as they are ready, not at the next
    // tick of the timer. The call comes from a worker: it only queues a turn
    // for this feed's thread (dropped if the feed is gone by then).
    settings.whenAllReady = [this] {
        QMetaObject::invokeMethod(
            this,
            [this] {
                if (m_Run) {
                    m_Timer->start(0);
                }
            },
            Qt::QueuedConnection);
    };
    settings.whenReady = settings.whenAllReady;
    settings.readyBatch = m_Pacing.readyBatch;
    m_Run = std::make_unique<ReportRun>(std::move(request.items), std::move(settings));
    m_StopRequested = false;
    m_RunClock.start();
    m_NextProgressMs = kProgressDelay.count();
    m_NextDrawMs = 0;
    emit runStarted(request.options, request.folderReport);
    m_Timer->start(m_Pacing.intervalMs);
}

void ReportFeed::OnTimer() {
    if (m_Run) {
        if (m_StopRequested) {
            End(true);
        } else {
            const bool more = TakeTurn();
            // Blocks left over are taken on the next turn, at once.
            m_Timer->setInterval(more ? 0 : m_Pacing.intervalMs);
            if (!more && m_Run->Ended()) {
                // Every block has been taken: the run is over.
                End(false);
            } else if (m_RunClock.elapsed() >= m_NextProgressMs) {
                emit progress(m_Run->Progress());
                m_NextProgressMs = m_RunClock.elapsed() + kProgressInterval.count();
            }
        }
    }
    // Stopped runs are dropped once their threads have returned, so that
    // destroying them never waits on a file.
    std::erase_if(m_Retiring,
                  [](const std::unique_ptr<ReportRun>& run) { return run->ThreadsDone(); });
    if (!m_Run && m_Retiring.empty()) {
        m_Timer->stop();
    }
}

bool ReportFeed::TakeTurn() {
    QElapsedTimer spent;
    spent.start();
    // Blocks are taken while what showing them will cost still fits the
    // turn's budget, then shown in one insertion: each insertion also lays
    // out the box's last lines for its scroll bar.
    const qint64 budgetNs = m_Pacing.budgetMs * 1'000'000;
    std::vector<RunBlock> blocks;
    std::string lastPath;
    std::size_t taken = 0;
    bool more = true;
    while (more &&
           spent.nsecsElapsed() + static_cast<qint64>(taken) * m_ShowNsPerBlock < budgetNs) {
        blocks.clear();
        more = m_Run->TakeReady(blocks, m_Pacing.blocksPerTake) == m_Pacing.blocksPerTake;
        for (const RunBlock& block : blocks) {
            m_PendingText += block.text;
        }
        if (!blocks.empty()) {
            lastPath = std::move(blocks.back().path);
        }
        taken += blocks.size();
    }
    if (taken == 0) {
        // Nothing new: the box is left alone (and drawn, if a turn before
        // this one left it undrawn).
        emit drawingAllowed(true);
        return false;
    }
    emit drawingAllowed(false);
    const qint64 showStart = spent.nsecsElapsed();
    ShowPendingText();
    const qint64 showNsPerBlock = (spent.nsecsElapsed() - showStart) / static_cast<qint64>(taken);
    m_ShowNsPerBlock = std::max<qint64>((3 * m_ShowNsPerBlock + showNsPerBlock) / 4, 1);
    emit blocksShown(lastPath);
    // The box is drawn after a turn at most every drawIntervalMs, not after
    // each: a turn that finds nothing new, or the run's end, draws what is
    // left undrawn.
    if (m_RunClock.elapsed() >= m_NextDrawMs) {
        emit drawingAllowed(true);
        m_NextDrawMs = m_RunClock.elapsed() + m_Pacing.drawIntervalMs;
    }
    return more;
}

void ReportFeed::ShowPendingText() {
    if (m_PendingText.empty()) {
        return;
    }
    m_ShownText.resize(0); // keeps its buffer
    AppendBoxText(m_ShownText, m_PendingText);
    m_PendingText.clear();
    emit textReady(m_ShownText);
}

void ReportFeed::End(bool stopped) {
    if (stopped) {
        m_Run->Stop();
        m_Queued.clear();
    }
    if (!m_Run->ThreadsDone()) {
        m_Retiring.push_back(std::move(m_Run));
    }
    m_Run.reset();
    // Blocks taken before the end are handed over now.
    ShowPendingText();
    emit drawingAllowed(true);
    m_StopRequested = false;
    emit runEnded(stopped);
    if (!m_Run && !m_Queued.empty()) {
        // The next report waiting its turn, with the options of its call.
        Request next = std::move(m_Queued.front());
        m_Queued.pop_front();
        Begin(std::move(next));
    }
    emit reportEnded();
}

bool ReportFeed::RunThreadsEndWithin(std::chrono::milliseconds limit) {
    if (m_Run) {
        m_Run->Stop();
    }
    const auto deadline = std::chrono::steady_clock::now() + limit;
    const auto allDone = [this] {
        return (!m_Run || m_Run->ThreadsDone()) &&
               std::all_of(
                   m_Retiring.begin(), m_Retiring.end(),
                   [](const std::unique_ptr<ReportRun>& run) { return run->ThreadsDone(); });
    };
    while (!allDone()) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

} // namespace varnel
