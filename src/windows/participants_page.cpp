#include "windows/participants_page.h"

#include "codec/participant_id.h"
#include "platform/platform.h"
#include "windows/controls.h"
#include "windows/help_panel.h"
#include "windows/help_texts.h"
#include "windows/identifier_dialog.h"

#include <QComboBox>
#include <QEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSignalBlocker>
#include <QStyle>

#include <algorithm>

namespace {

// The highlighted row, -1 when nothing is highlighted. A Ctrl+click takes the
// highlight off the current row without moving it, so the current row alone does
// not say who is chosen.
int selectedRow(const QListWidget &list)
{
    const QList<QListWidgetItem *> selected = list.selectedItems();
    return selected.isEmpty() ? -1 : list.row(selected.first());
}

int findItem(const QListWidget &list, const QString &text)
{
    for (int i = 0; i < list.count(); ++i) {
        if (list.item(i)->text() == text)
            return i;
    }
    return -1;
}

void setGrey(QLineEdit &edit, bool grey)
{
    if (!grey) {
        edit.setPalette(QPalette());
        return;
    }
    QPalette palette = edit.palette();
    palette.setColor(QPalette::Base, palette.color(QPalette::Button));
    edit.setPalette(palette);
}

} // namespace

struct ParticipantsPage::HalfNames
{
    int left;
    int width;
    const char *group;
    const char *list;
    const char *add;
    const char *del;
    std::array<const char *, 3> edits;
    std::array<const char *, 4> labels;
};

ParticipantsPage::ParticipantsPage(
    IdentifierDialog &identifierDialog, Platform &platform, QWidget *parent)
    : QWidget(parent)
    , identifierDialog_(identifierDialog)
    , platform_(platform)
{
    authors_.capacity = kMaxAuthors;
    authors_.editsRight = 357;
    authors_.captionPrefix = QStringLiteral("Авторы (");
    authors_.duplicateMessage = QStringLiteral("Введенный ID уже является руководителем работы");
    authors_.deleteQuestion = QStringLiteral("Вы действительно хотите удалить автора из списка?");
    authors_.deleteCaption = QStringLiteral("Удаление автора");
    authors_.other = &leaders_;

    leaders_.capacity = kMaxLeaders;
    leaders_.editsRight = 361;
    leaders_.captionPrefix = QStringLiteral("Руководители (");
    leaders_.duplicateMessage = QStringLiteral("Введенный ID уже является автором работы");
    leaders_.deleteQuestion
        = QStringLiteral("Вы действительно хотите удалить руководителя из списка?");
    leaders_.deleteCaption = QStringLiteral("Удаление автора");
    leaders_.keepsLeaderId = true;
    leaders_.greysOnDelete = true;
    leaders_.other = &authors_;

    buildHalf(authors_,
        { 3, 382, "AuthorsGroup", "AuthorsListBox", "AuthorAdd", "AuthorDelete",
            { "AuthorsLastname", "AuthorsName", "AuthorsPatronymic" },
            { "Author_idLabel", "Last_nameLabel", "NameLabel", "AuthorPatronymicLabel" } });
    buildHalf(leaders_,
        { 391, 383, "TeachersGroup", "TeachersListBox", "TeacherAdd", "TeacherDelete",
            { "TeachersLastname", "TeachersName", "TeachersPatronymic" },
            { "TeacherLabel", "tsurnameLabel", "tnameLabel", "PatronymicLabel" } });

    invoiceLeaderBox_ = MakeControl<QComboBox>(leaders_.group, "LeaderID");
    invoiceLeaderBox_->setEditable(false);
    invoiceLeaderBox_->setEnabled(false);
    invoiceLeaderLabel_ = MakeLabel(leaders_.group, "LeaderID_Label",
        QStringLiteral("Счет для оплаты направлять:"), {}, invoiceLeaderBox_);
    invoiceLeaderLabel_->setEnabled(false);
    // The user may pick another invoice leader at any time.
    connect(invoiceLeaderBox_, &QComboBox::currentIndexChanged, this, &ParticipantsPage::changed);

    helpGroup_ = MakeGroup(this, "GroupBox1", QRect(3, 224, 771, 210), QStringLiteral("Помощь"));
    helpPanel_ = new HelpPanel(helpGroup_, "Memo1", HelpText(kAuthorsHelp));

    // Both lists start empty, so both halves have room.
    for (Half *half : { &authors_, &leaders_ })
        showCount(*half);

    fitToFont();
}

