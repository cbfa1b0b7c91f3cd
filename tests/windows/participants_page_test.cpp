#include "windows/participants_page.h"

#include "codec/participant_id.h"
#include "scripted_platform.h"
#include "window_driver.h"
#include "windows/identifier_dialog.h"

#include <QComboBox>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <functional>

namespace {

// A nine-digit identifier with correct check digits; seed picks the body.
QString normalizedId(int seed)
{
    const std::string body = std::to_string(1234567 + seed * 111111);
    return QString::fromStdString(body + ComputeIdCheckDigits(body));
}

QString displayedId(int seed)
{
    return QString::fromStdString(FormatParticipantId(normalizedId(seed).toStdString()));
}

QString wrongCheckDigits(int seed)
{
    const std::string body = std::to_string(1234567 + seed * 111111);
    const int right = std::stoi(ComputeIdCheckDigits(body));
    return QString::fromStdString(body)
        + QStringLiteral("%1").arg((right + 1) % 100, 2, 10, QChar(u'0'));
}

// Types text into a widget key by key, with the text the keyboard would carry.
void typeText(QWidget *target, const QString &text)
{
    for (QChar c : text) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
        QApplication::sendEvent(target, &press);
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_unknown, Qt::NoModifier, QString(c));
        QApplication::sendEvent(target, &release);
    }
}

bool isGrey(const QLineEdit *edit)
{
    return edit->palette().color(QPalette::Base) == edit->palette().color(QPalette::Button);
}

struct Page
{
    ScriptedPlatform platform;
    IdentifierDialog dialog;
    ParticipantsPage page { dialog, platform };
    bool dialogStuck = false;

    Page() { page.show(); }

    QListWidget *list(bool leaders)
    {
        return Child<QListWidget>(&page, leaders ? "TeachersListBox" : "AuthorsListBox");
    }
    QPushButton *addButton(bool leaders)
    {
        return Child<QPushButton>(&page, leaders ? "TeacherAdd" : "AuthorAdd");
    }
    QPushButton *deleteButton(bool leaders)
    {
        return Child<QPushButton>(&page, leaders ? "TeacherDelete" : "AuthorDelete");
    }
    QGroupBox *group(bool leaders)
    {
        return Child<QGroupBox>(&page, leaders ? "TeachersGroup" : "AuthorsGroup");
    }
    std::array<QLineEdit *, 3> edits(bool leaders)
    {
        if (leaders)
            return { Child<QLineEdit>(&page, "TeachersLastname"),
                Child<QLineEdit>(&page, "TeachersName"),
                Child<QLineEdit>(&page, "TeachersPatronymic") };
        return { Child<QLineEdit>(&page, "AuthorsLastname"), Child<QLineEdit>(&page, "AuthorsName"),
            Child<QLineEdit>(&page, "AuthorsPatronymic") };
    }
    QComboBox *leaderId() { return Child<QComboBox>(&page, "LeaderID"); }
    QLineEdit *idField() { return Child<QLineEdit>(&dialog, "AddID"); }
    QPushButton *idButton() { return Child<QPushButton>(&dialog, "Button1"); }
    // Clicks the participant in that row of the list.
    void pick(bool leaders, int row)
    {
        QListWidget *l = list(leaders);
        l->scrollToItem(l->item(row));
        QTest::mouseClick(
            l->viewport(), Qt::LeftButton, {}, l->visualItemRect(l->item(row)).center());
    }
    // Chooses the invoice leader in the drop-down list with the keyboard.
    void pickInvoiceLeader(int index)
    {
        QTest::keyClick(leaderId(), Qt::Key_Home);
        for (int i = 0; i < index; ++i)
            QTest::keyClick(leaderId(), Qt::Key_Down);
    }
    QList<Participant> records(bool leaders) { return leaders ? page.leaders() : page.authors(); }

