#include "windows/memo_edit.h"

#include <QKeyEvent>
#include <QMimeData>
#include <QTextDocumentFragment>

#include <limits>

int CrLfLength(const QString &plainText)
{
    return int(plainText.size() + plainText.count(u'\n'));
}

MemoEdit::MemoEdit(QWidget *parent)
    : QPlainTextEdit(parent)
{
    setTabChangesFocus(true);
    connect(this, &QPlainTextEdit::textChanged, this, [this] {
        QString now = toPlainText();
        if (now == shown_)
            return;
        shown_ = std::move(now);
        emit edited();
    });
}

QString MemoEdit::text() const
{
    QString plain = toPlainText();
    plain.replace(u'\n', QStringLiteral("\r\n"));
    return plain;
}

void MemoEdit::setText(const QString &text)
{
    QString plain = text;
    plain.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    plain.replace(u'\r', u'\n');
    setPlainText(plain);
}

int MemoEdit::room() const
{
    if (maxLength_ <= 0)
        return std::numeric_limits<int>::max();
    const QString selected = textCursor().selection().toPlainText();
    return maxLength_ - CrLfLength(toPlainText()) + CrLfLength(selected);
}

QString MemoEdit::fitting(const QString &text) const
{
    int left = room();
    qsizetype n = 0;
    for (; n < text.size(); ++n) {
        const QChar c = text.at(n);
        const int cost = (c == u'\n' || c == QChar::ParagraphSeparator) ? 2 : 1;
        if (cost > left)
            break;
        // Never split a surrogate pair.
        if (c.isHighSurrogate() && n + 1 < text.size()) {
            if (left < 2)
                break;
            left -= 2;
            ++n;
            continue;
        }
        left -= cost;
    }
    return text.left(n);
}

void MemoEdit::keyPressEvent(QKeyEvent *event)
{
    const bool lineBreak = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    const QString typed = lineBreak ? QStringLiteral("\n") : event->text();
    const bool inserts = lineBreak || (!typed.isEmpty() && typed.at(0).isPrint());
    if (inserts && fitting(typed).size() < typed.size()) {
        event->accept();
        return;
    }
    QPlainTextEdit::keyPressEvent(event);
}

void MemoEdit::insertFromMimeData(const QMimeData *source)
{
    if (!source->hasText())
        return;
    QString text = source->text();
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(u'\r', u'\n');
    insertPlainText(fitting(text));
}

void MemoEdit::inputMethodEvent(QInputMethodEvent *event)
{
    if (!event->commitString().isEmpty()) {
        const QString fit = fitting(event->commitString());
        if (fit.size() < event->commitString().size()) {
            QInputMethodEvent trimmed(event->preeditString(), event->attributes());
            trimmed.setCommitString(fit, event->replacementStart(), event->replacementLength());
            QPlainTextEdit::inputMethodEvent(&trimmed);
            return;
        }
    }
    QPlainTextEdit::inputMethodEvent(event);
}

void MemoEdit::mousePressEvent(QMouseEvent *event)
{
    QPlainTextEdit::mousePressEvent(event);
    emit clicked();
}
