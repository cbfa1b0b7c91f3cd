#pragma once

#include <QPlainTextEdit>

class QGroupBox;

// The help text of a "Помощь" group. It fills the group below its title, on the group's
// own background, read-only and word-wrapped. A keyboard user reaches it with Tab; the
// text caret then shows the focus, and the arrow and page keys scroll a text longer
// than the panel. Its accessible name is the group's title.
class HelpPanel : public QPlainTextEdit
{
    Q_OBJECT
public:
    HelpPanel(QGroupBox *group, const char *name, const QString &text);

    // Replaces the text (nothing happens when it is the one shown) and shows its start.
    void showText(const QString &text);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void fitToGroup();
};
