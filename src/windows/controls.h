#pragma once

// Helpers that make the windows' controls. Every control gets its object name, which
// tests and the accessibility tree find it by, and its designed place.

#include <QRect>
#include <QString>
#include <QWidget>

class QDialog;
class QGroupBox;
class QLabel;
class QPushButton;

template<typename W> W *MakeControl(QWidget *parent, const char *name, QRect geometry = {})
{
    auto *widget = new W(parent);
    widget->setObjectName(QString::fromLatin1(name));
    if (geometry.isValid())
        widget->setGeometry(geometry);
    return widget;
}

// A label sized to its text. With a buddy it names that field: the field takes the
// label's text as its accessible name, and the label's mnemonic focuses it.
QLabel *MakeLabel(QWidget *parent, const char *name, const QString &text, QPoint at = {},
    QWidget *buddy = nullptr);

QGroupBox *MakeGroup(QWidget *parent, const char *name, QRect geometry, const QString &title);

QPushButton *MakeButton(QWidget *parent, const char *name, QRect geometry, const QString &caption);

// A fixed-size dialog with a title bar and a close box only.
void SetUpFixedDialog(QDialog &dialog, const char *name, const QString &caption);
