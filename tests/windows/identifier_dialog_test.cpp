#include "test_files.h"
#include "window_driver.h"
#include "windows/identifier_dialog.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDragEnterEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QTest>
#include <QTimer>

using namespace Qt::StringLiterals;

namespace {

// Sends one key press and release carrying the given text, as the keyboard would
// for a layout we cannot select in a test.
void pressKey(
    QWidget *target, int key, const QString &text, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    QKeyEvent press(QEvent::KeyPress, key, modifiers, text);
    QApplication::sendEvent(target, &press);
    QKeyEvent release(QEvent::KeyRelease, key, modifiers, text);
    QApplication::sendEvent(target, &release);
}

QLineEdit *field(const IdentifierDialog &dialog)
{
    return Child<QLineEdit>(&dialog, "AddID");
}

QPushButton *button(const IdentifierDialog &dialog)
{
    return Child<QPushButton>(&dialog, "Button1");
}

bool messageBoxShown()
{
    const auto widgets = QApplication::topLevelWidgets();
    return std::any_of(widgets.begin(), widgets.end(),
        [](QWidget *w) { return qobject_cast<QMessageBox *>(w) != nullptr; });
}

} // namespace

class IdentifierDialogTest : public QObject
{
    Q_OBJECT

private slots:
    void keyFilter_data();
    void keyFilter();
    void editingKeysStillWork();
    void standardShortcuts_data();
    void standardShortcuts();
    void contextMenuPaste_data();
    void contextMenuPaste();
    void droppedText();
    void buttonRule_data();
    void buttonRule();
    void notANumberDisablesQuietly();
    void feedbackAsTyped_data();
    void feedbackAsTyped();
    void keysCloseOnlyWhileEnabled_data();
    void keysCloseOnlyWhileEnabled();
    void askIdentifierStartsEmpty();
    void closeBoxGivesNothing();
};

void IdentifierDialogTest::keyFilter_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<QString>("expected");

    QTest::newRow("digit") << int(Qt::Key_7) << "7" << 0 << "17";
    QTest::newRow("zero") << int(Qt::Key_0) << "0" << 0 << "10";
    QTest::newRow("blank") << int(Qt::Key_Space) << " " << 0 << "1 ";
    QTest::newRow("dash") << int(Qt::Key_Minus) << "-" << 0 << "1-";
    QTest::newRow("point") << int(Qt::Key_Period) << "." << 0 << "1.";
    QTest::newRow("latin letter") << int(Qt::Key_A) << "a" << 0 << "1";
    QTest::newRow("capital letter") << int(Qt::Key_X) << "X" << int(Qt::ShiftModifier) << "1";
    QTest::newRow("comma") << int(Qt::Key_Comma) << "," << 0 << "1";
    QTest::newRow("plus") << int(Qt::Key_Plus) << "+" << 0 << "1";
    QTest::newRow("slash") << int(Qt::Key_Slash) << "/" << 0 << "1";
    QTest::newRow("cyrillic letter") << int(Qt::Key_unknown) << "ж" << 0 << "1";
    QTest::newRow("fullwidth digit") << int(Qt::Key_unknown) << "１" << 0 << "1";
    // Control characters other than backspace are swallowed too.
    QTest::newRow("control character") << int(Qt::Key_unknown) << "\x16" << 0 << "1";
    // A symbol typed with AltGr (Ctrl+Alt) is typing, not a shortcut.
    QTest::newRow("altgr symbol") << int(Qt::Key_Q) << "@"
                                  << int(Qt::ControlModifier | Qt::AltModifier) << "1";
}

void IdentifierDialogTest::keyFilter()
{
    QFETCH(int, key);
    QFETCH(QString, text);
    QFETCH(int, modifiers);
    QFETCH(QString, expected);

    QApplication::clipboard()->setText(QStringLiteral("234"));
    IdentifierDialog dialog;
    QTest::keyClick(field(dialog), Qt::Key_1);
    pressKey(field(dialog), key, text, Qt::KeyboardModifiers(modifiers));
    QCOMPARE(field(dialog)->text(), expected);
}

