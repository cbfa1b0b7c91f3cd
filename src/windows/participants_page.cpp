#include "windows/participants_page.h"

#include "codec/participant_id.h"
#include "platform/platform.h"
#include "windows/add.h"
#include "windows/help_texts.h"

#include <QComboBox>
#include <QEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QStyle>

#include <algorithm>

namespace {

// Identifiers are nine digits; a text of any other shape cannot pass the check.
bool isNineDigits(const std::string &text)
{
    return text.size() == 9
        && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

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

ParticipantsPage::ParticipantsPage(TForm1 &idDialog, Platform &platform, QWidget *parent)
    : QWidget(parent)
    , idDialog_(idDialog)
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
    connect(authors_.add, &QPushButton::clicked, this, &ParticipantsPage::AuthorAddClick);
    connect(authors_.del, &QPushButton::clicked, this, &ParticipantsPage::AuthorDeleteClick);
    connect(authors_.list, &QListWidget::itemSelectionChanged, this,
        &ParticipantsPage::AuthorSelectClick);
    connect(
        authors_.edits[0], &QLineEdit::textChanged, this, &ParticipantsPage::AuthorsLastnameChange);
    connect(authors_.edits[1], &QLineEdit::textChanged, this, &ParticipantsPage::AuthorsNameChange);
    connect(authors_.edits[2], &QLineEdit::textChanged, this,
        &ParticipantsPage::AuthorsPatronymicChange);

    buildHalf(leaders_,
        { 391, 383, "TeachersGroup", "TeachersListBox", "TeacherAdd", "TeacherDelete",
            { "TeachersLastname", "TeachersName", "TeachersPatronymic" },
            { "TeacherLabel", "tsurnameLabel", "tnameLabel", "PatronymicLabel" } });
    connect(leaders_.add, &QPushButton::clicked, this, &ParticipantsPage::TeacherAddClick);
    connect(leaders_.del, &QPushButton::clicked, this, &ParticipantsPage::TeacherDeleteClick);
    connect(leaders_.list, &QListWidget::itemSelectionChanged, this,
        &ParticipantsPage::TeacherSelectClick);
    connect(leaders_.edits[0], &QLineEdit::textChanged, this,
        &ParticipantsPage::TeachersLastnameChange);
    connect(
        leaders_.edits[1], &QLineEdit::textChanged, this, &ParticipantsPage::TeachersNameChange);
    connect(leaders_.edits[2], &QLineEdit::textChanged, this,
        &ParticipantsPage::TeachersPatronymicChange);

    LeaderID_Label = new QLabel(QStringLiteral("Счет для оплаты направлять:"), leaders_.group);
    LeaderID_Label->setObjectName(QStringLiteral("LeaderID_Label"));
    LeaderID_Label->setEnabled(false);
    LeaderID = new QComboBox(leaders_.group);
    LeaderID->setObjectName(QStringLiteral("LeaderID"));
    LeaderID->setEditable(false);
    LeaderID->setEnabled(false);
    LeaderID_Label->setBuddy(LeaderID);
    // The user may pick another invoice leader at any time.
    connect(LeaderID, &QComboBox::currentIndexChanged, this, &ParticipantsPage::changed);

    GroupBox1 = new QGroupBox(QStringLiteral("Помощь"), this);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    GroupBox1->setGeometry(3, 224, 771, 210);
    Memo1 = new QPlainTextEdit(GroupBox1);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setGeometry(7, 18, 755, 183);
    Memo1->setReadOnly(true);
    Memo1->setFrameShape(QFrame::NoFrame);
    Memo1->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    Memo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    QPalette memoPalette = Memo1->palette();
    memoPalette.setColor(QPalette::Base, memoPalette.color(QPalette::Window));
    Memo1->setPalette(memoPalette);
    Memo1->setPlainText(HelpText(kAuthorsHelp));

    // Both lists start empty, so both halves have room.
    for (Half *half : { &authors_, &leaders_ })
        showCount(*half);

    fitToFont();
}

void ParticipantsPage::buildHalf(Half &half, const HalfNames &names)
{
    half.group = new QGroupBox(this);
    half.group->setObjectName(QString::fromLatin1(names.group));
    half.group->setGeometry(names.left, 3, names.width, 215);

    const QString labelTexts[] = { QStringLiteral("Номер:"), QStringLiteral("Фамилия:"),
        QStringLiteral("Имя:"), QStringLiteral("Отчество:") };
    for (int i = 0; i < 4; ++i) {
        half.labels[i] = new QLabel(labelTexts[i], half.group);
        half.labels[i]->setObjectName(QString::fromLatin1(names.labels[i]));
    }

    // Created in the tab order of the half.
    half.list = new QListWidget(half.group);
    half.list->setObjectName(QString::fromLatin1(names.list));
    half.list->setSelectionMode(QAbstractItemView::SingleSelection);
    half.add = new QPushButton(QStringLiteral("Добавить"), half.group);
    half.add->setObjectName(QString::fromLatin1(names.add));
    half.del = new QPushButton(QStringLiteral("Удалить"), half.group);
    half.del->setObjectName(QString::fromLatin1(names.del));
    half.del->setEnabled(false);
    for (int i = 0; i < 3; ++i) {
        auto *edit = new QLineEdit(half.group);
        edit->setObjectName(QString::fromLatin1(names.edits[i]));
        edit->setMaxLength(Limits::personName);
        half.edits[i] = edit;
        half.labels[i + 1]->setBuddy(edit);
    }
    setEditsEditable(half, false);
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
    return LeaderID->currentIndex();
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
            QSignalBlocker blockCombo(LeaderID);
            LeaderID->clear();
            for (const Participant &p : half.records)
                LeaderID->addItem(p.id);
        }
    };
    fill(authors_, authors);
    fill(leaders_, leaders);

    const bool anyLeader = !leaders_.records.isEmpty();
    {
        QSignalBlocker blockCombo(LeaderID);
        LeaderID->setCurrentIndex(invoiceLeader >= 0 && invoiceLeader < LeaderID->count()
                ? invoiceLeader
                : anyLeader ? 0
                            : -1);
    }
    LeaderID->setEnabled(anyLeader);
    LeaderID_Label->setEnabled(anyLeader);

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
            selectClick(*half);
        }
        showCount(*half);
    }
    emit changed();
}

