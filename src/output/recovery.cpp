#include "output/recovery.h"

#include "document/lentar_reader.h"
#include "document/lentar_xml.h"
#include "platform/files.h"
#include "platform/platform.h"

#include <QDateTime>
#include <QDir>
#include <QLocale>
#include <QLockFile>
#include <QUuid>

#include <algorithm>
#include <cerrno>
#include <cstdio>

using namespace Qt::StringLiterals;

namespace {

constexpr char kCaption[] = "Восстановление лентара";

QString CopyFile(const QString &folder, const QString &id)
{
    return folder + u"copy-"_s + id + u".lnr.xml"_s;
}

QString CompanionFile(const QString &folder, const QString &id)
{
    return folder + u"copy-"_s + id + u".file"_s;
}

QString LockFile(const QString &folder, const QString &id)
{
    return folder + u"copy-"_s + id + u".lock"_s;
}

// A lock held as long as the program runs, however long that is: only a lock whose
// program has ended is free.
std::unique_ptr<QLockFile> TryLock(
    const QString &folder, const QString &id, QLockFile::LockError *error = nullptr)
{
    auto lock = std::make_unique<QLockFile>(LockFile(folder, id));
    lock->setStaleLockTime(0);
    if (lock->tryLock(0)) {
        // Like everything else in the folder, for the user alone.
        QFile::setPermissions(LockFile(folder, id), QFile::ReadOwner | QFile::WriteOwner);
        return lock;
    }
    if (error)
        *error = lock->error();
    return nullptr;
}

QString IdOf(const QString &fileName)
{
    return fileName.mid(5).section(u'.', 0, 0);
}

// What a program that ended at the wrong moment left beside the copies: a file half
// written under its temporary name, a companion or a lock whose copy is gone.
void SweepStrays(const QString &folder, const QStringList &copies)
{
    const QStringList names = QDir(folder).entryList({ u"copy-*"_s }, QDir::Files);
    for (const QString &name : names) {
        const QString id = IdOf(name);
        const bool companion = name.endsWith(u".file"_s) || name.endsWith(u".lock"_s);
        if (name.endsWith(u".lnr.xml"_s)
            || (companion && copies.contains(u"copy-"_s + id + u".lnr.xml"_s)))
            continue;
        // A free lock goes by itself once it is released.
        if (const auto lock = TryLock(folder, id); lock && !name.endsWith(u".lock"_s))
            RemoveFile(folder + name);
    }
}

QString ReadCompanion(const QString &folder, const QString &id)
{
    try {
        return QString::fromUtf8(ReadWholeFile(CompanionFile(folder, id)));
    } catch (const FileError &) {
        return {};
    }
}

QString SetAside(const QString &folder, AbandonedCopy &copy)
{
    const QString aside = folder + u"damaged-"_s + copy.id + u".lnr.xml"_s;
    try {
        RenameFile(copy.path, aside);
    } catch (const FileError &) {
        return copy.path;
    }
    RemoveFile(CompanionFile(folder, copy.id));
    return aside;
}

QString Question(const AbandonedCopy &copy)
{
    const QString work = copy.title.isEmpty() ? u"без названия"_s : u"«"_s + copy.title + u"»"_s;
    const QString when = QLocale().toString(
        QDateTime::fromSecsSinceEpoch(copy.changed).toLocalTime(), u"d MMMM yyyy, HH:mm"_s);
    QString text = u"Найдена несохранённая работа %1, последнее изменение %2."_s.arg(work, when);
    if (!copy.originalFile.isEmpty())
        text += u" Она была открыта из файла «%1»."_s.arg(
            QDir::toNativeSeparators(copy.originalFile));
    return text
        + u"\n\n«Восстановить» откроет её, «Удалить» удалит её копию, «Позже» оставит копию "
          u"до следующего запуска."_s;
}

} // namespace

void RecoverySchedule::changed(qint64 now)
{
    if (first_ < 0)
        first_ = now;
    last_ = now;
}

