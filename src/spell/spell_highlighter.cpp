#include "spell/spell_highlighter.h"

#include "codec/error.h"
#include "spell/spell_checker.h"

#include <QAction>
#include <QKeyEvent>
#include <QMenu>
#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTextEdit>
#include <QTimer>

#include <limits>

SpellHighlighter::SpellHighlighter(QPlainTextEdit *editor, SpellChecker &checker)
    : QSyntaxHighlighter(editor->document())
    , checker_(checker)
{
    attach(editor);
}

SpellHighlighter::SpellHighlighter(QTextEdit *editor, SpellChecker &checker)
    : QSyntaxHighlighter(editor->document())
    , checker_(checker)
{
    attach(editor);
}

// QSyntaxHighlighter's destructor clears the underline, which is an edit of the
// document: it must not reach this part, which is gone by then.
SpellHighlighter::~SpellHighlighter()
{
    for (const QMetaObject::Connection &connection : editorSignals_)
        disconnect(connection);
}

template<typename Editor> void SpellHighlighter::attach(Editor *editor)
{
    editor_ = editor;
    cursor_ = [editor] { return editor->textCursor(); };
    cursorAt_ = [editor](const QPoint &at) { return editor->cursorForPosition(at); };
    standardMenu_ = [editor] { return editor->createStandardContextMenu(); };
    misspelt_.setUnderlineStyle(QTextCharFormat::SpellCheckUnderline);
    misspelt_.setUnderlineColor(Qt::red);

    editor->installEventFilter(this);
    editor->viewport()->installEventFilter(this);
    editorSignals_[0]
        = connect(editor, &Editor::cursorPositionChanged, this, &SpellHighlighter::cursorMoved);
    editorSignals_[1] = connect(editor->document(), &QTextDocument::contentsChange, this,
        [this] { edited_ = edited_ || !underlining_; });
    connect(&checker_, &SpellChecker::changed, this, [this] { underline({}); });
    editor->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(editor, &QWidget::customContextMenuRequested, this, [this, editor](const QPoint &at) {
        QMenu *menu = createContextMenu(at);
        menu->setAttribute(Qt::WA_DeleteOnClose);
        menu->popup(editor->viewport()->mapToGlobal(at));
    });
}

bool SpellHighlighter::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::Paint:
        if (!loadAsked_) {
            loadAsked_ = true;
            QTimer::singleShot(0, &checker_, &SpellChecker::load);
        }
        break;
    case QEvent::KeyPress:
        typing_
            = typing_ || (watched == editor_ && !static_cast<QKeyEvent *>(event)->text().isEmpty());
        break;
    case QEvent::InputMethod:
        typing_ = typing_ || watched == editor_;
        break;
    case QEvent::FocusOut:
        if (watched == editor_
            && static_cast<QFocusEvent *>(event)->reason() != Qt::PopupFocusReason)
            stopTyping();
        break;
    default:
        break;
    }
    return QSyntaxHighlighter::eventFilter(watched, event);
}

void SpellHighlighter::highlightBlock(const QString &text)
{
    if (!checker_.isReady())
        return;
    int typed = -1; // where the cursor is in this paragraph while a word is typed
    if (typing_) {
        const QTextCursor cursor = cursor_();
        if (cursor.block() == currentBlock())
            typed = cursor.positionInBlock();
    }
    for (const WordSpan &word : CheckedWords(text)) {
        if (typed >= word.start && typed <= word.start + word.length) {
            skippedFrom_ = int(currentBlock().position() + word.start);
            skippedTo_ = int(skippedFrom_ + word.length);
            continue;
        }
        if (checker_.isMisspelt(text.sliced(word.start, word.length)))
            setFormat(int(word.start), int(word.length), misspelt_);
    }
}

void SpellHighlighter::stopTyping()
{
    typing_ = false;
    if (skippedFrom_ < 0)
        return;
    const QTextBlock block = document()->findBlock(skippedFrom_);
    skippedFrom_ = skippedTo_ = -1;
    underline(block);
}

// The document reports a new underline as a change of its contents; that is no edit.
void SpellHighlighter::underline(const QTextBlock &block)
{
    underlining_ = true;
    if (block.isValid())
        rehighlightBlock(block);
    else
        rehighlight();
    underlining_ = false;
}

// A cursor moved by an edit stays with the word being typed; one moved on its own (by
// the arrow keys, a click) has left it.
void SpellHighlighter::cursorMoved()
{
    if (!edited_)
        stopTyping();
    edited_ = false;
}

QTextCursor SpellHighlighter::wordAt(const QTextCursor &cursor) const
{
    const QTextBlock block = cursor.block();
    const int at = cursor.positionInBlock();
    for (const WordSpan &word : CheckedWords(block.text())) {
        if (at < word.start || at > word.start + word.length)
            continue;
        QTextCursor selected(block);
        selected.setPosition(int(block.position() + word.start));
        selected.setPosition(
            int(block.position() + word.start + word.length), QTextCursor::KeepAnchor);
        return selected;
    }
    return {};
}

QMenu *SpellHighlighter::createContextMenu(const QPoint &at)
{
    QMenu *menu = standardMenu_();
    const QTextCursor word = wordAt(cursorAt_(at));
    const QString spelt = word.selectedText();
    if (spelt.isEmpty() || !checker_.isMisspelt(spelt))
        return menu;

    QAction *standard = menu->actions().value(0);
    const int room = room_ ? room_() : std::numeric_limits<int>::max();
    for (const QString &suggestion : checker_.suggestions(spelt)) {
        if (suggestion.size() - spelt.size() > room)
            continue;
        auto *replace = new QAction(suggestion, menu);
        connect(replace, &QAction::triggered, this,
            [this, word, suggestion] { replaceWord(word, suggestion); });
        menu->insertAction(standard, replace);
    }
    menu->insertSeparator(standard);
    auto *skip = new QAction(QStringLiteral("Пропустить"), menu);
    connect(skip, &QAction::triggered, this, [this, spelt] { checker_.ignore(spelt); });
    auto *add = new QAction(QStringLiteral("Добавить в словарь"), menu);
    connect(add, &QAction::triggered, this, [this, spelt] {
        try {
            checker_.addToDictionary(spelt);
        } catch (const LentarError &error) {
            emit failed(QString::fromUtf8(error.what()));
        }
    });
    menu->insertActions(standard, { skip, add });
    menu->insertSeparator(standard);
    return menu;
}

// One edit, so that one Ctrl+Z brings the word back.
void SpellHighlighter::replaceWord(QTextCursor word, const QString &replacement)
{
    typing_ = false;
    word.beginEditBlock();
    word.insertText(replacement);
    word.endEditBlock();
}
