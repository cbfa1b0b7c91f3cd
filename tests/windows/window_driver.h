#pragma once

// What the window tests do the way a user does it: find a control by its name, click
// it, tick a box, switch a page, answer a modal dialog as soon as it shows.

#include "document/lentar_document.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QMenu>
#include <QStyleOptionButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <QTimer>

#include <functional>
#include <memory>
#include <optional>

// The control of that name below top; a missing one ends the test run, since every
// later step would only fail for the same reason.
template<typename T> T *Child(const QObject *top, const QString &name)
{
    auto *found = top->findChild<T *>(name);
    if (!found)
        qFatal("no %s named %s", T::staticMetaObject.className(), qPrintable(name));
    return found;
}

template<typename T> T *Child(const QObject *top, const char *name)
{
    return Child<T>(top, QString::fromLatin1(name));
}

// Clicks a control with the left mouse button, in its middle.
inline void Click(const QObject *top, const char *name)
{
    QTest::mouseClick(Child<QWidget>(top, name), Qt::LeftButton);
}

// Types text into a widget one character at a time, each key carrying its character,
// as a Russian keyboard layout would (QTest::keyClicks takes Latin-1 only).
inline void TypeText(QWidget *widget, const QString &text)
{
    for (QChar c : text)
        QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_unknown, QString(c), Qt::NoModifier);
}

// Opens the context menu of widget with the right mouse button at point (its middle
// when not given), through the window system, as a user's click arrives; returns the
// menu, or null when none opened.
inline QMenu *RightClick(QWidget *widget, std::optional<QPoint> at = {})
{
    QWindow *window = widget->window()->windowHandle();
    const QPoint point = widget->mapTo(widget->window(), at.value_or(widget->rect().center()));
    QTest::mousePress(window, Qt::RightButton, {}, point);
    QTest::mouseRelease(window, Qt::RightButton, {}, point);
    return qobject_cast<QMenu *>(QApplication::activePopupWidget());
}

// Clicks a check box on its square, where a click always lands on the box.
inline void Tick(QCheckBox *box)
{
    QStyleOptionButton option;
    option.initFrom(box);
    const QRect square = box->style()->subElementRect(QStyle::SE_CheckBoxIndicator, &option, box);
    QTest::mouseClick(box, Qt::LeftButton, {}, square.center());
}

inline void Tick(const QObject *top, int sb_id)
{
    Tick(Child<QCheckBox>(top, QStringLiteral("CheckBox%1").arg(sb_id)));
}

// Clicks the tab of a page of the main window.
inline void ShowPage(const QWidget *window, int page)
{
    auto *tabs = Child<QTabWidget>(window, "SectionsTabs");
    QTabBar *bar = tabs->tabBar();
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(page).center());
}

// Runs action on the modal dialog named name as soon as it is shown; returns a flag
// that tells afterwards whether it was.
inline std::shared_ptr<bool> WhenModal(const char *name, std::function<void(QWidget *)> action)
{
    auto shown = std::make_shared<bool>(false);
    QTimer::singleShot(0, [name, action, shown] {
        QWidget *dialog = QApplication::activeModalWidget();
        if (!dialog || dialog->objectName() != QLatin1String(name))
            return;
        *shown = true;
        action(dialog);
        // A failed step inside action must not leave the test waiting on the dialog.
        if (dialog->isVisible())
            dialog->close();
    });
    return shown;
}

// Pastes text into the field of that name over what it holds, as Ctrl+A, Ctrl+V do.
inline void PasteInto(const QObject *top, const char *name, QString text)
{
    QGuiApplication::clipboard()->setText(
        text.replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    QWidget *field = Child<QWidget>(top, name);
    QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(field, Qt::Key_V, Qt::ControlModifier);
}

// Enters doc (all but its picture) into a fresh main window the way a user does:
// pastes the texts, ticks the subjects in their dialog, adds the participants by
// identifier and names them, and picks the invoice leader.
inline void EnterLentar(QWidget *window, const LentarDocument &doc)
{
    const std::pair<const char *, QString> texts[] = { { "title", doc.title },
        { "description", doc.description }, { "tech_request", doc.techRequest },
        { "manual", doc.manual }, { "public_post_index", doc.publicPostIndex },
        { "public_post_address", doc.publicPostAddress }, { "public_phone", doc.publicPhone },
        { "public_email", doc.publicEmail }, { "Notes", doc.notes } };
    for (const auto &[name, text] : texts) {
        if (!text.isEmpty())
            PasteInto(window, name, text);
    }
    if (doc.subjectSlots[0] != 0) {
        WhenModal("Subjects", [&doc](QWidget *dialog) {
            for (const int sb_id : doc.subjectSlots) {
                if (sb_id != 0)
                    Tick(dialog, sb_id);
            }
            Click(dialog, "Button1");
        });
        Click(window, "Button3");
    }
    ShowPage(window, 2);
    const auto add = [window](const QList<Participant> &people, const char *button,
                         std::array<const char *, 3> edits) {
        for (const Participant &person : people) {
            WhenModal("Form1", [&person](QWidget *dialog) {
                QTest::keyClicks(Child<QWidget>(dialog, "AddID"), person.id);
                Click(dialog, "Button1");
            });
            Click(window, button);
            for (const auto &[edit, text] :
                { std::pair { edits[0], person.surname }, std::pair { edits[1], person.name },
                    std::pair { edits[2], person.patronymic } }) {
                if (!text.isEmpty())
                    PasteInto(window, edit, text);
            }
        }
    };
    add(doc.authors, "AuthorAdd", { "AuthorsLastname", "AuthorsName", "AuthorsPatronymic" });
    add(doc.leaders, "TeacherAdd", { "TeachersLastname", "TeachersName", "TeachersPatronymic" });
    for (int i = 0; i < doc.invoiceLeader; ++i)
        QTest::keyClick(Child<QComboBox>(window, "LeaderID"), Qt::Key_Down);
    ShowPage(window, 0);
}