void ParticipantsPage::AuthorAddClick()
{
    addClick(authors_);
}

void ParticipantsPage::TeacherAddClick()
{
    addClick(leaders_);
}

void ParticipantsPage::AuthorDeleteClick()
{
    deleteClick(authors_);
}

void ParticipantsPage::TeacherDeleteClick()
{
    deleteClick(leaders_);
}

void ParticipantsPage::AuthorSelectClick()
{
    selectClick(authors_);
}

void ParticipantsPage::TeacherSelectClick()
{
    selectClick(leaders_);
}

void ParticipantsPage::AuthorsLastnameChange()
{
    nameChange(authors_, 0);
}

void ParticipantsPage::AuthorsNameChange()
{
    nameChange(authors_, 1);
}

void ParticipantsPage::AuthorsPatronymicChange()
{
    nameChange(authors_, 2);
}

void ParticipantsPage::TeachersLastnameChange()
{
    nameChange(leaders_, 0);
}

void ParticipantsPage::TeachersNameChange()
{
    nameChange(leaders_, 1);
}

void ParticipantsPage::TeachersPatronymicChange()
{
    nameChange(leaders_, 2);
}

void ParticipantsPage::addClick(Half &half)
{
    if (half.records.size() >= half.capacity)
        return; // the button is disabled then; a direct call must not overfill the list
    const std::optional<QString> typed = idDialog_.askIdentifier();
    if (!typed)
        return;

    const std::string normalized = NormalizeParticipantId(typed->toStdString());
    if (!isNineDigits(normalized) || !CheckParticipantId(normalized)) {
        platform_.showMessage(QStringLiteral("Введен ошибочный ID"), QStringLiteral("Ошибка"),
            MessageIcon::Error, MessageButtons::Ok);
        return;
    }
    const QString id = QString::fromStdString(FormatParticipantId(normalized));

    // An identifier occurs at most once across both lists: a repeated one only shows
    // the participant who already has it.
    if (const int own = findItem(*half.list, id); own >= 0) {
        half.list->setCurrentRow(own);
        selectClick(half);
        return;
    }
    Half &other = *half.other;
    if (const int found = findItem(*other.list, id); found >= 0) {
        other.list->setCurrentRow(found);
        selectClick(other);
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
        LeaderID->addItem(id);
        if (LeaderID->count() == 1)
            LeaderID->setCurrentIndex(0);
        LeaderID_Label->setEnabled(true);
        LeaderID->setEnabled(true);
    }
    {
        QSignalBlocker blockList(half.list);
        half.list->setCurrentRow(int(half.records.size()) - 1);
    }
    selectClick(half);
    showCount(half);
    emit changed();
}

void ParticipantsPage::selectClick(Half &half)
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

void ParticipantsPage::deleteClick(Half &half)
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
        LeaderID->removeItem(k);
        if (LeaderID->count() == 0) {
            LeaderID_Label->setEnabled(false);
            LeaderID->setEnabled(false);
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
            LeaderID->setCurrentIndex(j);
        selectClick(half);
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
void ParticipantsPage::nameChange(Half &half, int field)
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
        LeaderID->fontMetrics().horizontalAdvance(widestId)
            + LeaderID->style()->pixelMetric(QStyle::PM_ScrollBarExtent) + 16);
    LeaderID->setGeometry(
        leaderRight - comboWidth, 186, comboWidth, std::max(21, LeaderID->sizeHint().height()));
    LeaderID_Label->adjustSize();
    LeaderID_Label->move(std::min(208, leaderRight - LeaderID_Label->width()), 167);
}
