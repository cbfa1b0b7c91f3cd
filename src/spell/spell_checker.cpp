#include "spell/spell_checker.h"

#include "platform/files.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QStringDecoder>
#include <QStringEncoder>

#include <hunspell.hxx>

#include <algorithm>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// The loaded dictionary. Hunspell talks in the dictionary's own encoding (its SET line),
// which is UTF-8 for Debian's ru_RU, but is read from the dictionary all the same.
// Used only by the main thread once the loading thread has handed it over.
struct SpellDictionary
{
    std::unique_ptr<Hunspell> hunspell;
    QStringEncoder encoder;
    QStringDecoder decoder;

    std::string encode(const QString &word)
    {
        return QByteArray(encoder.encode(word)).toStdString();
    }
    QString decode(const std::string &word) { return decoder.decode(QByteArrayView(word)); }
};

namespace {

const char kAffix[] = "hunspell/ru_RU.aff";
const char kWords[] = "hunspell/ru_RU.dic";
// Enough for every word of the longest field many times over; when full it starts again.
constexpr qsizetype kMaxVerdicts = 50000;

// The one loading of the dictionary in this process, shared by every checker. Never
// destroyed: the loading thread may still be reading when the program ends, and must
// not find this gone.
struct Loader
{
    std::mutex mutex;
    bool started = false;
    bool finished = false;
    std::shared_ptr<SpellDictionary> dictionary; // null when there is none
    std::vector<QObject *> waiting; // checkers to tell when it is there
};

Loader &TheLoader()
{
    static auto *loader = new Loader;
    return *loader;
}

std::shared_ptr<SpellDictionary> OpenDictionary(const QByteArray &affix, const QByteArray &words)
{
    try {
        auto dictionary = std::make_shared<SpellDictionary>();
        dictionary->hunspell = std::make_unique<Hunspell>(affix.constData(), words.constData());
        const std::string encoding = dictionary->hunspell->get_dict_encoding();
        dictionary->encoder = QStringEncoder(encoding.c_str());
        dictionary->decoder = QStringDecoder(encoding.c_str());
        if (!dictionary->encoder.isValid() || !dictionary->decoder.isValid())
            return nullptr; // an encoding Qt cannot convert to
        return dictionary;
    } catch (...) {
        return nullptr; // out of memory: no spell check rather than no program
    }
}

bool IsJoiner(QChar c)
{
    return c == u'-' || c == u'\'' || c == u'\u2019';
}

bool IsWordCharacter(QChar c)
{
    return c.isLetterOrNumber() || c.isMark();
}

bool IsChecked(QStringView word)
{
    bool lowercase = false;
    for (QChar c : word) {
        if (c.isNumber())
            return false;
        if (c.isLetter()) {
            if (c.script() != QChar::Script_Cyrillic)
                return false;
            lowercase = lowercase || c.isLower();
        }
    }
    return lowercase; // a word without a small letter is written in capitals
}

void AppendWords(QStringView chunk, qsizetype offset, QList<WordSpan> &words)
{
    qsizetype i = 0;
    while (i < chunk.size()) {
        if (!IsWordCharacter(chunk[i])) {
            ++i;
            continue;
        }
        const qsizetype start = i;
        while (i < chunk.size()
            && (IsWordCharacter(chunk[i])
                || (IsJoiner(chunk[i]) && i + 1 < chunk.size() && IsWordCharacter(chunk[i + 1]))))
            ++i;
        if (IsChecked(chunk.sliced(start, i - start)))
            words.append({ offset + start, i - start });
    }
}

} // namespace

QList<WordSpan> CheckedWords(QStringView text)
{
    QList<WordSpan> words;
    qsizetype i = 0;
    while (i < text.size()) {
        if (text[i].isSpace()) {
            ++i;
            continue;
        }
        const qsizetype start = i;
        while (i < text.size() && !text[i].isSpace())
            ++i;
        const QStringView chunk = text.sliced(start, i - start);
        if (!chunk.contains(u'@') && !chunk.contains(u"://"))
            AppendWords(chunk, start, words);
    }
    return words;
}

QStringList DictionaryFolders()
{
    QStringList folders;
    for (const QString &data :
        QStandardPaths::standardLocations(QStandardPaths::GenericDataLocation))
        folders.append(QDir(data).filePath(QStringLiteral("hunspell")));
    return folders;
}