    // Presses Add and, in the identifier dialog that opens, types the text and
    // presses its button; with no text, closes the dialog by its close box.
    void add(bool leaders, const std::optional<QString> &typed)
    {
        QTimer answer;
        answer.setSingleShot(true);
        QObject::connect(&answer, &QTimer::timeout, &dialog, [this, typed] {
            if (!typed) {
                dialog.close();
                return;
            }
            QTest::keyClicks(idField(), *typed);
            QTest::mouseClick(idButton(), Qt::LeftButton);
            if (dialog.isVisible()) {
                dialogStuck = true;
                dialog.reject();
            }
        });
        answer.start(0);
        QTest::mouseClick(addButton(leaders), Qt::LeftButton);
        const bool shown = !answer.isActive();
        answer.stop();
        QVERIFY2(shown, "the identifier dialog did not open");
        QVERIFY2(!dialogStuck, "the identifier dialog refused the text");
    }
    void addSeeds(bool leaders, std::initializer_list<int> seeds)
    {
        for (int seed : seeds)
            add(leaders, normalizedId(seed));
    }
    void remove(bool leaders, MessageAnswer answer = MessageAnswer::Yes)
    {
        platform.messageAnswers.enqueue(answer);
        QTest::mouseClick(deleteButton(leaders), Qt::LeftButton);
    }
    QStringList ids(bool leaders)
    {
        QStringList result;
        for (const Participant &p : records(leaders))
            result << p.id;
        return result;
    }
};

void addHalfColumn()
{
    QTest::addColumn<bool>("leaders");
}

} // namespace

class ParticipantsPageTest : public QObject
{
    Q_OBJECT

private slots:
    void startState();
    void fillToCapacity_data();
    void fillToCapacity();
    void wrongIdentifier_data();
    void wrongIdentifier();
    void duplicates_data();
    void duplicates();
    void deleteSelectsPrevious_data();
    void deleteSelectsPrevious();
    void invoiceLeader();
    void deletingTheLastParticipant_data();
    void deletingTheLastParticipant();
    void answeringNoKeepsEverything();
    void namesGoToTheSelectedParticipant();
    void nothingHighlightedMeansNoOneIsEdited_data();
    void nothingHighlightedMeansNoOneIsEdited();
    void namesReducedToCp1251_data();
    void namesReducedToCp1251();
    void newParticipantStartsWithoutNames();
    void changedSignal();
    void identifierDialogForgetsEarlierText();
    void setParticipants();
    void controlsFitTheirGroups();
};

void ParticipantsPageTest::startState()
{
    Page p;
    for (bool leaders : { false, true }) {
        QVERIFY(p.addButton(leaders)->isEnabled());
        QVERIFY(!p.deleteButton(leaders)->isEnabled());
        for (QLineEdit *edit : p.edits(leaders)) {
            QVERIFY(edit->isReadOnly());
            QVERIFY(isGrey(edit));
            QCOMPARE(edit->maxLength(), 50);
        }
    }
    QCOMPARE(p.group(false)->title(), QStringLiteral("Авторы (0)"));
    QCOMPARE(p.group(true)->title(), QStringLiteral("Руководители (0)"));
    QVERIFY(!p.leaderId()->isEnabled());
    QVERIFY(!Child<QLabel>(&p.page, "LeaderID_Label")->isEnabled());
    QCOMPARE(p.page.invoiceLeader(), -1);
}

void ParticipantsPageTest::fillToCapacity_data()
{
    QTest::addColumn<bool>("leaders");
    QTest::addColumn<int>("capacity");
    QTest::addColumn<QString>("prefix");
    QTest::newRow("authors") << false << 10 << QStringLiteral("Авторы (");
    QTest::newRow("leaders") << true << 3 << QStringLiteral("Руководители (");
}