void ParticipantsPage::buildHalf(Half &half, const HalfNames &names)
{
    half.group = MakeGroup(this, names.group, QRect(names.left, 3, names.width, 215), QString());

    // Created in the tab order of the half.
    half.list = MakeControl<QListWidget>(half.group, names.list);
    half.list->setSelectionMode(QAbstractItemView::SingleSelection);
    half.add = MakeButton(half.group, names.add, {}, QStringLiteral("Добавить"));
    half.del = MakeButton(half.group, names.del, {}, QStringLiteral("Удалить"));
    half.del->setEnabled(false);
    for (int i = 0; i < 3; ++i) {
        half.edits[i] = MakeControl<QLineEdit>(half.group, names.edits[i]);
        half.edits[i]->setMaxLength(Limits::personName);
    }

    const QString labelTexts[] = { QStringLiteral("Номер:"), QStringLiteral("Фамилия:"),
        QStringLiteral("Имя:"), QStringLiteral("Отчество:") };
    const std::array<QWidget *, 4> named
        = { half.list, half.edits[0], half.edits[1], half.edits[2] };
    for (int i = 0; i < 4; ++i)
        half.labels[i] = MakeLabel(half.group, names.labels[i], labelTexts[i], {}, named[i]);
    setEditsEditable(half, false);

    connect(half.add, &QPushButton::clicked, this, [this, &half] { onAdd(half); });
    connect(half.del, &QPushButton::clicked, this, [this, &half] { onDelete(half); });
    connect(half.list, &QListWidget::itemSelectionChanged, this, [this, &half] { onSelect(half); });
    for (int i = 0; i < 3; ++i)
        connect(half.edits[i], &QLineEdit::textChanged, this,
            [this, &half, i] { onNameEdited(half, i); });
}

QList<Participant> ParticipantsPage::authors() const
{
    return authors_.records;
}

QList<Participant> ParticipantsPage::leaders() const
{
    return leaders_.records;
}

int ParticipantsPage::invoiceLeader() const
{
    return invoiceLeaderBox_->currentIndex();
}

void ParticipantsPage::setParticipants(
    const QList<Participant> &authors, const QList<Participant> &leaders, int invoiceLeader)
{
    const auto fill = [this](Half &half, const QList<Participant> &records) {
        half.records = records.first(std::min<qsizetype>(records.size(), half.capacity));
        QSignalBlocker blockList(half.list);
        half.list->clear();
        for (const Participant &p : half.records)
            half.list->addItem(p.id);
        if (half.keepsLeaderId) {
            QSignalBlocker blockCombo(invoiceLeaderBox_);
            invoiceLeaderBox_->clear();
            for (const Participant &p : half.records)
                invoiceLeaderBox_->addItem(p.id);
        }
    };
    fill(authors_, authors);
    fill(leaders_, leaders);

    const bool anyLeader = !leaders_.records.isEmpty();
    {
        QSignalBlocker blockCombo(invoiceLeaderBox_);
        invoiceLeaderBox_->setCurrentIndex(
            invoiceLeader >= 0 && invoiceLeader < invoiceLeaderBox_->count() ? invoiceLeader
                : anyLeader                                                  ? 0
                                                                             : -1);
    }
    invoiceLeaderBox_->setEnabled(anyLeader);
    invoiceLeaderLabel_->setEnabled(anyLeader);

    for (Half *half : { &authors_, &leaders_ }) {
        if (half->records.isEmpty()) {
            for (QLineEdit *edit : half->edits)
                edit->clear();
            setEditsEditable(*half, false);
            half->del->setEnabled(false);
        } else {
            {
                QSignalBlocker blockList(half->list);
                half->list->setCurrentRow(0);
            }
            onSelect(*half);
        }
        showCount(*half);
    }
    emit changed();
}

