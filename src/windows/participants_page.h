#pragma once

#include "document/lentar_document.h"

#include <QList>
#include <QString>
#include <QWidget>

#include <array>

class HelpPanel;
class Platform;
class IdentifierDialog;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

// The page "Авторы и руководители": up to 10 authors and 3 leaders added by
// identifier, their names, and the leader who receives the invoice. The two halves
// run one flow; a small table says how they differ.
class ParticipantsPage : public QWidget
{
    Q_OBJECT
public:
    ParticipantsPage(
        IdentifierDialog &identifierDialog, Platform &platform, QWidget *parent = nullptr);

    QList<Participant> authors() const;
    QList<Participant> leaders() const;
    int invoiceLeader() const; // -1 while there are no leaders

    // Replaces both lists (used when a window is filled from a document).
    void setParticipants(
        const QList<Participant> &authors, const QList<Participant> &leaders, int invoiceLeader);

signals:
    // Any change of the participants or the invoice leader.
    void changed();

protected:
    void changeEvent(QEvent *event) override;

private:
    // What differs between the authors' and the leaders' half of the page.
    struct Half
    {
        QGroupBox *group = nullptr;
        QListWidget *list = nullptr;
        QPushButton *add = nullptr;
        QPushButton *del = nullptr;
        std::array<QLineEdit *, 3> edits {}; // surname, name, patronymic
        std::array<QLabel *, 4> labels {}; // identifier, surname, name, patronymic
        QList<Participant> records; // one per list item, in the same order
        int capacity = 0;
        int editsRight = 0; // right edge of the name edits inside the group
        QString captionPrefix;
        QString duplicateMessage; // the identifier already belongs to the other half
        QString deleteQuestion;
        QString deleteCaption;
        bool keepsLeaderId = false; // the invoice choice mirrors this list
        bool greysOnDelete = false; // edits read-only and grey before the reselection
        Half *other = nullptr;
    };

    struct HalfNames;
    void buildHalf(Half &half, const HalfNames &names);
    void onAdd(Half &half);
    void onSelect(Half &half);
    void onDelete(Half &half);
    void onNameEdited(Half &half, int field);
    void showCount(Half &half);
    void setEditsEditable(Half &half, bool editable);
    void fitToFont();

    IdentifierDialog &identifierDialog_;
    Platform &platform_;
    Half authors_;
    Half leaders_;
    QLabel *invoiceLeaderLabel_ = nullptr;
    QComboBox *invoiceLeaderBox_ = nullptr;
    QGroupBox *helpGroup_ = nullptr;
    HelpPanel *helpPanel_ = nullptr;
};
