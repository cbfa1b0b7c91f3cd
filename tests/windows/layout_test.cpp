// Grabs every page of the main window and both dialogs into PNG files (the folder
// named by LENTAR_SCREENSHOT_DIR, or "screenshots" in the working folder), and checks
// what a person would notice first: texts cut off, controls sticking out of their
// frame, controls lying on top of each other.

#include "platform/scripted_platform.h"
#include "windows/add.h"
#include "windows/form.h"
#include "windows/subj.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
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
        if (auto *label = qobject_cast<QLabel *>(w);
            label && !label->text().isEmpty() && label->sizeHint().height() > label->height() + 1)
            problems << QStringLiteral("%1: text needs %2 px of height, has %3")
                            .arg(describe(w))
                            .arg(label->sizeHint().height())
                            .arg(label->height());
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
        TLentar window(platform);
        window.SectionsTabs->setCurrentIndex(page);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QVERIFY(window.grab().save(folder + u'/' + file));
        const QStringList problems = layoutProblems(window.SectionsTabs->currentWidget())
            + layoutProblems(&window).filter(QStringLiteral("Preview"))
            + layoutProblems(&window).filter(QStringLiteral("SaveButton"));
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join(u'\n')));
    }

    void dialogs()
    {
        ScriptedPlatform platform;
        TLentar window(platform);
        for (QDialog *dialog : { static_cast<QDialog *>(&window.identifierDialog()),
                 static_cast<QDialog *>(&window.subjectDialog()) }) {
            dialog->show();
            QVERIFY(QTest::qWaitForWindowExposed(dialog));
            const QString name = qobject_cast<TForm1 *>(dialog) ? QStringLiteral("5-identifier.png")
                                                                : QStringLiteral("6-subjects.png");
            QVERIFY(dialog->grab().save(folder + u'/' + name));
            const QStringList problems = layoutProblems(dialog);
            QVERIFY2(problems.isEmpty(), qPrintable(problems.join(u'\n')));
            dialog->hide();
        }
    }

private:
    QString folder;
};

QTEST_MAIN(LayoutTest)
#include "layout_test.moc"