void ParticipantsPageTest::fillToCapacity()
{
    QFETCH(bool, leaders);
    QFETCH(int, capacity);
    QFETCH(QString, prefix);

    Page p;
    QStringList expected;
    for (int seed = 0; seed < capacity; ++seed) {
        QVERIFY(p.addButton(leaders)->isEnabled());
        p.add(leaders, normalizedId(seed));
        expected << displayedId(seed);
        QCOMPARE(p.group(leaders)->title(), prefix + QString::number(seed + 1) + u')');
        QCOMPARE(p.list(leaders)->currentRow(), seed);
        QVERIFY(p.deleteButton(leaders)->isEnabled());
    }
    QVERIFY(!p.addButton(leaders)->isEnabled());
    QCOMPARE(p.ids(leaders), expected);
    QCOMPARE(p.list(leaders)->count(), capacity);
    QCOMPARE(p.list(leaders)->item(capacity - 1)->text(), displayedId(capacity - 1));
    QVERIFY(p.records(!leaders).isEmpty());

    p.pick(leaders, 1);
    p.remove(leaders);
    QVERIFY(p.addButton(leaders)->isEnabled());
    QCOMPARE(p.group(leaders)->title(), prefix + QString::number(capacity - 1) + u')');
    expected.removeAt(1);
    QCOMPARE(p.ids(leaders), expected);
}

void ParticipantsPageTest::wrongIdentifier_data()
{
    addHalfColumn();
    QTest::newRow("authors") << false;
    QTest::newRow("leaders") << true;
}

void ParticipantsPageTest::wrongIdentifier()
{
    QFETCH(bool, leaders);
    Page p;
    p.add(leaders, wrongCheckDigits(4));
    QCOMPARE(p.platform.messages.size(), 1);
    const ScriptedPlatform::Message &m = p.platform.messages.first();
    QCOMPARE(m.text, QStringLiteral("Введен ошибочный ID"));
    QCOMPARE(m.caption, QStringLiteral("Ошибка"));
    QCOMPARE(m.icon, MessageIcon::Error);
    QCOMPARE(m.buttons, MessageButtons::Ok);
    QCOMPARE(p.list(leaders)->count(), 0);
    QVERIFY(p.records(leaders).isEmpty());
}

void ParticipantsPageTest::duplicates_data()
{
    QTest::addColumn<bool>("addToLeaders"); // the half whose Add is pressed
    QTest::addColumn<bool>("holderIsLeaders"); // the half that already has the identifier
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("message");

    const QString n = normalizedId(1);
    const QString spaced = n.left(3) + u' ' + n.mid(3, 3) + u' ' + n.mid(6);
    const QString oddDashes = n.left(1) + u'-' + n.mid(1, 7) + u'-' + n.mid(8);
    QTest::newRow("author again") << false << false << n << QString();
    QTest::newRow("author again, blanks") << false << false << spaced << QString();
    QTest::newRow("leader again, odd dashes") << true << true << oddDashes << QString();
    QTest::newRow("leader typed as author")
        << false << true << displayedId(1)
        << QStringLiteral("Введенный ID уже является руководителем работы");
    QTest::newRow("author typed as leader")
        << true << false << spaced << QStringLiteral("Введенный ID уже является автором работы");
}

void ParticipantsPageTest::duplicates()
{
    QFETCH(bool, addToLeaders);
    QFETCH(bool, holderIsLeaders);
    QFETCH(QString, typed);
    QFETCH(QString, message);

    Page p;
    // The holder has two participants, the one of seed 1 first, named so the edits
    // show who gets selected; the last one added is selected.
    p.addSeeds(holderIsLeaders, { 1, 2 });
    p.pick(holderIsLeaders, 0);
    typeText(p.edits(holderIsLeaders)[0], QStringLiteral("Первый"));
    p.pick(holderIsLeaders, 1);
    const QList<Participant> before = p.records(holderIsLeaders);
    const int addedBefore = int(p.records(addToLeaders).size());

    p.add(addToLeaders, typed);

    QCOMPARE(p.records(holderIsLeaders), before);
    QCOMPARE(p.records(addToLeaders).size(), addedBefore);
    QCOMPARE(p.list(holderIsLeaders)->currentRow(), 0);
    QCOMPARE(p.edits(holderIsLeaders)[0]->text(), QStringLiteral("Первый"));
    QVERIFY(!p.edits(holderIsLeaders)[0]->isReadOnly());
    if (message.isEmpty()) {
        QVERIFY(p.platform.messages.isEmpty());
    } else {
        QCOMPARE(p.platform.messages.size(), 1);
        const ScriptedPlatform::Message &m = p.platform.messages.first();
        QCOMPARE(m.text, message);
        QCOMPARE(m.caption, QStringLiteral("Ошибка"));
        QCOMPARE(m.icon, MessageIcon::None);
        QCOMPARE(m.buttons, MessageButtons::Ok);
    }
}

