#pragma once

// The spell check as a text field shows it: misspelt words get a red wavy underline,
// and the field's context menu offers corrections for the word under the mouse.

#include <QSyntaxHighlighter>
#include <QTextBlock>
#include <QTextCharFormat>
#include <QTextCursor>

#include <functional>

class QAbstractScrollArea;
class QMenu;
class QPlainTextEdit;
class QTextEdit;
class SpellChecker;

// Underlines the misspelt words of one field. Only the paragraph an edit touched is
// checked again. The word being typed stays unmarked until the cursor leaves it, so
// that an unfinished word does not flash red. The field's first paint starts loading
// the dictionary, so that the program's start does not wait for it.
class SpellHighlighter : public QSyntaxHighlighter
{
    Q_OBJECT
public:
    SpellHighlighter(QPlainTextEdit *editor, SpellChecker &checker);
    SpellHighlighter(QTextEdit *editor, SpellChecker &checker);
    ~SpellHighlighter() override;

    // How many more characters the field takes (its length limit): a suggestion that
    // would not fit in place of its word is not offered. No limit when not set.
    void setRoom(std::function<int()> room) { room_ = std::move(room); }

    // The field's context menu at a point of its viewport: up to five suggestions for
    // a misspelt word there, "Пропустить" and "Добавить в словарь", then the standard
    // edit menu. The caller owns the menu.
    QMenu *createContextMenu(const QPoint &at);

signals:
    // Adding a word to the personal word list failed; message says why, in Russian.
    void failed(const QString &message);

protected:
    void highlightBlock(const QString &text) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    template<typename Editor> void attach(Editor *editor);
    // The checked word at cursor's position, selected; a cursor without selection when
    // there is none.
    QTextCursor wordAt(const QTextCursor &cursor) const;
    void replaceWord(QTextCursor word, const QString &replacement);
    void stopTyping();
    // Underlines block again, or the whole document for an invalid block.
    void underline(const QTextBlock &block);
    void cursorMoved();

    SpellChecker &checker_;
    QAbstractScrollArea *editor_ = nullptr;
    std::function<QTextCursor()> cursor_;
    std::function<QTextCursor(const QPoint &)> cursorAt_;
    std::function<QMenu *()> standardMenu_;
    std::function<int()> room_;
    QMetaObject::Connection editorSignals_[2];
    QTextCharFormat misspelt_;
    bool loadAsked_ = false;
    bool typing_ = false; // the user types: the word at the cursor is being written
    bool edited_ = false; // the text changed since the cursor last moved
    bool underlining_ = false;
    int skippedFrom_ = -1; // the word left unmarked while it is typed, in document positions
    int skippedTo_ = -1;
};