qint64 RecoverySchedule::due() const
{
    if (first_ < 0)
        return -1;
    return std::min(last_ + timing_.quietMs, first_ + timing_.longestMs);
}

void RecoverySchedule::written()
{
    first_ = last_ = -1;
}

std::vector<AbandonedCopy> ClaimAbandonedCopies(const QString &folder, QStringList &damaged)
{
    std::vector<AbandonedCopy> found;
    const QStringList names = QDir(folder).entryList({ u"copy-*.lnr.xml"_s }, QDir::Files);
    SweepStrays(folder, names);
    for (const QString &name : names) {
        AbandonedCopy copy;
        copy.id = IdOf(name);
        copy.path = folder + name;
        copy.lock = TryLock(folder, copy.id);
        if (!copy.lock)
            continue; // its program still runs
        const LentarReadResult read = ReadLentarFile(copy.path);
        if (read.refused()) {
            damaged.append(SetAside(folder, copy));
            continue;
        }
        copy.originalFile = ReadCompanion(folder, copy.id);
        copy.title = read.doc.title;
        copy.changed = read.stored;
        found.push_back(std::move(copy));
    }
    std::sort(found.begin(), found.end(), [](const AbandonedCopy &a, const AbandonedCopy &b) {
        return a.changed != b.changed ? a.changed > b.changed : a.id < b.id;
    });
    return found;
}

void DeleteRecoveryCopy(AbandonedCopy &copy)
{
    const QString folder = QFileInfo(copy.path).path() + u'/';
    RemoveFile(copy.path);
    RemoveFile(CompanionFile(folder, copy.id));
    copy.lock.reset();
}

std::optional<RestoredCopy> OfferRecoveryCopies(Platform &platform)
{
    const QString folder = platform.stateFolder();
    QStringList damaged;
    std::vector<AbandonedCopy> copies = ClaimAbandonedCopies(folder, damaged);
    for (const QString &path : std::as_const(damaged))
        platform.showMessage(
            u"Копия несохранённой работы повреждена, и восстановить её нельзя. Она оставлена "
            u"в файле «%1»."_s.arg(QDir::toNativeSeparators(path)),
            QString::fromUtf8(kCaption), MessageIcon::Warning, MessageButtons::Ok);
    for (AbandonedCopy &copy : copies) {
        const MessageAnswer answer = platform.showMessage(Question(copy),
            QString::fromUtf8(kCaption), MessageIcon::Question, MessageButtons::RestoreDeleteLater);
        if (answer == MessageAnswer::Delete)
            DeleteRecoveryCopy(copy);
        if (answer != MessageAnswer::Restore)
            continue;
        // The open command tells about anything it had to change or leave out.
        std::optional<OpenedLentar> opened = OpenLentar(copy.path, platform);
        if (opened)
            return RestoredCopy { std::move(*opened), std::move(copy) };
    }
    return std::nullopt;
}

RecoveryKeeper::RecoveryKeeper(Platform &platform, std::function<RecoveryContent()> content,
    RecoveryTiming timing, QObject *parent)
    : QObject(parent)
    , platform_(platform)
    , content_(std::move(content))
    , schedule_(timing)
    , id_(QUuid::createUuid().toString(QUuid::Id128).left(16))
{
    clock_.start();
    timer_ = new QTimer(this);
    timer_->setSingleShot(true);
    connect(timer_, &QTimer::timeout, this, &RecoveryKeeper::writeIfDue);
    writer_.setMaxThreadCount(1);
}

RecoveryKeeper::~RecoveryKeeper()
{
    writer_.waitForDone();
}

QString RecoveryKeeper::copyPath() const
{
    return folder_.isEmpty() ? QString() : CopyFile(folder_, id_);
}

void RecoveryKeeper::changed()
{
    lastChange_ = platform_.currentTime();
    const qint64 now = clock_.elapsed();
    schedule_.changed(now);
    timer_->start(int(std::max<qint64>(0, schedule_.due() - now)));
}