void ParticipantsPageTest::deleteSelectsPrevious_data()
{
    QTest::addColumn<bool>("leaders");
    QTest::addColumn<int>("deleted");
    QTest::addColumn<int>("selected");
    QTest::addColumn<QList<int>>("remaining");
    QTest::newRow("authors, first") << false << 0 << 0 << QList<int> { 1, 2 };
    QTest::newRow("authors, middle") << false << 1 << 0 << QList<int> { 0, 2 };
    QTest::newRow("authors, last") << false << 2 << 1 << QList<int> { 0, 1 };
    QTest::newRow("leaders, first") << true << 0 << 0 << QList<int> { 1, 2 };
    QTest::newRow("leaders, middle") << true << 1 << 0 << QList<int> { 0, 2 };
    QTest::newRow("leaders, last") << true << 2 << 1 << QList<int> { 0, 1 };
}

void ParticipantsPageTest::deleteSelectsPrevious()
{
    QFETCH(bool, leaders);
    QFETCH(int, deleted);
    QFETCH(int, selected);
    QFETCH(QList<int>, remaining);

    Page p;
    p.addSeeds(leaders, { 0, 1, 2 });
    const QStringList surnames { QStringLiteral("Первый"), QStringLiteral("Второй"),
        QStringLiteral("Третий") };
    for (int i = 0; i < 3; ++i) {
        p.pick(leaders, i);
        typeText(p.edits(leaders)[0], surnames[i]);
    }
    p.pick(leaders, deleted);
    p.remove(leaders);

    QCOMPARE(p.platform.messages.size(), 1);
    const ScriptedPlatform::Message &m = p.platform.messages.first();
    QCOMPARE(m.text,
        leaders ? QStringLiteral("Вы действительно хотите удалить руководителя из списка?")
                : QStringLiteral("Вы действительно хотите удалить автора из списка?"));
    QCOMPARE(m.caption, QStringLiteral("Удаление автора"));
    QCOMPARE(m.icon, MessageIcon::Question);
    QCOMPARE(m.buttons, MessageButtons::YesNo);

    QStringList expectedIds;
    for (int seed : remaining)
        expectedIds << displayedId(seed);
    QCOMPARE(p.ids(leaders), expectedIds);
    QCOMPARE(p.list(leaders)->count(), 2);
    QCOMPARE(p.list(leaders)->item(0)->text(), expectedIds[0]);
    QCOMPARE(p.list(leaders)->currentRow(), selected);
    // The names moved with their participants and the edits show the selected one.
    QCOMPARE(p.records(leaders)[selected].surname, surnames[remaining[selected]]);
    QCOMPARE(p.edits(leaders)[0]->text(), surnames[remaining[selected]]);
    QVERIFY(!p.edits(leaders)[0]->isReadOnly());
    QVERIFY(!isGrey(p.edits(leaders)[0]));
    QVERIFY(p.deleteButton(leaders)->isEnabled());
    if (leaders) {
        QCOMPARE(p.leaderId()->count(), 2);
        QCOMPARE(p.leaderId()->itemText(1), expectedIds[1]);
        QCOMPARE(p.page.invoiceLeader(), selected);
    }
}

