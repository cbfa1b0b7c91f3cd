// The real desktop seam: where the working files go, and how a message box shows a
// text that holds a long path.

#include "codec/error.h"
#include "platform/qt_platform.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QMessageBox>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QTextEdit>
#include <QTimer>

using namespace Qt::StringLiterals;

namespace {

// Sets an environment variable for the length of a test.
class ScopedEnvironment
{
public:
    ScopedEnvironment(const char *name, const QByteArray &value)
        : name_(name)
        , had_(qEnvironmentVariableIsSet(name))
        , old_(qgetenv(name))
    {
        qputenv(name, value);
    }
    ~ScopedEnvironment()
    {
        if (had_)
            qputenv(name_, old_);
        else
            qunsetenv(name_);
    }
    ScopedEnvironment(const ScopedEnvironment &) = delete;
    ScopedEnvironment &operator=(const ScopedEnvironment &) = delete;

private:
    const char *name_;
    bool had_;
    QByteArray old_;
};

} // namespace

class QtPlatformTest : public QObject
{
    Q_OBJECT

private slots:
    void tempFolderFallsBack_data();
    void tempFolderFallsBack();
    void noWritableTempFolder();
    void longPathWrapsInTheMessageBox_data();
    void longPathWrapsInTheMessageBox();
    void stateFolderFollowsTheDesktop_data();
    void stateFolderFollowsTheDesktop();
    void recoveryQuestionAnswers_data();
    void recoveryQuestionAnswers();
};

void QtPlatformTest::tempFolderFallsBack_data()
{
    QTest::addColumn<QString>("tmpdir"); // relative to a scratch folder
    QTest::addColumn<bool>("used");
    QTest::newRow("an existing folder") << u"temp"_s << true;
    QTest::newRow("a folder that does not exist") << u"no such folder"_s << false;
    QTest::newRow("a file") << u"file"_s << false;
}

void QtPlatformTest::tempFolderFallsBack()
{
    QFETCH(QString, tmpdir);
    QFETCH(bool, used);
    QTemporaryDir scratch;
    QVERIFY(scratch.isValid());
    QVERIFY(QDir(scratch.path()).mkdir(u"temp"_s));
    QFile file(scratch.filePath(u"file"_s));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    const QString canonical = QDir(scratch.path()).canonicalPath();

    const ScopedEnvironment environment("TMPDIR", QFile::encodeName(scratch.filePath(tmpdir)));
    QtPlatform platform;
    const QString folder = platform.tempFolder();
    QCOMPARE(folder, used ? canonical + u'/' + tmpdir + u'/' : u"/tmp/"_s);
}

void QtPlatformTest::noWritableTempFolder()
{
    QTemporaryDir scratch;
    QVERIFY(scratch.isValid());
    const QString missing = scratch.filePath(u"missing"_s);
    QFile file(scratch.filePath(u"file"_s));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    QCOMPARE(WritableTempFolder({ QString(), scratch.path() }), scratch.path() + u'/');
    QCOMPARE(WritableTempFolder({ missing, scratch.path() + u'/' }), scratch.path() + u'/');

    QString message;
    try {
        WritableTempFolder({ missing, QString(), file.fileName() });
    } catch (const LentarError &error) {
        message = QString::fromUtf8(error.what());
    }
    QCOMPARE(message,
        u"Не найдена папка для временных файлов, в которую можно записывать "
        u"(проверены: «%1», «%2»)"_s.arg(missing, file.fileName()));
}

void QtPlatformTest::longPathWrapsInTheMessageBox_data()
{
    QTest::addColumn<QString>("text");
    const QString folder = u"Лентар успешно сохранен как: /home/ученик/Документы/"_s;
    QTest::newRow("200-character path")
        << folder + QString(200 - folder.size() - 8, u'Я') + u".lnr.xml"_s;
    QTest::newRow("long path of short folders, two lines") << u"Не удалось записать файл «"_s
            + u"/папка"_s.repeated(60) + u"/работа.lnr.xml»:\nFile name too long"_s;
    QTest::newRow("letters outside the basic plane") << u"Файл: "_s + u"😀"_s.repeated(80);
}

