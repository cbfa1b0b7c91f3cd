#include "windows/line_edit.h"

#include <QKeyEvent>
#include <QMimeData>
#include <QRegularExpression>

namespace {

QString OnOneLine(QString text)
{
    static const QRegularExpression lineBreak(QStringLiteral("\r\n|[\r\n\u2028\u2029]"));
    return text.replace(lineBreak, QStringLiteral(" "));
}

} // namespace

LineEdit::LineEdit(QWidget *parent)
    : MemoEdit(parent)
{
    setLineWrapMode(QPlainTextEdit::NoWrap);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    document()->setDocumentMargin(1);
}

void LineEdit::setText(const QString &text)
{
    MemoEdit::setText(OnOneLine(text));
}

void LineEdit::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        event->ignore();
        return;
    }
    MemoEdit::keyPressEvent(event);
}

void LineEdit::insertFromMimeData(const QMimeData *source)
{
    if (!source->hasText())
        return;
    QMimeData oneLine;
    oneLine.setText(OnOneLine(source->text()));
    MemoEdit::insertFromMimeData(&oneLine);
}

void LineEdit::inputMethodEvent(QInputMethodEvent *event)
{
    const QString commit = OnOneLine(event->commitString());
    if (commit == event->commitString()) {
        MemoEdit::inputMethodEvent(event);
        return;
    }
    QInputMethodEvent oneLine(event->preeditString(), event->attributes());
    oneLine.setCommitString(commit, event->replacementStart(), event->replacementLength());
    MemoEdit::inputMethodEvent(&oneLine);
}