void ParticipantsPageTest::invoiceLeader()
{
    Page p;
    p.add(true, normalizedId(0));
    QCOMPARE(p.page.invoiceLeader(), 0);
    QVERIFY(p.leaderId()->isEnabled());
    QVERIFY(Child<QLabel>(&p.page, "LeaderID_Label")->isEnabled());
    p.add(true, normalizedId(1));
    QCOMPARE(p.page.invoiceLeader(), 0);

    // The user sends the invoice to B; adding C leaves that choice alone.
    p.pickInvoiceLeader(1);
    p.add(true, normalizedId(2));
    QCOMPARE(p.page.invoiceLeader(), 1);
    QStringList items;
    for (int i = 0; i < p.leaderId()->count(); ++i)
        items << p.leaderId()->itemText(i);
    QCOMPARE(items, p.ids(true));

    // Invoice to C, A deleted: the invoice goes to the leader now selected, B.
    p.pickInvoiceLeader(2);
    p.pick(true, 0);
    p.remove(true);
    QCOMPARE(p.page.invoiceLeader(), 0);
    QCOMPARE(p.leaderId()->currentText(), displayedId(1));
    QCOMPARE(p.list(true)->currentItem()->text(), displayedId(1));
}

void ParticipantsPageTest::deletingTheLastParticipant_data()
{
    addHalfColumn();
    QTest::newRow("authors") << false;
    QTest::newRow("leaders") << true;
}

void ParticipantsPageTest::deletingTheLastParticipant()
{
    QFETCH(bool, leaders);
    Page p;
    p.add(leaders, normalizedId(5));
    for (QLineEdit *edit : p.edits(leaders))
        typeText(edit, QStringLiteral("Имя"));
    p.remove(leaders);

    QVERIFY(p.records(leaders).isEmpty());
    QCOMPARE(p.list(leaders)->count(), 0);
    QVERIFY(!p.deleteButton(leaders)->isEnabled());
    QVERIFY(p.addButton(leaders)->isEnabled());
    for (QLineEdit *edit : p.edits(leaders)) {
        QVERIFY(edit->text().isEmpty());
        QVERIFY(edit->isReadOnly());
        QVERIFY(isGrey(edit));
    }
    QCOMPARE(p.leaderId()->isEnabled(), !leaders && false);
    QCOMPARE(p.leaderId()->count(), 0);
    QVERIFY(!Child<QLabel>(&p.page, "LeaderID_Label")->isEnabled());
    QCOMPARE(p.page.invoiceLeader(), -1);
}

void ParticipantsPageTest::answeringNoKeepsEverything()
{
    Page p;
    p.addSeeds(false, { 0, 1 });
    typeText(p.edits(false)[1], QStringLiteral("Ольга"));
    p.addSeeds(true, { 2, 3 });
    p.pick(true, 0);
    const QList<Participant> authors = p.page.authors();
    const QList<Participant> leaders = p.page.leaders();
    QSignalSpy changed(&p.page, &ParticipantsPage::changed);

    p.remove(false, MessageAnswer::No);
    p.remove(true, MessageAnswer::No);

    QCOMPARE(p.platform.messages.size(), 2);
    QCOMPARE(p.page.authors(), authors);
    QCOMPARE(p.page.leaders(), leaders);
    QCOMPARE(p.list(false)->currentRow(), 1);
    QCOMPARE(p.list(true)->currentRow(), 0);
    QCOMPARE(p.edits(false)[1]->text(), QStringLiteral("Ольга"));
    QCOMPARE(p.leaderId()->count(), 2);
    QCOMPARE(changed.count(), 0);
}

