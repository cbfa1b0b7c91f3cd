#pragma once

// Russian spell checking for the text fields, with Hunspell and the system's ru_RU
// dictionary: which words of a text are checked, whether a word is spelt right, what
// it may have been meant to be, and the words the user told us to accept. The
// dictionary takes a noticeable time to load, so it is loaded once per process on a
// thread of its own; until it is there, and for good when it cannot be found, every
// word counts as right and the fields look as they would without a spell check.

#include <QHash>
#include <QList>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>

#include <memory>

struct SpellDictionary;

// A word of a paragraph: where it starts and how many characters it has.
struct WordSpan
{
    qsizetype start = 0;
    qsizetype length = 0;
};

// The words of a paragraph that are checked: runs of letters, joined by a hyphen or an
// apostrophe between letters ("что-то"). Left out are words with digits, words with a
// letter that is not Cyrillic (Latin words, names of programs), words in capitals
// (abbreviations) and everything in a chunk that holds "@" or "://" (e-mail and web
// addresses).
QList<WordSpan> CheckedWords(QStringView text);

// Where the dictionary is looked for: "hunspell/ru_RU.aff" and "hunspell/ru_RU.dic" in
// each of these folders, the first found wins (the desktop's data folders,
// $XDG_DATA_HOME and $XDG_DATA_DIRS).
QStringList DictionaryFolders();

// Where "Добавить в словарь" keeps its words, one a line:
// $XDG_DATA_HOME/lentar/words.txt (~/.local/share/lentar/words.txt by default).
QString PersonalWordsPath();

class SpellChecker : public QObject
{
    Q_OBJECT
public:
    static constexpr int kMaxSuggestions = 5;

    explicit SpellChecker(QObject *parent = nullptr);
    ~SpellChecker() override;

    // Starts loading the dictionary unless this process has already done so; changed()
    // follows when it is there. Also reads the personal word list. Only the first call
    // of a checker does anything.
    void load();
    bool isReady() const { return dictionary_ != nullptr; }

    // False for every word until the dictionary is there.
    bool isMisspelt(const QString &word) const;
    // At most kMaxSuggestions, the likeliest first.
    QStringList suggestions(const QString &word) const;

    // "Пропустить": the word counts as right until the program ends.
    void ignore(const QString &word);
    // "Добавить в словарь": the word counts as right from now on, and is added to the
    // personal word list on disk. Throws FileError when the list cannot be read or
    // written; the list on disk is then as it was.
    void addToDictionary(const QString &word);

signals:
    // The loading ended (with or without a dictionary) or a word was accepted: what is
    // underlined may change.
    void changed();

private:
    Q_INVOKABLE void takeDictionary();
    bool isAccepted(const QString &word) const;

    std::shared_ptr<SpellDictionary> dictionary_;
    bool loadAsked_ = false;
    QSet<QString> accepted_; // ignored for this session, or in the personal word list
    mutable QHash<QString, bool> verdicts_; // the dictionary's answers, asked once a word
};
