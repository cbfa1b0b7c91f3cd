#pragma once

// What the window tests do the way a user does it: find a control by its name, click
// it, tick a box, switch a page, answer a modal dialog as soon as it shows.

#include <QApplication>
#include <QCheckBox>
#include <QStyleOptionButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <QTimer>

#include <functional>
#include <memory>

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
