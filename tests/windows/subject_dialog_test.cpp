#include "window_driver.h"
#include "windows/subject_dialog.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <set>

namespace {

using Slots = std::array<int, kSubjectSlots>;

const int kAllIds[]
    = { 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 24 };

QCheckBox *box(const SubjectDialog &dialog, int sb_id)
{
    return dialog.findChild<QCheckBox *>(QStringLiteral("CheckBox%1").arg(sb_id));
}

// A mouse click on a box that the test expects to be enabled.
void click(SubjectDialog &dialog, int sb_id)
{
    QCheckBox *b = Child<QCheckBox>(&dialog, QStringLiteral("CheckBox%1").arg(sb_id));
    QVERIFY2(b->isEnabled(), qPrintable(QStringLiteral("CheckBox%1 disabled").arg(sb_id)));
    Tick(b);
}

} // namespace

class SubjectDialogTest : public QObject
{
    Q_OBJECT

private slots:
    void initialState();
    void threeMainSubjects_data();
    void threeMainSubjects();
    void additionalNeedAMainSubject();
    void teacherAidDoesNotCount();
    void projectBoxHasNoHandler();
    void slotsInCatalogueOrder_data();
    void slotsInCatalogueOrder();
    void setChosen_data();
    void setChosen();
    void confirmAndCloseKeepBoxes();
    void captionsAreNotCut();
};

void SubjectDialogTest::initialState()
{
    SubjectDialog dialog;
    for (int sb_id : kAllIds) {
        QCheckBox *b = box(dialog, sb_id);
        QVERIFY(b);
        QCOMPARE(b->objectName(), QStringLiteral("CheckBox%1").arg(sb_id));
        QVERIFY(!b->isChecked());
        QCOMPARE(b->isEnabled(), sb_id <= 21);
    }
    QCOMPARE(box(dialog, 23), nullptr);
    QCOMPARE(dialog.chosenSlots(), (Slots { 0, 0, 0, 0, 0 }));
}

void SubjectDialogTest::threeMainSubjects_data()
{
    QTest::addColumn<QList<int>>("chosen");
    QTest::newRow("first research") << QList<int> { 1, 2, 3 };
    QTest::newRow("across frames") << QList<int> { 15, 16, 21 };
    QTest::newRow("one per column") << QList<int> { 6, 11, 20 };
}

void SubjectDialogTest::threeMainSubjects()
{
    QFETCH(QList<int>, chosen);
    SubjectDialog dialog;
    for (int sb_id : chosen)
        click(dialog, sb_id);

    for (int sb_id = 1; sb_id <= 21; ++sb_id)
        QCOMPARE(box(dialog, sb_id)->isEnabled(), chosen.contains(sb_id));

    click(dialog, chosen[1]);
    for (int sb_id = 1; sb_id <= 21; ++sb_id)
        QVERIFY(box(dialog, sb_id)->isEnabled());
    QCOMPARE(box(dialog, chosen[1])->isChecked(), false);
}

void SubjectDialogTest::additionalNeedAMainSubject()
{
    SubjectDialog dialog;
    click(dialog, 5);
    QVERIFY(box(dialog, 22)->isEnabled());
    QVERIFY(box(dialog, 24)->isEnabled());
    click(dialog, 22);
    click(dialog, 24);
    click(dialog, 9);

    click(dialog, 5);
    QVERIFY(box(dialog, 22)->isChecked());
    QVERIFY(box(dialog, 24)->isChecked());

    // Unchecking the last main subject takes both additional ones with it.
    click(dialog, 9);
    for (int sb_id : { 22, 24 }) {
        QVERIFY(!box(dialog, sb_id)->isEnabled());
        QVERIFY(!box(dialog, sb_id)->isChecked());
    }
    QCOMPARE(dialog.chosenSlots(), (Slots { 0, 0, 0, 0, 0 }));
}

void SubjectDialogTest::teacherAidDoesNotCount()
{
    SubjectDialog dialog;
    click(dialog, 1);
    click(dialog, 2);
    click(dialog, 22);
    click(dialog, 24);
    QVERIFY(box(dialog, 3)->isEnabled());
    click(dialog, 3);
    QVERIFY(!box(dialog, 4)->isEnabled());
    QCOMPARE(dialog.chosenSlots(), (Slots { 1, 2, 3, 22, 24 }));
}

void SubjectDialogTest::projectBoxHasNoHandler()
{
    SubjectDialog dialog;
    click(dialog, 1);
    click(dialog, 2);
    click(dialog, 3);
    // Unchecked behind the handler's back: the other boxes stay disabled until a
    // handler runs again.
    box(dialog, 3)->setChecked(false);
    QVERIFY(!box(dialog, 4)->isEnabled());

    click(dialog, 24);
    QVERIFY(!box(dialog, 4)->isEnabled());
    click(dialog, 24);
    QVERIFY(!box(dialog, 4)->isEnabled());

    click(dialog, 22);
    QVERIFY(box(dialog, 4)->isEnabled());
}

