#include "windows/subject_dialog.h"

#include "document/subject_catalogue.h"
#include "windows/controls.h"

#include <QCheckBox>
#include <QEvent>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>

#include <algorithm>

namespace {

constexpr int kAdditionalTeacherAid = 22;
constexpr int kAdditionalProject = 24;
constexpr int kMainSubjects = 21; // CheckBox1 to CheckBox21
constexpr int kMaxMainChosen = 3;

// Where each box sits at the designed font: its frame (0 research, 1 other,
// 2 additional), its column and row there, and its place inside the frame.
struct BoxPlace
{
    int sb_id;
    int group;
    int column;
    int row;
    QRect rect;
};

constexpr BoxPlace kPlaces[] = {
    { 1, 0, 0, 0, { 16, 24, 215, 17 } },
    { 2, 0, 0, 1, { 16, 47, 169, 17 } },
    { 3, 0, 0, 2, { 16, 70, 169, 17 } },
    { 4, 0, 0, 3, { 16, 93, 169, 17 } },
    { 5, 0, 0, 4, { 16, 116, 169, 17 } },
    { 6, 0, 1, 0, { 237, 24, 201, 17 } },
    { 7, 0, 1, 1, { 237, 47, 169, 17 } },
    { 8, 0, 1, 2, { 237, 70, 169, 17 } },
    { 9, 0, 1, 3, { 237, 93, 169, 17 } },
    { 10, 0, 1, 4, { 237, 116, 195, 17 } },
    { 11, 0, 2, 0, { 468, 24, 132, 17 } },
    { 12, 0, 2, 1, { 468, 47, 132, 17 } },
    { 13, 0, 2, 2, { 468, 70, 132, 17 } },
    { 14, 0, 2, 3, { 468, 93, 132, 17 } },
    { 15, 0, 2, 4, { 468, 116, 132, 17 } },
    { 16, 1, 0, 0, { 16, 28, 169, 17 } },
    { 17, 1, 0, 1, { 16, 51, 169, 17 } },
    { 18, 1, 1, 0, { 237, 29, 169, 17 } },
    { 19, 1, 1, 1, { 237, 52, 169, 17 } },
    { 20, 1, 2, 0, { 468, 27, 160, 17 } },
    { 21, 1, 2, 1, { 469, 50, 159, 17 } },
    { 22, 2, 0, 0, { 16, 27, 129, 17 } },
    { 24, 2, 0, 1, { 16, 50, 169, 17 } },
};
constexpr int kColumnLeft[] = { 16, 237, 468 };
constexpr int kRowPitch = 23;

} // namespace

SubjectDialog::SubjectDialog(QWidget *parent)
    : QDialog(parent)
{
    SetUpFixedDialog(*this, "Subjects", QStringLiteral("Разделы"));

    // Created in the tab order: the two main frames, the button, then the rest.
    const auto makeGroup = [this](int index, const QString &caption) {
        auto *group = new QGroupBox(caption, this);
        group->setObjectName(QStringLiteral("GroupBox%1").arg(index + 1));
        groups_[index] = group;
    };
    const auto makeBoxes = [this](int group) {
        for (const BoxPlace &place : kPlaces) {
            if (place.group != group)
                continue;
            auto *box = new QCheckBox(groups_[group]);
            box->setObjectName(QStringLiteral("CheckBox%1").arg(place.sb_id));
            boxes_[place.sb_id] = box;
            // The additional "Учебный проект" box has no handler of its own: it
            // never changes the other boxes.
            if (place.sb_id != kAdditionalProject)
                connect(box, &QCheckBox::clicked, this, &SubjectDialog::enableBoxes);
        }
    };

    makeGroup(0, SubjectCatalogue::groupCaption(SubjectGroup::Research));
    makeBoxes(0);
    makeGroup(1, SubjectCatalogue::groupCaption(SubjectGroup::Other));
    makeBoxes(1);

    chooseButton_ = MakeButton(this, "Button1", {}, QStringLiteral("Выбрать"));
    connect(chooseButton_, &QPushButton::clicked, this, &QDialog::accept);

    makeGroup(2, SubjectCatalogue::groupCaption(SubjectGroup::Additional));
    makeBoxes(2);
    makeGroup(3, QStringLiteral("Помощь"));

    const QString helpLines[] = {
        QStringLiteral("Работа может быть отнесена к нескольким разделам (не более чем к трём)."),
        QStringLiteral(
            " Разделы «В помощь учителю» и конкурс «Учебный проект» можно указать лишь "),
        QStringLiteral("в дополнение к основным разделам."),
    };
    for (int i = 0; i < 3; ++i) {
        labels_[i] = new QLabel(helpLines[i], groups_[3]);
        labels_[i]->setObjectName(QStringLiteral("Label%1").arg(i + 1));
    }

    for (const Subject &subject : SubjectCatalogue::all()) {
        if (QCheckBox *b = box(subject.sb_id))
            b->setText(subject.dialogCaption);
    }

    box(kAdditionalTeacherAid)->setEnabled(false);
    box(kAdditionalProject)->setEnabled(false);

    fitToFont();
}

QCheckBox *SubjectDialog::box(int sb_id) const
{
    const auto found = boxes_.find(sb_id);
    return found == boxes_.end() ? nullptr : found->second;
}