void ParticipantsPageTest::namesGoToTheSelectedParticipant()
{
    Page p;
    p.addSeeds(false, { 0, 1 });
    p.addSeeds(true, { 2 });

    p.pick(false, 0);
    typeText(p.edits(false)[0], QStringLiteral("Иванов"));
    typeText(p.edits(false)[2], QStringLiteral("Петрович"));
    p.pick(false, 1);
    QVERIFY(p.edits(false)[0]->text().isEmpty());
    typeText(p.edits(false)[0], QStringLiteral("Смирнова"));
    typeText(p.edits(false)[1], QStringLiteral("Анна"));
    typeText(p.edits(true)[1], QStringLiteral("Мария"));

    const QList<Participant> expectedAuthors {
        { displayedId(0), QStringLiteral("Иванов"), QString(), QStringLiteral("Петрович") },
        { displayedId(1), QStringLiteral("Смирнова"), QStringLiteral("Анна"), QString() },
    };
    QCOMPARE(p.page.authors(), expectedAuthors);
    QCOMPARE(p.page.leaders(),
        (QList<Participant> { { displayedId(2), QString(), QStringLiteral("Мария"), QString() } }));

    p.pick(false, 0);
    QCOMPARE(p.edits(false)[0]->text(), QStringLiteral("Иванов"));
    QCOMPARE(p.edits(false)[1]->text(), QString());
    QCOMPARE(p.edits(false)[2]->text(), QStringLiteral("Петрович"));

    // Edits of a half without participants belong to nobody.
    Page empty;
    empty.edits(false)[0]->setText(QStringLiteral("Никто"));
    empty.add(false, normalizedId(3));
    QCOMPARE(empty.page.authors().first().surname, QString());
}

void ParticipantsPageTest::nothingHighlightedMeansNoOneIsEdited_data()
{
    addHalfColumn();
    QTest::newRow("authors") << false;
    QTest::newRow("leaders") << true;
}

// A Ctrl+click on the highlighted participant takes the highlight away; the edits
// and Delete must then not reach the participant who is no longer shown as chosen.
void ParticipantsPageTest::nothingHighlightedMeansNoOneIsEdited()
{
    QFETCH(bool, leaders);
    Page p;
    p.addSeeds(leaders, { 0, 1 });
    QListWidget *list = p.list(leaders);
    const auto clickItem = [list](int row, Qt::KeyboardModifiers modifiers) {
        QTest::mouseClick(list->viewport(), Qt::LeftButton, modifiers,
            list->visualItemRect(list->item(row)).center());
    };
    const std::array<QLineEdit *, 3> edits = p.edits(leaders);
    QTest::keyClicks(edits[0], QStringLiteral("Petrov"));
    const QList<Participant> before = p.records(leaders);
    QCOMPARE(before[1].surname, QStringLiteral("Petrov"));

    clickItem(1, Qt::ControlModifier);
    QVERIFY(list->selectedItems().isEmpty());
    for (QLineEdit *edit : edits)
        QTest::keyClicks(edit, QStringLiteral("Nobody"));
    QCOMPARE(p.records(leaders), before);

    QVERIFY(!p.deleteButton(leaders)->isEnabled());
    p.platform.messageAnswers.enqueue(MessageAnswer::Yes);
    QTest::mouseClick(p.deleteButton(leaders), Qt::LeftButton);
    QVERIFY(p.platform.messages.isEmpty());
    QCOMPARE(p.records(leaders), before);
    QCOMPARE(list->count(), 2);
    if (leaders) {
        QCOMPARE(p.leaderId()->count(), 2);
        QCOMPARE(p.page.invoiceLeader(), 0);
    }

    // Clicking the same participant again (the current row does not change) brings
    // back their names, the edits and Delete.
    clickItem(1, Qt::NoModifier);
    QCOMPARE(edits[0]->text(), QStringLiteral("Petrov"));
    QTest::keyClicks(edits[1], QStringLiteral("Petr"));
    QCOMPARE(p.records(leaders)[1].name, QStringLiteral("Petr"));
    QCOMPARE(p.records(leaders)[0], before[0]);
    p.platform.messageAnswers.enqueue(MessageAnswer::Yes);
    QTest::mouseClick(p.deleteButton(leaders), Qt::LeftButton);
    QCOMPARE(p.ids(leaders), QStringList { displayedId(0) });

    // With the remaining participant un-highlighted, what is shown belongs to no one.
    clickItem(0, Qt::ControlModifier);
    QVERIFY(list->selectedItems().isEmpty());
    QTest::keyClicks(edits[2], QStringLiteral("Ivanovich"));
    QCOMPARE(p.records(leaders)[0].patronymic, QString());
}

