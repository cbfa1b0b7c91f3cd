#include "check/check_run.h"

#include "check/cross_check.h"
#include "check/report.h"
#include "document/lentar_reader.h"

#include <QFileInfo>
#include <QThreadPool>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <optional>

namespace {

// Reading a file takes several times its size at once: the bytes, the parsed tree, the
// texts, the picture as bytes. A file's share of the budget below is its size times
// this factor (measured on files that are nearly all picture text, the worst case). A
// file stays in the budget until it has been handed over in order, so files that
// finish early cannot pile up behind a slow one either. A received lentar is some tens
// of kilobytes and never waits; large ones take turns, and one larger than the whole
// budget runs alone.
constexpr qint64 kMemoryPerFileByte = 4;
constexpr qint64 kMemoryBudget = 64 * 1024 * 1024;
constexpr auto kProgressEvery = std::chrono::milliseconds(100);
// The calling thread is woken when this many files ahead are checked, not for each.
constexpr qsizetype kHandOverBatch = 16;
// Files started before the one handed over next: enough to keep the workers busy
// while one file takes long, few enough that the ones waiting to be handed over do not
// add up (each holds its document and its picture).
constexpr qsizetype kMostAhead = 64;

struct Checked
{
    LentarReadResult read;
    FileCheck check;
};

} // namespace

CheckRunResult RunCheck(const std::vector<FoundFile> &files, const CheckRunOptions &options)
{
    const auto total = qsizetype(files.size());
    CheckRunResult result;
    result.problems.resize(files.size());
    std::vector<std::optional<QString>> unreadable(files.size());
    CrossFileIndex index;

    std::mutex mutex;
    std::condition_variable finishedOne;
    std::map<qsizetype, Checked> finished; // checked, not yet handed over
    // The calling thread sleeps until both these files are checked; none while it runs.
    std::optional<std::pair<qsizetype, qsizetype>> awaited;

    const auto cost = [&files](qsizetype i) {
        const qint64 size = std::clamp<qint64>(
            QFileInfo(files[std::size_t(i)].shown).size(), 0, kMaxLentarFileBytes);
        return std::min(size * kMemoryPerFileByte, kMemoryBudget);
    };
    std::vector<qint64> costs(files.size(), -1);
    qint64 budget = kMemoryBudget;
    qsizetype started = 0;
    auto lastProgress = std::chrono::steady_clock::now();
    // Last, so that it waits for its workers before anything they use goes.
    QThreadPool pool;
    pool.setMaxThreadCount(options.workers > 0 ? options.workers : QThread::idealThreadCount());

    for (qsizetype next = 0; next < total; ++next) {
        // Start every file the budget has room for; the calling thread only hands over.
        while (started < total && started - next < kMostAhead) {
            if (costs[std::size_t(started)] < 0)
                costs[std::size_t(started)] = cost(started);
            if (costs[std::size_t(started)] > budget)
                break;
            budget -= costs[std::size_t(started)];
            pool.start([&, i = started] {
                Checked checked { ReadLentarForCheck(files[std::size_t(i)].shown), {} };
                checked.check = CheckReadLentar(checked.read);
                bool wake = false;
                {
                    const std::lock_guard lock(mutex);
                    finished.emplace(i, std::move(checked));
                    wake = awaited && finished.contains(awaited->first)
                        && finished.contains(awaited->second);
                }
                if (wake)
                    finishedOne.notify_one();
            });
            ++started;
        }

        std::unique_lock lock(mutex);
        if (!finished.contains(next)) {
            // Woken once a batch is ready: the next file and the last of the batch.
            const qsizetype batchEnd = std::min(next + kHandOverBatch, started) - 1;
            awaited = { next, batchEnd };
            finishedOne.wait(
                lock, [&] { return finished.contains(next) && finished.contains(batchEnd); });
            awaited = {};
        }
        auto it = finished.find(next);
        Checked checked = std::move(it->second);
        finished.erase(it);
        lock.unlock();

        if (checked.check.facts)
            index.add(next, *checked.check.facts);
        if (options.fileChecked)
            options.fileChecked({ next, files[std::size_t(next)], checked.read, checked.check });
        result.problems[std::size_t(next)] = std::move(checked.check.problems);
        unreadable[std::size_t(next)] = std::move(checked.check.unreadable);
        budget += costs[std::size_t(next)];

        const auto now = std::chrono::steady_clock::now();
        if (options.progress && now - lastProgress >= kProgressEvery) {
            lastProgress = now;
            options.progress(next + 1, total);
        }
    }
    if (options.progress)
        options.progress(total, total);

    QStringList shown;
    shown.reserve(total);
    for (const FoundFile &file : files)
        shown.append(file.shown);
    std::vector<CheckProblems> across = index.problems(shown);
    for (std::size_t i = 0; i < files.size(); ++i) {
        result.problems[i].append(across[i]);
        if (unreadable[i])
            result.unreadable.append(
                QStringLiteral("«%1»: %2").arg(files[i].shown, AsRemark(*unreadable[i])));
    }
    return result;
}