std::array<int, kSubjectSlots> SubjectDialog::chosenSlots() const
{
    std::array<int, kSubjectSlots> chosen {};
    std::size_t next = 0;
    // The map is ordered by sb_id, which is the catalogue order.
    for (const auto &[sb_id, b] : boxes_) {
        if (b->isChecked() && next < chosen.size())
            chosen[next++] = sb_id;
    }
    return chosen;
}

void SubjectDialog::setChosen(const std::array<int, kSubjectSlots> &chosen)
{
    for (const auto &[sb_id, b] : boxes_)
        b->setChecked(std::find(chosen.begin(), chosen.end(), sb_id) != chosen.end());
    enableBoxes();
}

// Looks only at the states of the boxes, never at which one was clicked.
void SubjectDialog::enableBoxes()
{
    int mainChecked = 0;
    for (int sb_id = 1; sb_id <= kMainSubjects; ++sb_id)
        mainChecked += box(sb_id)->isChecked() ? 1 : 0;

    for (int sb_id = 1; sb_id <= kMainSubjects; ++sb_id) {
        QCheckBox *b = box(sb_id);
        b->setEnabled(mainChecked < kMaxMainChosen || b->isChecked());
    }

    for (int sb_id : { kAdditionalTeacherAid, kAdditionalProject }) {
        QCheckBox *b = box(sb_id);
        b->setEnabled(mainChecked >= 1);
        if (mainChecked < 1)
            b->setChecked(false);
    }
}

void SubjectDialog::changeEvent(QEvent *event)
{
    QDialog::changeEvent(event);
    if (event->type() == QEvent::FontChange)
        fitToFont();
}

// Keeps the designed arrangement (three columns in the two main frames, the
// additional frame beside the help frame, the button bottom right) and the designed
// places as far as the font allows; where a caption would be cut, its column, frame
// and the dialog grow instead.
void SubjectDialog::fitToFont()
{
    int boxHeight = 17;
    std::array<int, 3> columnWidth {};
    int extraWidth3 = 0;
    for (const BoxPlace &place : kPlaces) {
        const QSize hint = box(place.sb_id)->sizeHint();
        boxHeight = std::max(boxHeight, hint.height());
        if (place.group < 2)
            columnWidth[place.column]
                = std::max({ columnWidth[place.column], place.rect.width(), hint.width() });
        else
            extraWidth3 = std::max({ extraWidth3, place.rect.width(), hint.width() });
    }
    const int rowExtra = std::max(0, boxHeight + 4 - kRowPitch);

    std::array<int, 3> columnLeft {};
    for (int c = 0; c < 3; ++c) {
        columnLeft[c] = kColumnLeft[c];
        if (c > 0)
            columnLeft[c] = std::max(columnLeft[c], columnLeft[c - 1] + columnWidth[c - 1] + 6);
    }

    std::array<int, 3> contentRight {}, contentBottom {};
    for (const BoxPlace &place : kPlaces) {
        QRect r = place.rect;
        r.moveTop(r.top() + place.row * rowExtra);
        r.setHeight(boxHeight);
        if (place.group < 2) {
            r.moveLeft(r.left() + columnLeft[place.column] - kColumnLeft[place.column]);
            r.setWidth(std::max(r.width(), box(place.sb_id)->sizeHint().width()));
        } else {
            r.setWidth(extraWidth3);
        }
        box(place.sb_id)->setGeometry(r);
        contentRight[place.group] = std::max(contentRight[place.group], r.right() + 1);
        contentBottom[place.group] = std::max(contentBottom[place.group], r.bottom() + 1);
    }

    int labelPitch = 15;
    int labelsRight = 0;
    for (QLabel *label : labels_) {
        label->adjustSize();
        labelPitch = std::max(labelPitch, label->height() + 1);
        labelsRight = std::max(labelsRight, 11 + label->width());
    }
    for (int i = 0; i < 3; ++i)
        labels_[i]->move(11, 18 + i * labelPitch);
    const int labelsBottom = 18 + 2 * labelPitch + labels_[2]->height();

    const int mainWidth = std::max(649, std::max(contentRight[0], contentRight[1]) + 16);
    const int group1Height = std::max(153, contentBottom[0] + 20);
    const int group2Height = std::max(82, contentBottom[1] + 13);
    const int group3Width = std::max(188, contentRight[2] + 3);
    const int bottomHeight = std::max({ 82, contentBottom[2] + 15, labelsBottom + 8 });
    const int group4Left = 8 + group3Width + 6;
    const int group4Width = std::max({ 455, labelsRight + 11, 8 + mainWidth - group4Left });
    const int width = std::max(8 + mainWidth, group4Left + group4Width) + 7;

    groups_[0]->setGeometry(8, 8, width - 15, group1Height);
    groups_[1]->setGeometry(8, 8 + group1Height + 6, width - 15, group2Height);
    const int bottomTop = groups_[1]->geometry().bottom() + 1 + 6;
    groups_[2]->setGeometry(8, bottomTop, group3Width, bottomHeight);
    groups_[3]->setGeometry(group4Left, bottomTop, width - 7 - group4Left, bottomHeight);
    const int buttonTop = bottomTop + bottomHeight + 6;
    chooseButton_->setGeometry(width - 8 - 75, buttonTop, 75, 25);
    setFixedSize(width, buttonTop + 25 + 6);
}
