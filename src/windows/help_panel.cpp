#include "windows/help_panel.h"

#include <QEvent>
#include <QGroupBox>

namespace {

// Where the panel lies inside its group: below the title, clear of the frame.
constexpr int kLeft = 7;
constexpr int kTop = 18;
constexpr int kBottom = 4;

} // namespace

HelpPanel::HelpPanel(QGroupBox *group, const char *name, const QString &text)
    : QPlainTextEdit(group)
{
    setObjectName(QString::fromLatin1(name));
    setReadOnly(true);
    setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    setFocusPolicy(Qt::StrongFocus);
    setFrameShape(QFrame::NoFrame);
    setLineWrapMode(QPlainTextEdit::WidgetWidth);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // No background of its own: the group shows through, whatever the style paints there.
    viewport()->setAutoFillBackground(false);
    setAccessibleName(group->title());
    // The frame of the group already sets the text apart.
    document()->setDocumentMargin(2);
    group->installEventFilter(this);
    fitToGroup();
    setPlainText(text);
}

void HelpPanel::showText(const QString &text)
{
    if (toPlainText() != text)
        setPlainText(text);
}

bool HelpPanel::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == parent() && event->type() == QEvent::Resize)
        fitToGroup();
    return QPlainTextEdit::eventFilter(watched, event);
}

void HelpPanel::fitToGroup()
{
    const QWidget *group = parentWidget();
    setGeometry(kLeft, kTop, group->width() - 2 * kLeft, group->height() - kTop - kBottom);
}

// A panel that was hidden while its text was laid out gets its size only when it is
// shown, and the scroll bar shown for the earlier layout would stay; placing the scroll
// bar again hides it when the text fits.
void HelpPanel::showEvent(QShowEvent *event)
{
    QPlainTextEdit::showEvent(event);
    setVerticalScrollBarPolicy(verticalScrollBarPolicy());
}