void SubjectDialogTest::slotsInCatalogueOrder_data()
{
    QTest::addColumn<QList<int>>("clicks");
    QTest::addColumn<Slots>("expected");
    QTest::newRow("physics, biology, teacher aid")
        << QList<int> { 11, 2, 22 } << Slots { 2, 11, 22, 0, 0 };
    QTest::newRow("project before main") << QList<int> { 21, 24, 16 } << Slots { 16, 21, 24, 0, 0 };
    QTest::newRow("all five") << QList<int> { 24, 22, 20, 10, 1 } << Slots { 1, 10, 20, 22, 24 };
    QTest::newRow("checked and unchecked") << QList<int> { 7, 8, 7 } << Slots { 8, 0, 0, 0, 0 };
}

void SubjectDialogTest::slotsInCatalogueOrder()
{
    QFETCH(QList<int>, clicks);
    QFETCH(Slots, expected);
    SubjectDialog dialog;
    // Additional boxes need a main subject first; click them once one is checked.
    QList<int> later;
    for (int sb_id : clicks) {
        if (!box(dialog, sb_id)->isEnabled())
            later.append(sb_id);
        else
            click(dialog, sb_id);
    }
    for (int sb_id : later)
        click(dialog, sb_id);
    QCOMPARE(dialog.chosenSlots(), expected);
}

void SubjectDialogTest::setChosen_data()
{
    QTest::addColumn<Slots>("given");
    QTest::addColumn<Slots>("expected");
    QTest::addColumn<bool>("othersEnabled");
    QTest::newRow("one main, project")
        << Slots { 16, 24, 0, 0, 0 } << Slots { 16, 24, 0, 0, 0 } << true;
    QTest::newRow("three main") << Slots { 3, 12, 19, 0, 0 } << Slots { 3, 12, 19, 0, 0 } << false;
    QTest::newRow("unordered") << Slots { 22, 19, 3, 0, 0 } << Slots { 3, 19, 22, 0, 0 } << true;
    QTest::newRow("additional alone")
        << Slots { 22, 0, 0, 0, 0 } << Slots { 0, 0, 0, 0, 0 } << true;
    QTest::newRow("empty") << Slots { 0, 0, 0, 0, 0 } << Slots { 0, 0, 0, 0, 0 } << true;
}

void SubjectDialogTest::setChosen()
{
    QFETCH(Slots, given);
    QFETCH(Slots, expected);
    QFETCH(bool, othersEnabled);

    SubjectDialog dialog;
    // An earlier choice is replaced, not added to.
    click(dialog, 1);
    click(dialog, 2);
    click(dialog, 22);
    dialog.setChosen(given);

    QCOMPARE(dialog.chosenSlots(), expected);
    const std::set<int> chosen(expected.begin(), expected.end());
    for (int sb_id = 1; sb_id <= 21; ++sb_id) {
        if (!chosen.count(sb_id))
            QCOMPARE(box(dialog, sb_id)->isEnabled(), othersEnabled);
    }
    const bool anyMain = expected[0] != 0 && expected[0] <= 21;
    QCOMPARE(box(dialog, 22)->isEnabled(), anyMain);
    QCOMPARE(box(dialog, 24)->isEnabled(), anyMain);
}

void SubjectDialogTest::confirmAndCloseKeepBoxes()
{
    SubjectDialog dialog;
    QTimer::singleShot(0, &dialog, [&] {
        click(dialog, 4);
        QTest::mouseClick(Child<QPushButton>(&dialog, "Button1"), Qt::LeftButton);
    });
    QCOMPARE(dialog.exec(), int(QDialog::Accepted));

    QTimer::singleShot(0, &dialog, [&] {
        QVERIFY(box(dialog, 4)->isChecked());
        click(dialog, 13);
        dialog.close();
    });
    QCOMPARE(dialog.exec(), int(QDialog::Rejected));
    QCOMPARE(dialog.chosenSlots(), (Slots { 4, 13, 0, 0, 0 }));
}

// Whatever the desktop font, every caption shows in full and no box covers another.
void SubjectDialogTest::captionsAreNotCut()
{
    SubjectDialog dialog;
    QCOMPARE(dialog.minimumSize(), dialog.maximumSize());
    QVERIFY(dialog.width() >= 664);
    const QRect client = dialog.rect();
    for (auto *group : dialog.findChildren<QGroupBox *>())
        QVERIFY2(client.contains(group->geometry()), qPrintable(group->objectName()));
    QVERIFY(client.contains(Child<QPushButton>(&dialog, "Button1")->geometry()));

    for (int sb_id : kAllIds) {
        QCheckBox *b = box(dialog, sb_id);
        QVERIFY2(b->width() >= b->sizeHint().width(), qPrintable(b->text()));
        QVERIFY(b->parentWidget()->rect().contains(b->geometry()));
        for (int other : kAllIds) {
            if (other != sb_id && box(dialog, other)->parentWidget() == b->parentWidget())
                QVERIFY(!b->geometry().intersects(box(dialog, other)->geometry()));
        }
    }
    for (auto *label : dialog.findChildren<QLabel *>()) {
        QVERIFY(label->width() >= label->sizeHint().width());
        QVERIFY(label->parentWidget()->rect().contains(label->geometry()));
    }
}

QTEST_MAIN(SubjectDialogTest)
#include "subject_dialog_test.moc"
