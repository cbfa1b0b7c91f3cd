#pragma once

#include "document/lentar_document.h"

#include <QDialog>

#include <array>
#include <map>

class QCheckBox;
class QGroupBox;
class QLabel;
class QPushButton;

// The subject dialog: up to three main subjects and, in addition to them, the two
// additional ones. Its boxes keep their states between showings.
class SubjectDialog : public QDialog
{
    Q_OBJECT
public:
    explicit SubjectDialog(QWidget *parent = nullptr);

    // The checked subjects' sb_id values in catalogue order, then zeros.
    std::array<int, kSubjectSlots> chosenSlots() const;
    // Checks exactly the boxes of the given sb_id values (0 ignored).
    void setChosen(const std::array<int, kSubjectSlots> &chosen);

protected:
    void changeEvent(QEvent *event) override;

private:
    QCheckBox *box(int sb_id) const;
    void enableBoxes();
    void fitToFont();

    std::map<int, QCheckBox *> boxes_;
    std::array<QGroupBox *, 4> groups_ {};
    std::array<QLabel *, 3> labels_ {};
    QPushButton *chooseButton_ = nullptr;
};