void RecoveryKeeper::claimSlot()
{
    if (folder_.isEmpty())
        folder_ = platform_.stateFolder();
    MakePrivateFolder(folder_);
    // A folder removed under the program's feet took the lock with it.
    if (lock_ && QFileInfo::exists(LockFile(folder_, id_)))
        return;
    lock_.reset();
    QLockFile::LockError error = QLockFile::NoError;
    lock_ = TryLock(folder_, id_, &error);
    if (!lock_)
        throw FileError(FileError::Action::Write, LockFile(folder_, id_),
            SystemErrorText(error == QLockFile::PermissionError ? EACCES : EIO));
}

std::optional<RecoveryKeeper::Job> RecoveryKeeper::nextJob()
{
    if (schedule_.due() < 0)
        return std::nullopt;
    schedule_.written();
    timer_->stop();
    claimSlot();
    RecoveryContent content = content_();
    Job job;
    job.copyPath = CopyFile(folder_, id_);
    job.companionPath = CompanionFile(folder_, id_);
    job.bytes = LentarFileBytes(SerializeLentar(BuildLentarXml(content.doc, lastChange_)));
    if (content.originalFile != companion_ || !QFileInfo::exists(job.copyPath)) {
        job.originalFile = content.originalFile;
        companion_ = content.originalFile;
    }
    return job;
}

void RecoveryKeeper::run(const Job &job)
{
    // The companion first: a copy never names a file it did not come from.
    if (job.originalFile) {
        if (job.originalFile->isEmpty())
            RemoveFile(job.companionPath);
        else
            WriteFileAtomically(job.companionPath, job.originalFile->toUtf8(), Durability::Private);
    }
    WriteFileAtomically(job.copyPath, job.bytes, Durability::Private);
}

void RecoveryKeeper::writeIfDue()
{
    const qint64 now = clock_.elapsed();
    if (schedule_.due() > now) {
        timer_->start(int(schedule_.due() - now));
        return;
    }
    std::optional<Job> job;
    try {
        job = nextJob();
    } catch (const LentarError &error) {
        tellFailure(QString::fromUtf8(error.what()));
        return;
    }
    if (!job)
        return;
    writer_.start([this, work = std::move(*job)] {
        QString failure;
        try {
            run(work);
        } catch (const LentarError &error) {
            failure = QString::fromUtf8(error.what());
        }
        QMetaObject::invokeMethod(this, [this, failure] { tellFailure(failure); });
    });
}

bool RecoveryKeeper::writeNow()
{
    writer_.waitForDone();
    try {
        const std::optional<Job> job = nextJob();
        if (job)
            run(*job);
        return true;
    } catch (const LentarError &error) {
        std::fprintf(stderr, "%s\n", error.what());
        return false;
    }
}

void RecoveryKeeper::forget()
{
    timer_->stop();
    schedule_.written();
    writer_.waitForDone();
    if (!lock_)
        return;
    RemoveFile(CopyFile(folder_, id_));
    RemoveFile(CompanionFile(folder_, id_));
    companion_.clear();
    lock_.reset();
}

void RecoveryKeeper::adopt(AbandonedCopy &copy)
{
    forget();
    folder_ = QFileInfo(copy.path).path() + u'/';
    id_ = copy.id;
    lock_ = std::move(copy.lock);
    companion_ = copy.originalFile;
    lastChange_ = copy.changed;
}

void RecoveryKeeper::tellFailure(const QString &message)
{
    // Told once until a copy is written again: the user goes on typing either way.
    if (message.isEmpty() || failureTold_) {
        failureTold_ = !message.isEmpty();
        return;
    }
    failureTold_ = true;
    platform_.showMessage(StandardErrorText(message)
            + u" Копия несохранённой работы на случай сбоя не записывается; работа "
              u"продолжается, но сохраните лентар, чтобы не потерять изменения."_s,
        QString::fromUtf8(kApplicationTitle), MessageIcon::Warning, MessageButtons::Ok);
}
