// Grabs every page of the main window and both dialogs into PNG files (the folder
// named by LENTAR_SCREENSHOT_DIR, or "screenshots" in the working folder), and checks
// what a person would notice first: texts cut off, controls sticking out of their
// frame, controls lying on top of each other; and what a screen reader says for each
// control.

#include "scripted_platform.h"
#include "window_driver.h"
#include "windows/main_window.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>

namespace {

QString describe(const QWidget *w)
{
    return w->objectName().isEmpty() ? QString::fromLatin1(w->metaObject()->className())
                                     : w->objectName();
}

// Width the text of a control needs, without the style's generous minimum sizes.
int neededWidth(const QWidget *w)
{
    const QFontMetrics fm = w->fontMetrics();
    if (auto *label = qobject_cast<const QLabel *>(w)) {
        if (label->wordWrap() || label->text().isEmpty() || !label->pixmap().isNull())
            return 0;
        return fm.horizontalAdvance(label->text());
    }
    if (auto *box = qobject_cast<const QCheckBox *>(w))
        return box->sizeHint().width();
    if (auto *button = qobject_cast<const QPushButton *>(w))
        return fm.horizontalAdvance(button->text()) + 8;
    if (auto *group = qobject_cast<const QGroupBox *>(w))
        return fm.horizontalAdvance(group->title()) + 16;
    return 0;
}

bool isFrameOnly(const QWidget *w)
{
    return w->objectName() == QLatin1String("Bevel1");
}

QStringList layoutProblems(QWidget *top)
{
    QStringList problems;
    const QList<QWidget *> all = top->findChildren<QWidget *>();
    for (QWidget *w : all) {
        if (!w->isVisibleTo(top) || w->objectName().isEmpty()
            || w->objectName().startsWith(QLatin1String("qt_")))
            continue;
        if (neededWidth(w) > w->width())
            problems << QStringLiteral("%1: text needs %2 px, has %3")
                            .arg(describe(w))
                            .arg(neededWidth(w))
                            .arg(w->width());
        if (auto *label = qobject_cast<QLabel *>(w); label && !label->text().isEmpty()) {
            const QRect room = label->contentsRect();
            const QRect needed = label->fontMetrics().boundingRect(room,
                int(label->alignment()) | (label->wordWrap() ? Qt::TextWordWrap : 0),
                label->text());
            if (needed.width() > room.width() || needed.height() > room.height() + 1)
                problems << QStringLiteral("%1: text needs %2 x %3 px, has %4 x %5")
                                .arg(describe(w))
                                .arg(needed.width())
                                .arg(needed.height())
                                .arg(room.width())
                                .arg(room.height());
        }
        QWidget *parent = w->parentWidget();
        if (parent && w->isWindow() == false && !parent->rect().contains(w->geometry()))
            problems << QStringLiteral("%1 sticks out of %2").arg(describe(w), describe(parent));
        if (!parent)
            continue;
        for (QObject *o : parent->children()) {
            auto *sibling = qobject_cast<QWidget *>(o);
            if (!sibling || sibling <= w || sibling->isWindow() || !sibling->isVisibleTo(top)
                || sibling->objectName().isEmpty() || isFrameOnly(w) || isFrameOnly(sibling))
                continue;
            if (w->geometry().intersects(sibling->geometry()))
                problems << QStringLiteral("%1 overlaps %2").arg(describe(w), describe(sibling));
        }
    }
    return problems;
}

// What a screen reader announces for the control.
QString accessibleName(QWidget *w)
{
    QAccessibleInterface *face = QAccessible::queryAccessibleInterface(w);
    return face ? face->text(QAccessible::Name) : QStringLiteral("<no accessible interface>");
}

// Whether the user sees text next to w: a label of the same parent, or the title of
// the group w lies in.
bool labelShown(QWidget *w, const QString &text)
{
    QWidget *parent = w->parentWidget();
    if (auto *group = qobject_cast<QGroupBox *>(parent); group && group->title() == text)
        return true;
    const QList<QLabel *> labels = parent->findChildren<QLabel *>(Qt::FindDirectChildrenOnly);
    return std::any_of(labels.begin(), labels.end(), [&](QLabel *l) { return l->text() == text; });
}

// Every input of the window: the fields, lists and buttons a user works with.
QList<QWidget *> inputs(QWidget *top)
{
    QList<QWidget *> found;
    for (QWidget *w : top->findChildren<QWidget *>()) {
        if (w->objectName().startsWith(QLatin1String("qt_")))
            continue;
        if (qobject_cast<QLineEdit *>(w) || qobject_cast<QPlainTextEdit *>(w)
            || qobject_cast<QComboBox *>(w) || qobject_cast<QListWidget *>(w)
            || qobject_cast<QCheckBox *>(w) || qobject_cast<QPushButton *>(w))
            found << w;
    }
    return found;
}

} // namespace

class LayoutTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        folder = qEnvironmentVariable("LENTAR_SCREENSHOT_DIR", QStringLiteral("screenshots"));
        QVERIFY(QDir().mkpath(folder));
    }

    void mainWindowPages_data()
    {
        QTest::addColumn<int>("page");
        QTest::addColumn<QString>("file");
        QTest::newRow("work") << 0 << QStringLiteral("1-work.png");
        QTest::newRow("picture") << 1 << QStringLiteral("2-picture.png");
        QTest::newRow("participants") << 2 << QStringLiteral("3-participants.png");
        QTest::newRow("comments") << 3 << QStringLiteral("4-comments.png");
    }
    void mainWindowPages()
    {
        QFETCH(int, page);
        QFETCH(QString, file);
        ScriptedPlatform platform;
        MainWindow window(platform);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        ShowPage(&window, page);
        checkWindow(window, file);
    }

    // The chosen subjects' names show in full whatever is chosen, the longest names
    // together included.
    void chosenSubjects_data()
    {
        QTest::addColumn<QList<int>>("ticked");
        QTest::addColumn<QString>("file");
        QTest::newRow("longest names, all five")
            << QList<int> { 1, 6, 10, 22, 24 } << QStringLiteral("1-work-subjects.png");
        QTest::newRow("longest name last of three") << QList<int> { 1, 2, 6 } << QString();
        QTest::newRow("longest name alone") << QList<int> { 6 } << QString();
        QTest::newRow("one with the project") << QList<int> { 10, 24 } << QString();
    }
    void chosenSubjects()
    {
        QFETCH(QList<int>, ticked);
        QFETCH(QString, file);
        ScriptedPlatform platform;
        MainWindow window(platform);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        const auto shown = WhenModal("Subjects", [ticked](QWidget *dialog) {
            for (int sb_id : ticked)
                Tick(dialog, sb_id);
            Click(dialog, "Button1");
        });
        Click(&window, "Button3");
        QVERIFY(*shown);
        const std::array<int, 5> chosen = window.document().subjectSlots;
        QCOMPARE(QList<int>(chosen.begin(), chosen.begin() + ticked.size()), ticked);
        for (int k = 1; k <= int(ticked.size()); ++k) {
            auto *label = Child<QLabel>(&window, QStringLiteral("subj%1").arg(k));
            QVERIFY(label->isVisible());
            QVERIFY(!label->text().isEmpty());
        }
        checkWindow(window, file);
    }

    void dialogs_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("file");
        QTest::newRow("identifier")
            << QStringLiteral("Form1") << QStringLiteral("5-identifier.png");
        QTest::newRow("subjects") << QStringLiteral("Subjects") << QStringLiteral("6-subjects.png");
    }
    void dialogs()
    {
        QFETCH(QString, name);
        QFETCH(QString, file);
        ScriptedPlatform platform;
        MainWindow window(platform);
        auto *dialog = Child<QDialog>(&window, name);
        dialog->show();
        QVERIFY(QTest::qWaitForWindowExposed(dialog));
        QVERIFY(dialog->grab().save(folder + u'/' + file));
        const QStringList problems = layoutProblems(dialog);
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join(u'\n')));
        dialog->hide();
    }

    // A screen reader names every field by the label the user sees beside it (the help
    // panels by their group's title), and every button and box by its caption.
    void inputsNamedAsShown()
    {
        const QHash<QString, QString> labelOf {
            { "title", "Название:" },
            { "description", "Описание:" },
            { "tech_request", "Технические требования:" },
            { "manual", "Порядок знакомства:" },
            { "public_post_index", "Индекс:" },
            { "public_post_address", "Адрес:" },
            { "public_phone", "Телефон:" },
            { "public_email", "Эл. почта:" },
            { "HelpMemo", "Помощь" },
            { "WorkImgSign", "Подпись к картинке" },
            { "Memo5", "Помощь" },
            { "AuthorsListBox", "Номер:" },
            { "AuthorsLastname", "Фамилия:" },
            { "AuthorsName", "Имя:" },
            { "AuthorsPatronymic", "Отчество:" },
            { "TeachersListBox", "Номер:" },
            { "TeachersLastname", "Фамилия:" },
            { "TeachersName", "Имя:" },
            { "TeachersPatronymic", "Отчество:" },
            { "LeaderID", "Счет для оплаты направлять:" },
            { "Memo1", "Помощь" },
            { "Notes", "Комментарии:" },
            { "Memo2", "Помощь" },
            { "AddID", "Идентификатор (в формате XXX-XXX-XXX):" },
        };
        ScriptedPlatform platform;
        MainWindow window(platform);
        QStringList problems;
        int checked = 0;
        for (QWidget *top : { static_cast<QWidget *>(&window), Child<QWidget>(&window, "Form1"),
                 Child<QWidget>(&window, "Subjects") }) {
            for (QWidget *input : inputs(top)) {
                if (input->window() != top)
                    continue; // a dialog's controls are checked with the dialog
                ++checked;
                QString expected;
                if (auto *button = qobject_cast<QAbstractButton *>(input)) {
                    expected = button->text();
                } else if (labelOf.contains(input->objectName())) {
                    expected = labelOf.value(input->objectName());
                    if (!labelShown(input, expected))
                        problems << QStringLiteral("%1: no visible \"%2\" beside it")
                                        .arg(input->objectName(), expected);
                } else {
                    problems << QStringLiteral("%1: no label known").arg(describe(input));
                    continue;
                }
                const QString name = accessibleName(input);
                if (expected.isEmpty() || name != expected)
                    problems << QStringLiteral("%1 is called \"%2\", shows \"%3\"")
                                    .arg(describe(input), name, expected);
            }
        }
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join(u'\n')));
        // The main window's 13 fields and help panels and 6 buttons, the participants'
        // 14 controls, the identifier dialog's 2, the subject dialog's 23 boxes and
        // its button.
        QCOMPARE(checked, 13 + 6 + 14 + 2 + 24);
    }

    // The table of control names in src/windows lists every named control.
    void everyControlIsInTheNameTable()
    {
        QFile file(QStringLiteral(LENTAR_WIDGET_NAMES));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QString table = QString::fromUtf8(file.readAll());
        QSet<QString> listed;
        static const QRegularExpression name(QStringLiteral("`(\\w+)`"));
        for (const QRegularExpressionMatch &m : name.globalMatch(table))
            listed.insert(m.captured(1));
        // "`subj1` ... `subj5`" stands for the whole run.
        static const QRegularExpression run(QStringLiteral("`(\\D+)(\\d+)` \\.\\.\\. `\\1(\\d+)`"));
        for (const QRegularExpressionMatch &m : run.globalMatch(table)) {
            for (int i = m.captured(2).toInt(); i <= m.captured(3).toInt(); ++i)
                listed.insert(m.captured(1) + QString::number(i));
        }

        ScriptedPlatform platform;
        MainWindow window(platform);
        QStringList missing;
        QList<QWidget *> all = window.findChildren<QWidget *>();
        all << &window;
        for (QWidget *w : all) {
            const QString objectName = w->objectName();
            if (objectName.startsWith(QLatin1String("qt_"))
                || qobject_cast<QTabBar *>(w->parentWidget()))
                continue; // Qt's own parts of its controls
            if (objectName.isEmpty()) {
                // Parts of Qt's own controls (scroll bars) carry no name.
                if (qobject_cast<QLabel *>(w) || qobject_cast<QGroupBox *>(w)
                    || inputs(w->parentWidget()).contains(w))
                    missing << QStringLiteral("a %1 without a name in %2")
                                   .arg(describe(w), describe(w->parentWidget()));
                continue;
            }
            if (!listed.contains(objectName))
                missing << objectName;
        }
        QVERIFY2(missing.isEmpty(), qPrintable(missing.join(u'\n')));
    }

private:
    // Grabs the window's page into file (when named) and finds nothing cut off,
    // sticking out or overlapping on it or on the command buttons.
    void checkWindow(MainWindow &window, const QString &file)
    {
        auto *tabs = Child<QTabWidget>(&window, "SectionsTabs");
        if (!file.isEmpty())
            QVERIFY(window.grab().save(folder + u'/' + file));
        const QStringList problems = layoutProblems(tabs->currentWidget())
            + layoutProblems(&window).filter(QStringLiteral("Preview"))
            + layoutProblems(&window).filter(QStringLiteral("SaveButton"));
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join(u'\n')));
    }

    QString folder;
};

QTEST_MAIN(LayoutTest)
#include "layout_test.moc"