void ParticipantsPage::onAdd(Half &half)
{
    if (half.records.size() >= half.capacity)
        return; // the button is disabled then; a direct call must not overfill the list
    const std::optional<QString> typed = identifierDialog_.askIdentifier();
    if (!typed)
        return;

    const ParsedParticipantId parsed = ParseParticipantId(typed->toStdString());
    if (parsed.shape != IdShape::Valid) {
        platform_.showMessage(QStringLiteral("Введен ошибочный ID"), QStringLiteral("Ошибка"),
            MessageIcon::Error, MessageButtons::Ok);
        return;
    }
    const QString id = QString::fromStdString(parsed.formatted);

    // An identifier occurs at most once across both lists: a repeated one only shows
    // the participant who already has it.
    if (const int own = findItem(*half.list, id); own >= 0) {
        half.list->setCurrentRow(own);
        onSelect(half);
        return;
    }
    Half &other = *half.other;
    if (const int found = findItem(*other.list, id); found >= 0) {
        other.list->setCurrentRow(found);
        onSelect(other);
        platform_.showMessage(
            half.duplicateMessage, QStringLiteral("Ошибка"), MessageIcon::None, MessageButtons::Ok);
        return;
    }

    half.records.append(Participant { id, {}, {}, {} });
    {
        QSignalBlocker blockList(half.list);
        half.list->addItem(id);
    }
    if (half.keepsLeaderId) {
        invoiceLeaderBox_->addItem(id);
        if (invoiceLeaderBox_->count() == 1)
            invoiceLeaderBox_->setCurrentIndex(0);
        invoiceLeaderLabel_->setEnabled(true);
        invoiceLeaderBox_->setEnabled(true);
    }
    {
        QSignalBlocker blockList(half.list);
        half.list->setCurrentRow(int(half.records.size()) - 1);
    }
    onSelect(half);
    showCount(half);
    emit changed();
}

void ParticipantsPage::onSelect(Half &half)
{
    const int row = selectedRow(*half.list);
    if (row < 0 || row >= half.records.size()) {
        // Nobody is chosen: the edits show no one and take no typing, and there is
        // no one to delete.
        half.del->setEnabled(false);
        setEditsEditable(half, false);
        for (QLineEdit *edit : half.edits)
            edit->clear();
        return;
    }
    half.del->setEnabled(true);
    // Copies first: setting an edit's text stores it back into the record.
    const Participant selected = half.records[row];
    half.edits[0]->setText(selected.surname);
    half.edits[1]->setText(selected.name);
    half.edits[2]->setText(selected.patronymic);
    setEditsEditable(half, true);
}

