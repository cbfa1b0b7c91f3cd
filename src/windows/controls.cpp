#include "windows/controls.h"

#include <QAbstractItemView>
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>

QLabel *MakeLabel(QWidget *parent, const char *name, const QString &text, QPoint at, QWidget *buddy)
{
    auto *label = MakeControl<QLabel>(parent, name);
    label->setText(text);
    label->move(at);
    label->adjustSize();
    if (buddy) {
        label->setBuddy(buddy);
        // Lists and tables do not take their accessible name from a buddy.
        if (qobject_cast<QAbstractItemView *>(buddy))
            buddy->setAccessibleName(text);
    }
    return label;
}

QGroupBox *MakeGroup(QWidget *parent, const char *name, QRect geometry, const QString &title)
{
    auto *group = MakeControl<QGroupBox>(parent, name, geometry);
    group->setTitle(title);
    return group;
}

QPushButton *MakeButton(QWidget *parent, const char *name, QRect geometry, const QString &caption)
{
    auto *button = MakeControl<QPushButton>(parent, name, geometry);
    button->setText(caption);
    return button;
}

void SetUpFixedDialog(QDialog &dialog, const char *name, const QString &caption)
{
    dialog.setObjectName(QString::fromLatin1(name));
    dialog.setWindowTitle(caption);
    dialog.setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint
        | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
}