void ParticipantsPageTest::namesReducedToCp1251_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("stored");
    QTest::newRow("cyrillic") << QStringLiteral("Ёлкина") << QStringLiteral("Ёлкина");
    QTest::newRow("cp1251 symbols") << QStringLiteral("«Ли» №2") << QStringLiteral("«Ли» №2");
    QTest::newRow("chinese") << QStringLiteral("中") << QStringLiteral("?");
    QTest::newRow("umlaut") << QStringLiteral("Jürgen") << QStringLiteral("J?rgen");
}

void ParticipantsPageTest::namesReducedToCp1251()
{
    QFETCH(QString, typed);
    QFETCH(QString, stored);
    Page p;
    p.add(true, normalizedId(7));
    typeText(p.edits(true)[2], typed);
    QCOMPARE(p.edits(true)[2]->text(), typed);
    QCOMPARE(p.page.leaders().first().patronymic, stored);
}

void ParticipantsPageTest::newParticipantStartsWithoutNames()
{
    Page p;
    p.addSeeds(false, { 0, 1 });
    for (int row = 0; row < 2; ++row) {
        p.pick(false, row);
        for (QLineEdit *edit : p.edits(false))
            typeText(edit, QStringLiteral("Старое"));
    }
    p.remove(false);
    p.remove(false);
    p.add(false, normalizedId(8));

    QCOMPARE(p.page.authors(),
        (QList<Participant> { { displayedId(8), QString(), QString(), QString() } }));
    for (QLineEdit *edit : p.edits(false)) {
        QVERIFY(edit->text().isEmpty());
        QVERIFY(!edit->isReadOnly());
        QVERIFY(!isGrey(edit));
    }
}

void ParticipantsPageTest::changedSignal()
{
    Page p;
    QSignalSpy changed(&p.page, &ParticipantsPage::changed);
    const auto step = [&](const char *what, auto &&action) {
        const qsizetype before = changed.count();
        action();
        QVERIFY2(changed.count() > before, what);
    };
    step("author added", [&] { p.add(false, normalizedId(0)); });
    step("leader added", [&] { p.add(true, normalizedId(1)); });
    step("second leader added", [&] { p.add(true, normalizedId(2)); });
    step("name typed", [&] { typeText(p.edits(false)[0], QStringLiteral("А")); });
    step("invoice leader picked", [&] { p.pickInvoiceLeader(1); });
    step("leader deleted", [&] { p.remove(true); });

    const qsizetype before = changed.count();
    const QList<Participant> authors = p.page.authors();
    p.add(false, std::nullopt); // dialog closed by its close box
    p.add(true, std::nullopt);
    p.add(false, wrongCheckDigits(3));
    p.add(true, normalizedId(0)); // already an author
    p.pick(true, 0);
    QCOMPARE(changed.count(), before);
    QCOMPARE(p.page.authors(), authors);
    QCOMPARE(p.page.leaders().size(), 1);
}