void QtPlatformTest::longPathWrapsInTheMessageBox()
{
    QFETCH(QString, text);
    QWidget owner;
    owner.resize(787, 502);
    owner.show();
    QVERIFY(QTest::qWaitForWindowExposed(&owner));
    QtPlatform platform;
    platform.setOwner(&owner);

    bool inspected = false;
    QTimer::singleShot(0, [&] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        QVERIFY(box);
        const auto close = qScopeGuard([box] { QTest::keyClick(box, Qt::Key_Return); });
        QVERIFY(QTest::qWaitForWindowExposed(box));
        auto *shown = box->findChild<QTextEdit *>(u"MessageText"_s);
        QVERIFY(shown);
        const QString folder = qEnvironmentVariable("LENTAR_SCREENSHOT_DIR");
        if (!folder.isEmpty() && QDir().mkpath(folder)) {
            const QString name = QString::fromLatin1(QTest::currentDataTag()).replace(u' ', u'-');
            box->grab().save(folder + u"/message-box-"_s + name + u".png"_s);
        }

        // What the box holds, copies and tells a screen reader is the message itself.
        QCOMPARE(box->text(), text);
        QCOMPARE(QAccessible::queryAccessibleInterface(shown)->text(QAccessible::Value), text);
        QTest::keyClick(box, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QApplication::clipboard()->text(), text);
        QApplication::clipboard()->clear();
        QTest::mouseClick(shown->viewport(), Qt::LeftButton);
        QTest::keyClick(shown, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(shown, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QApplication::clipboard()->text(), text);

        // The box stays on the screen and the whole text fits inside it.
        const QRect screen = box->screen()->availableGeometry();
        QVERIFY(screen.contains(box->frameGeometry()));
        const QSizeF needed = shown->document()->size();
        QVERIFY2(needed.width() <= shown->viewport()->width()
                && needed.height() <= shown->viewport()->height(),
            qPrintable(u"needs %1 x %2, has %3 x %4"_s.arg(needed.width())
                           .arg(needed.height())
                           .arg(shown->viewport()->width())
                           .arg(shown->viewport()->height())));

        inspected = true;
    });
    QCOMPARE(platform.showMessage(text, u"Лентар"_s, MessageIcon::Information, MessageButtons::Ok),
        MessageAnswer::Ok);
    QVERIFY(inspected);
}

void QtPlatformTest::stateFolderFollowsTheDesktop_data()
{
    QTest::addColumn<QByteArray>("variable");
    QTest::addColumn<QString>("folder");
    QTest::newRow("set") << QByteArray("/var/состояние") << u"/var/состояние/lentar/"_s;
    QTest::newRow("empty") << QByteArray() << QDir::homePath() + u"/.local/state/lentar/"_s;
    QTest::newRow("relative, hence ignored")
        << QByteArray("state") << QDir::homePath() + u"/.local/state/lentar/"_s;
}

void QtPlatformTest::stateFolderFollowsTheDesktop()
{
    QFETCH(QByteArray, variable);
    QFETCH(QString, folder);
    const ScopedEnvironment environment("XDG_STATE_HOME", variable);
    QCOMPARE(QtPlatform().stateFolder(), folder);
}

void QtPlatformTest::recoveryQuestionAnswers_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<MessageAnswer>("answer");
    QTest::newRow("Восстановить") << u"Восстановить"_s << MessageAnswer::Restore;
    QTest::newRow("Удалить") << u"Удалить"_s << MessageAnswer::Delete;
    QTest::newRow("Позже") << u"Позже"_s << MessageAnswer::Later;
    QTest::newRow("Escape: later") << QString() << MessageAnswer::Later;
}

void QtPlatformTest::recoveryQuestionAnswers()
{
    QFETCH(QString, button);
    QFETCH(MessageAnswer, answer);
    QtPlatform platform;
    QStringList buttons;
    QTimer::singleShot(0, [&] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        QVERIFY(box);
        for (QAbstractButton *shown : box->buttons())
            buttons << shown->text();
        if (button.isEmpty())
            QTest::keyClick(box, Qt::Key_Escape);
        for (QAbstractButton *shown : box->buttons())
            if (shown->text() == button)
                QTest::mouseClick(shown, Qt::LeftButton);
    });
    QCOMPARE(platform.showMessage(u"Найдена несохранённая работа"_s, u"Восстановление лентара"_s,
                 MessageIcon::Question, MessageButtons::RestoreDeleteLater),
        answer);
    buttons.sort();
    QCOMPARE(buttons, QStringList({ u"Восстановить"_s, u"Позже"_s, u"Удалить"_s }));
}

QTEST_MAIN(QtPlatformTest)
#include "qt_platform_test.moc"
