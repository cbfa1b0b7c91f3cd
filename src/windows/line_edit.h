#pragma once

#include "windows/memo_edit.h"

// A one-line text field that, unlike QLineEdit, can show the spell check's underline.
// It never holds a line break: Enter is left to the window, as QLineEdit leaves it, and
// every line break of a pasted, dropped or set text becomes a blank.
class LineEdit : public MemoEdit
{
    Q_OBJECT
public:
    explicit LineEdit(QWidget *parent = nullptr);

    void setText(const QString &text);

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void insertFromMimeData(const QMimeData *source) override;
    void inputMethodEvent(QInputMethodEvent *event) override;
};
