#include "check/cross_check.h"

#include "codec/participant_id.h"
#include "document/lentar_document.h"

#include <QCryptographicHash>

#include <algorithm>
#include <map>
#include <optional>
#include <set>

using namespace Qt::StringLiterals;

namespace {

constexpr QChar kFieldSeparator = u'\x1f';
// A clash with many files names the first few; the rest are counted.
constexpr qsizetype kNamedFiles = 3;

// The identifier's nine digits as a number; nothing for an identifier that is not
// nine digits (that one is reported on its own and cannot be compared).
std::optional<quint64> IdNumber(const QString &id)
{
    const ParsedParticipantId parsed = ParseParticipantId(id.toStdString());
    if (parsed.shape == IdShape::NotNineDigits)
        return std::nullopt;
    return std::stoull(parsed.digits);
}

QString FormattedId(quint64 number)
{
    const std::string digits = QString::number(number).rightJustified(9, u'0').toStdString();
    return QString::fromStdString(FormatParticipantId(digits));
}

QString ShownName(const QString &joined)
{
    QStringList parts = joined.split(kFieldSeparator);
    parts.removeAll(QString());
    return u'«' + parts.join(u' ') + u'»';
}

// "в файле a" or "в файлах a, b, c и ещё 2".
QString InFiles(const QList<qsizetype> &files, const QStringList &shownNames)
{
    QStringList named;
    for (qsizetype i = 0; i < files.size() && i < kNamedFiles; ++i)
        named.append(shownNames.at(files.at(i)));
    QString text = (files.size() == 1 ? u"в файле "_s : u"в файлах "_s) + named.join(u", "_s);
    if (files.size() > kNamedFiles)
        text += u" и ещё "_s + QString::number(files.size() - kNamedFiles);
    return text;
}

} // namespace

QByteArray SameWorkDigest(const WorkFacts &facts, bool *comparable)
{
    std::set<std::string> authors;
    for (const QString &id : facts.authorIds)
        authors.insert(NormalizeParticipantId(id.toStdString()));
    const QString title = TrimControls(facts.title);
    *comparable = !title.isEmpty() || !authors.empty();
    QCryptographicHash hash(QCryptographicHash::Sha256);
    hash.addData(title.toUtf8());
    for (const std::string &id : authors) {
        hash.addData(QByteArrayView("\0", 1));
        hash.addData(QByteArrayView(id.data(), qsizetype(id.size())));
    }
    return hash.result();
}

void CrossFileIndex::add(qsizetype file, const WorkFacts &facts)
{
    bool comparable = false;
    const QByteArray digest = SameWorkDigest(facts, &comparable);

    std::vector<std::pair<quint64, QString>> people;
    people.reserve(std::size_t(facts.people.size()));
    for (const WorkFacts::Person &person : facts.people) {
        const std::optional<quint64> number = IdNumber(person.id);
        if (!number)
            continue;
        people.emplace_back(*number,
            TrimControls(person.surname) + kFieldSeparator + TrimControls(person.name)
                + kFieldSeparator + TrimControls(person.patronymic));
    }

    const std::lock_guard lock(mutex_);
    if (comparable)
        works_[digest].append(file);
    for (const auto &[number, names] : people) {
        IdEntry &entry = ids_[number];
        qsizetype variant = entry.names.indexOf(names);
        if (variant < 0) {
            variant = entry.names.size();
            entry.names.append(names);
        }
        entry.uses.append({ file, int(variant) });
    }
}

std::vector<CheckProblems> CrossFileIndex::problems(const QStringList &shownNames) const
{
    std::vector<CheckProblems> result(std::size_t(shownNames.size()));

    // Sorted, so that the remarks come out in the same order whatever order the
    // workers finished in.
    std::vector<QList<qsizetype>> duplicates;
    for (auto it = works_.cbegin(); it != works_.cend(); ++it) {
        if (it.value().size() > 1) {
            QList<qsizetype> files = it.value();
            std::sort(files.begin(), files.end());
            duplicates.push_back(std::move(files));
        }
    }
    std::sort(duplicates.begin(), duplicates.end());
    for (const QList<qsizetype> &files : duplicates) {
        for (const qsizetype file : files) {
            QList<qsizetype> others = files;
            others.removeAll(file);
            result[std::size_t(file)].append(CheckProblem { QString::fromLatin1(kDuplicateWorkCode),
                u"та же работа (то же название и те же авторы) описана "_s
                    + InFiles(others, shownNames) });
        }
    }

    std::map<quint64, const IdEntry *> clashes;
    for (auto it = ids_.cbegin(); it != ids_.cend(); ++it) {
        if (it.value().names.size() > 1)
            clashes.emplace(it.key(), &it.value());
    }
    for (const auto &[number, entry] : clashes) {
        // For each file, the names it uses; for each name, the files that use it.
        std::map<qsizetype, std::set<int>> namesOfFile;
        std::vector<std::set<qsizetype>> filesOfName(std::size_t(entry->names.size()));
        for (const auto &[file, variant] : entry->uses) {
            namesOfFile[file].insert(variant);
            filesOfName[std::size_t(variant)].insert(file);
        }
        for (const auto &[file, own] : namesOfFile) {
            QStringList elsewhere;
            for (int variant = 0; variant < int(filesOfName.size()); ++variant) {
                if (own.count(variant))
                    continue;
                QList<qsizetype> files;
                for (const qsizetype other : filesOfName[std::size_t(variant)]) {
                    if (other != file)
                        files.append(other);
                }
                if (!files.isEmpty())
                    elsewhere.append(InFiles(files, shownNames) + u" — "_s
                        + ShownName(entry->names.at(variant)));
            }
            if (elsewhere.isEmpty())
                continue; // the differing names are all in this one file
            QStringList here;
            for (const int variant : own)
                here.append(ShownName(entry->names.at(variant)));
            result[std::size_t(file)].append(CheckProblem { QString::fromLatin1(kIdNamesDifferCode),
                u"идентификатор "_s + FormattedId(number) + u" записан с разными именами: здесь "_s
                    + here.join(u", "_s) + u", "_s + elsewhere.join(u", "_s) });
        }
    }
    return result;
}