// Each showing of the identifier dialog starts afresh: its undo cannot bring back
// what was typed in an earlier showing, accepted or abandoned.
void ParticipantsPageTest::identifierDialogForgetsEarlierText()
{
    Page p;
    QLineEdit *field = p.idField();
    const auto showing = [&](const std::function<void()> &inDialog) {
        bool shown = false;
        QTimer::singleShot(0, &p.dialog, [&] {
            shown = true;
            inDialog();
            if (p.dialog.isVisible())
                p.dialog.close();
        });
        QTest::mouseClick(p.addButton(false), Qt::LeftButton);
        QVERIFY(shown);
    };

    p.add(false, normalizedId(0));
    showing([&] {
        QCOMPARE(field->text(), QString());
        QTest::keyClick(field, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(field->text(), QString());
        QVERIFY(!p.idButton()->isEnabled());
        QTest::keyClicks(field, QStringLiteral("987"));
    });
    showing([&] {
        QVERIFY(!field->isUndoAvailable());
        QTest::keyClick(field, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(field->text(), QString());
        // Undo still works for what is typed in this showing.
        QTest::keyClicks(field, QStringLiteral("12"));
        QTest::keyClick(field, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(field->text(), QString());
    });
    QCOMPARE(p.ids(false), QStringList { displayedId(0) });
    QVERIFY(p.platform.messages.isEmpty());
}

void ParticipantsPageTest::setParticipants()
{
    Page p;
    const QList<Participant> authors {
        { displayedId(0), QStringLiteral("Иванов"), QStringLiteral("Иван"),
            QStringLiteral("Ильич") },
        { displayedId(1), QStringLiteral("Ли"), QString(), QString() },
    };
    const QList<Participant> leaders {
        { displayedId(2), QStringLiteral("А"), QString(), QString() },
        { displayedId(3), QStringLiteral("Б"), QString(), QString() },
        { displayedId(4), QStringLiteral("В"), QString(), QString() },
    };
    p.page.setParticipants(authors, leaders, 2);

    QCOMPARE(p.page.authors(), authors);
    QCOMPARE(p.page.leaders(), leaders);
    QCOMPARE(p.page.invoiceLeader(), 2);
    QCOMPARE(p.group(false)->title(), QStringLiteral("Авторы (2)"));
    QCOMPARE(p.group(true)->title(), QStringLiteral("Руководители (3)"));
    QVERIFY(p.addButton(false)->isEnabled());
    QVERIFY(!p.addButton(true)->isEnabled());
    QCOMPARE(p.list(true)->item(2)->text(), displayedId(4));
    QCOMPARE(p.leaderId()->itemText(2), displayedId(4));
    QVERIFY(p.leaderId()->isEnabled());
    // The edits show a participant and take typing for that one.
    const int row = p.list(false)->currentRow();
    QVERIFY(row >= 0);
    QCOMPARE(p.edits(false)[0]->text(), authors[row].surname);
    QVERIFY(!p.edits(false)[0]->isReadOnly());

    // The added identifiers count for the duplicate test.
    p.add(false, normalizedId(3));
    QCOMPARE(p.platform.messages.size(), 1);
    QCOMPARE(p.page.authors().size(), 2);

    p.page.setParticipants({}, {}, -1);
    QVERIFY(p.page.authors().isEmpty());
    QVERIFY(p.page.leaders().isEmpty());
    QCOMPARE(p.page.invoiceLeader(), -1);
    QVERIFY(!p.leaderId()->isEnabled());
    QVERIFY(p.addButton(true)->isEnabled());
    QVERIFY(!p.deleteButton(false)->isEnabled());
    QCOMPARE(p.group(true)->title(), QStringLiteral("Руководители (0)"));
    for (QLineEdit *edit : p.edits(false)) {
        QVERIFY(edit->text().isEmpty());
        QVERIFY(edit->isReadOnly());
    }
}

// Whatever the desktop font, the controls stay inside their groups, do not cover
// each other, and a list shows a whole identifier.
void ParticipantsPageTest::controlsFitTheirGroups()
{
    Page p;
    p.addSeeds(false, { 0, 1, 2, 3, 4, 5, 6, 7, 8, 9 });
    for (const char *name : { "AuthorsGroup", "TeachersGroup", "GroupBox1" }) {
        auto *group = Child<QGroupBox>(&p.page, name);
        QVERIFY(QRect(0, 0, 777, 437).contains(group->geometry()));
        const QList<QWidget *> children
            = group->findChildren<QWidget *>(Qt::FindDirectChildrenOnly);
        for (QWidget *child : children) {
            QVERIFY2(group->rect().contains(child->geometry()), qPrintable(child->objectName()));
            if (auto *label = qobject_cast<QLabel *>(child))
                QVERIFY2(label->width() >= label->sizeHint().width(), qPrintable(label->text()));
            for (QWidget *other : children) {
                if (other != child)
                    QVERIFY2(!child->geometry().intersects(other->geometry()),
                        qPrintable(child->objectName() + u' ' + other->objectName()));
            }
        }
    }
    QListWidget *list = p.list(false);
    QVERIFY(list->viewport()->width() >= list->fontMetrics().horizontalAdvance(displayedId(9)));
}

QTEST_MAIN(ParticipantsPageTest)
#include "participants_page_test.moc"
