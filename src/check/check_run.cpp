#include "check/check_run.h"

#include "check/cross_check.h"
#include "check/file_check.h"
#include "document/lentar_reader.h"

#include <QFileInfo>
#include <QThread>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace {

// Reading a file takes many times its size at once: the bytes, the parsed tree, the
// texts in UTF-8 and UTF-16, the picture as text and as bytes. A file's share of the
// budget below is its size times this factor (measured on files that are nearly all
// picture text, the worst case). A received lentar is some tens of kilobytes and
// never waits; large ones take turns, so they do not pile up on a machine with many
// processors.
constexpr qint64 kMemoryPerFileByte = 20;
constexpr qint64 kMemoryBudget = 64 * 1024 * 1024;

// A counter of bytes that workers take before reading a file and give back after. A
// file larger than the whole budget waits until it can have it all, then runs alone.
class ByteBudget
{
public:
    explicit ByteBudget(qint64 capacity)
        : free_(capacity)
        , capacity_(capacity)
    { }

    qint64 take(qint64 bytes)
    {
        bytes = std::clamp<qint64>(bytes, 0, capacity_);
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return free_ >= bytes; });
        free_ -= bytes;
        return bytes;
    }

    void give(qint64 bytes)
    {
        {
            const std::lock_guard lock(mutex_);
            free_ += bytes;
        }
        changed_.notify_all();
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    qint64 free_;
    const qint64 capacity_;
};

} // namespace

CheckRunResult RunCheck(const std::vector<FoundFile> &files, const CheckRunOptions &options)
{
    const auto total = qsizetype(files.size());
    CheckRunResult result;
    result.problems.resize(files.size());
    std::vector<std::optional<QString>> unreadable(files.size());
    CrossFileIndex index;
    ByteBudget budget(kMemoryBudget);

    std::atomic<qsizetype> next { 0 };
    std::mutex doneMutex;
    std::condition_variable doneChanged;
    qsizetype done = 0;

    auto work = [&] {
        for (qsizetype i = next++; i < total; i = next++) {
            const QString &path = files[std::size_t(i)].shown;
            const qint64 size = std::min(QFileInfo(path).size(), kMaxLentarFileBytes);
            const qint64 taken = budget.take(size * kMemoryPerFileByte);
            FileCheck check = CheckLentarFile(path);
            budget.give(taken);
            if (check.facts)
                index.add(i, *check.facts);
            result.problems[std::size_t(i)] = std::move(check.problems);
            unreadable[std::size_t(i)] = std::move(check.unreadable);
            {
                const std::lock_guard lock(doneMutex);
                ++done;
            }
            doneChanged.notify_one();
        }
    };

    int workers = options.workers > 0 ? options.workers : QThread::idealThreadCount();
    workers = int(std::clamp<qsizetype>(workers, 1, std::max<qsizetype>(total, 1)));
    std::vector<std::thread> pool;
    pool.reserve(std::size_t(workers));
    for (int w = 0; w < workers; ++w)
        pool.emplace_back(work);
    {
        std::unique_lock lock(doneMutex);
        while (done < total) {
            doneChanged.wait_for(lock, std::chrono::milliseconds(100));
            if (options.progress) {
                const qsizetype now = done;
                lock.unlock();
                options.progress(now, total);
                lock.lock();
            }
        }
    }
    for (std::thread &thread : pool)
        thread.join();
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
            result.unreadable.append(QStringLiteral("не удалось прочитать «%1»: %2")
                                         .arg(files[i].shown, *unreadable[i]));
    }
    return result;
}
