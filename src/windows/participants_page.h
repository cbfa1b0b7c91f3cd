#pragma once

#include "document/lentar_document.h"

#include <QList>
#include <QWidget>

class Platform;
class TForm1;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;

// The page "Авторы и руководители": up to 10 authors and 3 leaders added by
// identifier, their names, and the leader who receives the invoice. The two halves
// run one flow; a small table says how they differ.
class ParticipantsPage : public QWidget
{
    Q_OBJECT
public:
    ParticipantsPage(TForm1 &idDialog, Platform &platform, QWidget *parent = nullptr);

    QList<Participant> authors() const;
    QList<Participant> leaders() const;
    int invoiceLeader() const; // -1 while there are no leaders

    // Replaces both lists (used when a window is filled from a document).
    void setParticipants(const QList<Participant> &authors, const QList<Participant> &leaders,
                         int invoiceLeader);

    void AuthorAddClick();
    void TeacherAddClick();
    void AuthorDeleteClick();
    void TeacherDeleteClick();
    void AuthorSelectClick();
    void TeacherSelectClick();

signals:
    // Any change of the participants or the invoice leader.
    void changed();

private:
    struct Half;
    // implementation detail of the helper that writes it
};