void IdentifierDialogTest::editingKeysStillWork()
{
    IdentifierDialog dialog;
    QTest::keyClicks(field(dialog), QStringLiteral("1234"));
    QTest::keyClick(field(dialog), Qt::Key_Backspace);
    QCOMPARE(field(dialog)->text(), QStringLiteral("123"));
    QTest::keyClick(field(dialog), Qt::Key_Home);
    QTest::keyClick(field(dialog), Qt::Key_Delete);
    QCOMPARE(field(dialog)->text(), QStringLiteral("23"));
    QTest::keyClick(field(dialog), Qt::Key_9);
    QCOMPARE(field(dialog)->text(), QStringLiteral("923"));
}

void IdentifierDialogTest::standardShortcuts_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("clipboard");
    QTest::addColumn<QKeySequence>("keys");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<QString>("clipboardAfter");
    QTest::addColumn<bool>("complete");

    const auto row
        = [](const char *name, const char *typed, const char *clipboard, const char *keys,
              const char *expected, const char *clipboardAfter, bool complete) {
              QTest::newRow(name) << QString::fromUtf8(typed) << QString::fromUtf8(clipboard)
                                  << QKeySequence(QString::fromLatin1(keys))
                                  << QString::fromUtf8(expected)
                                  << QString::fromUtf8(clipboardAfter) << complete;
          };
    row("paste", "", "123-456-789", "Ctrl+V", "123-456-789", "123-456-789", true);
    // The label goes first, then the blank it leaves; only then the length counts.
    row("paste a labelled identifier", "", "ID: 444-444-485", "Ctrl+V", "444-444-485",
        "ID: 444-444-485", true);
    row("paste a long number", "", "12345678901234", "Ctrl+V", "12345678901", "12345678901234",
        false);
    row("paste up to the limit", "123-456", "№ 789-000", "Ctrl+V", "123-456789-", "№ 789-000",
        true);
    row("paste over everything", "999", "123 456 789", "Ctrl+A, Ctrl+V", "123 456 789",
        "123 456 789", true);
    row("paste letters only", "12", "abc", "Ctrl+V", "12", "abc", false);
    row("shift+insert", "", "1-2", "Shift+Ins", "1-2", "1-2", false);
    row("copy", "123-456", "x", "Ctrl+A, Ctrl+C", "123-456", "123-456", false);
    row("cut", "123-456", "x", "Ctrl+A, Ctrl+X", "", "123-456", false);
    row("cut and paste back", "123-456-789", "x", "Ctrl+A, Ctrl+X, Ctrl+V", "123-456-789",
        "123-456-789", true);
    row("undo typing", "1234", "x", "Ctrl+Z", "", "x", false);
    row("undo a paste", "", "3456789", "Ctrl+V, Ctrl+Z", "", "3456789", false);
    row("undo a cut", "123-456", "x", "Ctrl+A, Ctrl+X, Ctrl+Z", "123-456", "123-456", false);
}

void IdentifierDialogTest::standardShortcuts()
{
    QFETCH(QString, typed);
    QFETCH(QString, clipboard);
    QFETCH(QKeySequence, keys);
    QFETCH(QString, expected);
    QFETCH(QString, clipboardAfter);
    QFETCH(bool, complete);

    IdentifierDialog dialog;
    QApplication::clipboard()->setText(clipboard);
    QTest::keyClicks(field(dialog), typed);
    QCOMPARE(field(dialog)->text(), typed);
    for (int i = 0; i < keys.count(); ++i)
        QTest::keyClick(field(dialog), keys[i].key(), keys[i].keyboardModifiers());
    QCOMPARE(field(dialog)->text(), expected);
    QCOMPARE(QApplication::clipboard()->text(), clipboardAfter);
    QCOMPARE(button(dialog)->isEnabled(), complete);
}

void IdentifierDialogTest::contextMenuPaste_data()
{
    QTest::addColumn<QString>("clipboard");
    QTest::addColumn<QString>("expected");

    QTest::newRow("letter inside") << "12a-3"
                                   << "12-3";
    QTest::newRow("clean identifier") << "123-456-789"
                                      << "123-456-789";
    QTest::newRow("labelled identifier") << "ID: 444-444-485"
                                         << "444-444-485";
    QTest::newRow("cyrillic and symbols") << "№12,3+ж4"
                                          << "1234";
    QTest::newRow("line break") << "123\n456"
                                << "123456";
    QTest::newRow("long number") << "1234567890123"
                                 << "12345678901";
    QTest::newRow("nothing usable") << "abc"
                                    << "";
}

