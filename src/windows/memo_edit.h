#pragma once

#include <QPlainTextEdit>

// A multi-line edit that reports its text with CR LF line breaks and limits its length
// the way a lentar counts it: a line break is two characters.
class MemoEdit : public QPlainTextEdit
{
    Q_OBJECT
public:
    explicit MemoEdit(QWidget *parent = nullptr);

    void setMaxLength(int length) { maxLength_ = length; }
    int maxLength() const { return maxLength_; }

    // The text with CR LF between lines.
    QString text() const;
    // Accepts LF, CR LF or CR line breaks.
    void setText(const QString &text);

signals:
    // Mouse press inside the field (focus changes are seen by the window itself).
    void clicked();
    // The text changed. textChanged() also comes when only the look of the text does,
    // as when the spell check underlines a word.
    void edited();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void insertFromMimeData(const QMimeData *source) override;
    void inputMethodEvent(QInputMethodEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;

private:
    // Characters still free when the selection is replaced.
    int room() const;
    // The longest start of text that fits into the room left.
    QString fitting(const QString &text) const;

    int maxLength_ = 0; // 0: no limit
    QString shown_; // the text as edited() last told it
};

// Length of text in CR LF terms: every line feed counts as two characters.
int CrLfLength(const QString &plainText);