void ParticipantsPage::onDelete(Half &half)
{
    const int k = selectedRow(*half.list);
    if (k < 0 || k >= half.records.size())
        return;
    if (platform_.showMessage(
            half.deleteQuestion, half.deleteCaption, MessageIcon::Question, MessageButtons::YesNo)
        != MessageAnswer::Yes) {
        return;
    }

    half.records.removeAt(k);
    {
        QSignalBlocker blockList(half.list);
        delete half.list->takeItem(k);
    }
    if (half.keepsLeaderId) {
        invoiceLeaderBox_->removeItem(k);
        if (invoiceLeaderBox_->count() == 0) {
            invoiceLeaderLabel_->setEnabled(false);
            invoiceLeaderBox_->setEnabled(false);
        }
    }
    half.del->setEnabled(false);

    // Nothing typed into the edits of an empty half could belong to anyone, so they
    // are closed for both halves then.
    if (half.greysOnDelete || half.records.isEmpty())
        setEditsEditable(half, false);

    if (!half.records.isEmpty()) {
        // The one before the deleted participant; the invoice follows the leader
        // selection.
        const int j = std::max(k - 1, 0);
        {
            QSignalBlocker blockList(half.list);
            half.list->setCurrentRow(j);
        }
        if (half.keepsLeaderId)
            invoiceLeaderBox_->setCurrentIndex(j);
        onSelect(half);
    } else {
        {
            QSignalBlocker blockList(half.list);
            half.list->setCurrentRow(-1);
        }
        for (QLineEdit *edit : half.edits)
            edit->clear();
    }
    showCount(half);
    emit changed();
}

// Stores into the selected participant only; with no selection the text belongs to
// nobody and is stored nowhere.
void ParticipantsPage::onNameEdited(Half &half, int field)
{
    const int row = selectedRow(*half.list);
    if (row < 0 || row >= half.records.size())
        return;
    Participant &record = half.records[row];
    QString &target = field == 0 ? record.surname : field == 1 ? record.name : record.patronymic;
    const QString stored = ReduceToCp1251(half.edits[field]->text());
    if (target == stored)
        return;
    target = stored;
    emit changed();
}

void ParticipantsPage::showCount(Half &half)
{
    const int count = int(half.records.size());
    half.group->setTitle(half.captionPrefix + QString::number(count) + u')');
    half.add->setEnabled(count < half.capacity);
}

// Read-only edits look like the page around them; editable ones have the usual
// window colour.
void ParticipantsPage::setEditsEditable(Half &half, bool editable)
{
    for (QLineEdit *edit : half.edits) {
        edit->setReadOnly(!editable);
        setGrey(*edit, !editable);
    }
}

void ParticipantsPage::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::FontChange)
        fitToFont();
}

// The designed places, except that the lists widen to show a whole identifier (the
// edits beside them narrow to keep the right edge) and the invoice choice keeps its
// right edge in line with the edits.
void ParticipantsPage::fitToFont()
{
    const QString widestId = QStringLiteral("000-000-000");
    for (Half *half : { &authors_, &leaders_ }) {
        const int editsRight = half->editsRight;
        const int listWidth = std::max(73,
            half->list->fontMetrics().horizontalAdvance(widestId) + 2 * half->list->frameWidth() + 8
                + half->list->style()->pixelMetric(QStyle::PM_ScrollBarExtent));
        half->list->setGeometry(16, 43, listWidth, 113);
        half->add->setGeometry(16, 162, listWidth, 20);
        half->del->setGeometry(16, 186, listWidth, 20);
        const int editsLeft = std::max(104, 16 + listWidth + 15);
        for (int i = 0; i < 3; ++i)
            half->edits[i]->setGeometry(editsLeft, 43 + 46 * i, editsRight - editsLeft, 21);
        half->labels[0]->move(16, 24);
        for (int i = 1; i < 4; ++i)
            half->labels[i]->move(editsLeft, 24 + 46 * (i - 1));
        for (QLabel *label : half->labels)
            label->adjustSize();
    }

    const int leaderRight = 361;
    const int comboWidth = std::max(89,
        invoiceLeaderBox_->fontMetrics().horizontalAdvance(widestId)
            + invoiceLeaderBox_->style()->pixelMetric(QStyle::PM_ScrollBarExtent) + 16);
    invoiceLeaderBox_->setGeometry(leaderRight - comboWidth, 186, comboWidth,
        std::max(21, invoiceLeaderBox_->sizeHint().height()));
    invoiceLeaderLabel_->adjustSize();
    invoiceLeaderLabel_->move(std::min(208, leaderRight - invoiceLeaderLabel_->width()), 167);
}