QString PersonalWordsPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)
        + QStringLiteral("/lentar/words.txt");
}

SpellChecker::SpellChecker(QObject *parent)
    : QObject(parent)
{ }

SpellChecker::~SpellChecker()
{
    Loader &loader = TheLoader();
    const std::lock_guard lock(loader.mutex);
    std::erase(loader.waiting, this);
}

void SpellChecker::load()
{
    if (loadAsked_)
        return; // every field of the window asks
    loadAsked_ = true;
    // A list that cannot be read is left as it is; adding a word reads it again and
    // reports the failure then.
    try {
        if (QFileInfo::exists(PersonalWordsPath())) {
            for (const QByteArray &line : ReadWholeFile(PersonalWordsPath()).split('\n')) {
                if (const QString word = QString::fromUtf8(line).trimmed(); !word.isEmpty())
                    accepted_.insert(word);
            }
        }
    } catch (const FileError &) { }

    Loader &loader = TheLoader();
    const std::lock_guard lock(loader.mutex);
    if (loader.finished) {
        QMetaObject::invokeMethod(this, &SpellChecker::takeDictionary, Qt::QueuedConnection);
        return;
    }
    if (std::find(loader.waiting.begin(), loader.waiting.end(), this) == loader.waiting.end())
        loader.waiting.push_back(this);
    if (loader.started)
        return;
    loader.started = true;
    QString affix
        = QStandardPaths::locate(QStandardPaths::GenericDataLocation, QString::fromLatin1(kAffix));
    QString words
        = QFileInfo(affix).dir().filePath(QFileInfo(QString::fromLatin1(kWords)).fileName());
    if (affix.isEmpty() || !QFileInfo::exists(words))
        affix.clear();
    std::thread([affix = QFile::encodeName(affix), words = QFile::encodeName(words)] {
        auto dictionary = affix.isEmpty() ? nullptr : OpenDictionary(affix, words);
        Loader &loader = TheLoader();
        const std::lock_guard lock(loader.mutex);
        loader.dictionary = std::move(dictionary);
        loader.finished = true;
        for (QObject *checker : loader.waiting)
            QMetaObject::invokeMethod(checker, "takeDictionary", Qt::QueuedConnection);
        loader.waiting.clear();
    }).detach();
}

void SpellChecker::takeDictionary()
{
    {
        Loader &loader = TheLoader();
        const std::lock_guard lock(loader.mutex);
        dictionary_ = loader.dictionary;
    }
    emit changed();
}

bool SpellChecker::isAccepted(const QString &word) const
{
    if (accepted_.contains(word))
        return true;
    // A word the user accepted also counts at the start of a sentence.
    return word.front().isUpper() && accepted_.contains(word.front().toLower() + word.sliced(1));
}

bool SpellChecker::isMisspelt(const QString &word) const
{
    if (!dictionary_ || word.isEmpty() || isAccepted(word))
        return false;
    const auto known = verdicts_.constFind(word);
    if (known != verdicts_.constEnd())
        return *known;
    if (verdicts_.size() >= kMaxVerdicts)
        verdicts_.clear();
    const bool misspelt = !dictionary_->hunspell->spell(dictionary_->encode(word));
    verdicts_.insert(word, misspelt);
    return misspelt;
}

QStringList SpellChecker::suggestions(const QString &word) const
{
    QStringList found;
    if (!dictionary_)
        return found;
    for (const std::string &suggestion :
        dictionary_->hunspell->suggest(dictionary_->encode(word))) {
        if (found.size() == kMaxSuggestions)
            break;
        found.append(dictionary_->decode(suggestion));
    }
    return found;
}

void SpellChecker::ignore(const QString &word)
{
    accepted_.insert(word);
    emit changed();
}

void SpellChecker::addToDictionary(const QString &word)
{
    const QString path = PersonalWordsPath();
    QByteArray list = QFileInfo::exists(path) ? ReadWholeFile(path) : QByteArray();
    if (!list.split('\n').contains(word.toUtf8())) {
        if (!list.isEmpty() && !list.endsWith('\n'))
            list += '\n';
        list += word.toUtf8() + '\n';
        QDir().mkpath(QFileInfo(path).path()); // a failure shows as the write's own
        WriteFileAtomically(path, list);
    }
    accepted_.insert(word);
    emit changed();
}