void IdentifierDialogTest::contextMenuPaste()
{
    QFETCH(QString, clipboard);
    QFETCH(QString, expected);

    IdentifierDialog dialog;
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QApplication::clipboard()->setText(clipboard);

    // What a right-click on the field produces, then a click on "Paste".
    const QPoint at = field(dialog)->rect().center();
    QContextMenuEvent request(QContextMenuEvent::Mouse, at, field(dialog)->mapToGlobal(at));
    QApplication::sendEvent(field(dialog), &request);
    auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
    QVERIFY(menu);
    QAction *paste = nullptr;
    for (QAction *action : menu->actions()) {
        if (action->text().startsWith(QLineEdit::tr("&Paste")))
            paste = action;
    }
    QVERIFY(paste);
    QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(paste).center());
    QTRY_VERIFY(!menu->isVisible());
    QCOMPARE(field(dialog)->text(), expected);

    // One step of the field's undo takes the paste back.
    if (!expected.isEmpty()) {
        QTest::keyClick(field(dialog), Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(field(dialog)->text(), QString());
    }
}

// Text dragged in from elsewhere is treated like pasted text.
void IdentifierDialogTest::droppedText()
{
    IdentifierDialog dialog;
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QTest::keyClicks(field(dialog), QStringLiteral("12"));

    QMimeData data;
    data.setText(QStringLiteral("ID: 3-4567890123"));
    const QPointF end(field(dialog)->width() - 2, field(dialog)->height() / 2);
    QDragEnterEvent enter(end.toPoint(), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(field(dialog), &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(end, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(field(dialog), &drop);
    QVERIFY(drop.isAccepted());
    QCOMPARE(field(dialog)->text(), QStringLiteral("123-4567890"));
}

void IdentifierDialogTest::buttonRule_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("enabled");

    QTest::newRow("nine digits") << "123456789" << true;
    QTest::newRow("with both dashes") << "123-456-789" << true;
    QTest::newRow("with blanks") << "123 456 789" << true;
    QTest::newRow("dashes anywhere") << "1-2345678-9" << true;
    QTest::newRow("leading blank") << " 123456789" << true;
    QTest::newRow("eight digits") << "12345678" << false;
    QTest::newRow("ten digits") << "1234567890" << false;
    QTest::newRow("leading zero") << "012345678" << false;
    QTest::newRow("lower bound") << "100000000" << false;
    QTest::newRow("above lower bound") << "100000001" << true;
    QTest::newRow("upper bound") << "999999999" << false;
    QTest::newRow("below upper bound") << "999999998" << true;
    QTest::newRow("decimal point") << "1234567.8" << false;
    QTest::newRow("trailing point") << "12345678." << false;
    QTest::newRow("two points") << "12.345.678" << false;
    QTest::newRow("lone dash") << "-" << false;
    QTest::newRow("lone point") << "." << false;
    QTest::newRow("blanks only") << "   " << false;
}

void IdentifierDialogTest::buttonRule()
{
    QFETCH(QString, typed);
    QFETCH(bool, enabled);

    IdentifierDialog dialog;
    QTest::keyClicks(field(dialog), typed);
    QCOMPARE(field(dialog)->text(), typed);
    QCOMPARE(button(dialog)->isEnabled(), enabled);
}

void IdentifierDialogTest::feedbackAsTyped_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("said");
    const QString valid = ValidParticipantId("1234567");
    QString wrong = valid;
    wrong.back() = valid.back() == u'0' ? u'1' : u'0';
    QTest::newRow("empty") << QString() << QString();
    QTest::newRow("four digits") << u"12-34"_s << u"Номер участника — девять цифр, введено: 4."_s;
    QTest::newRow("ten digits") << u"1234567890"_s
                                << u"Номер участника — девять цифр, введено: 10."_s;
    // Its check digits are wrong too ("07" would be right).
    QTest::newRow("leading zero") << u"012345678"_s << u"Такого номера не бывает."_s;
    QTest::newRow("wrong check digits")
        << wrong << u"В номере ошибка: сверьте цифры с документами участника."_s;
    QTest::newRow("right") << valid << u"Номер верен."_s;
}

void IdentifierDialogTest::feedbackAsTyped()
{
    QFETCH(QString, typed);
    QFETCH(QString, said);
    IdentifierDialog dialog;
    QTest::keyClick(field(dialog), Qt::Key_5);
    QTest::keyClick(field(dialog), Qt::Key_Backspace);
    QTest::keyClicks(field(dialog), typed);
    QCOMPARE(Child<QLabel>(&dialog, "AddIDFeedback")->text(), said);
    QCOMPARE(field(dialog)->accessibleDescription(), said);
}

void IdentifierDialogTest::notANumberDisablesQuietly()
{
    IdentifierDialog dialog;
    QTest::keyClicks(field(dialog), QStringLiteral("123456789"));
    QVERIFY(button(dialog)->isEnabled());

    // Replacing a complete identifier by a lone dash in one step.
    QTest::keyClick(field(dialog), Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(field(dialog), Qt::Key_Minus);
    QCOMPARE(field(dialog)->text(), QStringLiteral("-"));
    QVERIFY(!button(dialog)->isEnabled());
    QVERIFY(!messageBoxShown());

    QTest::keyClick(field(dialog), Qt::Key_Backspace);
    QVERIFY(field(dialog)->text().isEmpty());
    QVERIFY(!button(dialog)->isEnabled());
}

void IdentifierDialogTest::keysCloseOnlyWhileEnabled_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("key");
    QTest::addColumn<bool>("closes");
    QTest::addColumn<bool>("adds");

    QTest::newRow("return, complete") << "123-456-789" << int(Qt::Key_Return) << true << true;
    QTest::newRow("keypad enter, complete") << "123456789" << int(Qt::Key_Enter) << true << true;
    QTest::newRow("return, incomplete") << "12345678" << int(Qt::Key_Return) << false << false;
    // Escape gives up, whatever the field holds.
    QTest::newRow("escape, complete") << "123 456 789" << int(Qt::Key_Escape) << true << false;
    QTest::newRow("escape, empty") << "" << int(Qt::Key_Escape) << true << false;
}

void IdentifierDialogTest::keysCloseOnlyWhileEnabled()
{
    QFETCH(QString, typed);
    QFETCH(int, key);
    QFETCH(bool, closes);
    QFETCH(bool, adds);

    IdentifierDialog dialog;
    bool stayedOpen = false;
    QTimer::singleShot(0, &dialog, [&] {
        QTest::keyClicks(field(dialog), typed);
        QTest::keyClick(field(dialog), Qt::Key(key));
        stayedOpen = dialog.isVisible();
        if (stayedOpen)
            dialog.close();
    });
    const std::optional<QString> result = dialog.askIdentifier();

    QCOMPARE(!stayedOpen, closes);
    QCOMPARE(result.has_value(), adds);
    if (adds)
        QCOMPARE(*result, typed);
}

void IdentifierDialogTest::askIdentifierStartsEmpty()
{
    IdentifierDialog dialog;
    QTest::keyClicks(field(dialog), QStringLiteral("123456789"));
    QVERIFY(button(dialog)->isEnabled());

    QString textWhenShown = QStringLiteral("not shown");
    bool buttonWhenShown = true;
    QWidget *focusWhenShown = nullptr;
    QTimer::singleShot(0, &dialog, [&] {
        textWhenShown = field(dialog)->text();
        buttonWhenShown = button(dialog)->isEnabled();
        focusWhenShown = dialog.focusWidget();
        QTest::keyClicks(field(dialog), QStringLiteral("987-654-321"));
        QTest::mouseClick(button(dialog), Qt::LeftButton);
    });
    const std::optional<QString> result = dialog.askIdentifier();

    QCOMPARE(textWhenShown, QString());
    QVERIFY(!buttonWhenShown);
    QCOMPARE(focusWhenShown, field(dialog));
    QCOMPARE(result, std::optional<QString>(QStringLiteral("987-654-321")));
}

void IdentifierDialogTest::closeBoxGivesNothing()
{
    IdentifierDialog dialog;
    QTimer::singleShot(0, &dialog, [&] {
        QTest::keyClicks(field(dialog), QStringLiteral("123456789"));
        dialog.close();
    });
    QCOMPARE(dialog.askIdentifier(), std::nullopt);
    // The dialog is only hidden: the text stays until the next showing empties it.
    QCOMPARE(field(dialog)->text(), QStringLiteral("123456789"));
}

QTEST_MAIN(IdentifierDialogTest)
#include "identifier_dialog_test.moc"
