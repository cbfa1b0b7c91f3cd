// The save command end to end: the scripted platform plays the user, a temporary
// folder plays the disk.

#include "codec/error.h"
#include "document/lentar_xml.h"
#include "output/preview_xslt.h"
#include "output/save_command.h"
#include "scripted_platform.h"
#include "test_files.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

const QStringList kPreviewFiles { u"preview.lnr.jpg"_s, u"preview.lnr.xml"_s, u"preview.lnr.xsl"_s,
    u"preview.lnr.html"_s };

LentarDocument CompleteDocument()
{
    LentarDocument doc;
    doc.title = u"Кот/Пёс?"_s;
    doc.description = u"Наблюдения за домашними животными"_s;
    doc.subjectSlots = { 2, 0, 0, 0, 0 };
    doc.authors = { { u"123-456-789"_s, u"Иванов"_s, u"Иван"_s, u"Иванович"_s } };
    doc.leaders = { { u"987-654-321"_s, u"Петрова"_s, u"Анна"_s, u"Сергеевна"_s } };
    doc.invoiceLeader = 0;
    return doc;
}

// A temporary folder holding the four preview files, and a folder to save into.
struct Scene
{
    QTemporaryDir temp;
    QTemporaryDir target;
    ScriptedPlatform platform { temp.path() };

    bool ready()
    {
        if (!temp.isValid() || !target.isValid())
            return false;
        for (const QString &name : kPreviewFiles) {
            if (!WriteFile(temp.filePath(name), "preview"))
                return false;
        }
        return true;
    }
    QString save(const QString &name) { return target.path() + u'/' + name; }
};

} // namespace

class SaveTest : public QObject
{
    Q_OBJECT

private slots:
    void incompleteLentarStopsBeforeTheDialog();
    void cancelledDialogWritesNothing();
    void proposedName_data();
    void proposedName();
    void dialogSettings();
    void savedLentar_data();
    void savedLentar();
    void stylesheetFollowsTheLentarNotTheWorkingDirectory();
    void failedSave_data();
    void failedSave();
};

void SaveTest::incompleteLentarStopsBeforeTheDialog()
{
    Scene scene;
    QVERIFY(scene.ready());
    QVERIFY(!SaveLentarFile(LentarDocument {}, scene.platform, {}).has_value());

    QCOMPARE(scene.platform.messages.size(), 1);
    const ScriptedPlatform::Message &message = scene.platform.messages.first();
    QCOMPARE(message.text,
        u"Для записи лентара в файл необходимо заполнить следующие поля:\n\n"
        u" - Название работы\n"
        u" - Описание работы\n"
        u" - Не задан ни один раздел\n"
        u" - Не указан ни один автор\n"
        u" - Не указан ни один руководитель\n"
        u"\nЛентар не сохранен."_s);
    QCOMPARE(message.caption, u"Неполная информация"_s);
    QCOMPARE(message.icon, MessageIcon::Warning);
    QCOMPARE(message.buttons, MessageButtons::Ok);
    QVERIFY(scene.platform.saveRequests.isEmpty());
    for (const QString &name : kPreviewFiles)
        QVERIFY2(QFile::exists(scene.temp.filePath(name)), qPrintable(name));
}

void SaveTest::cancelledDialogWritesNothing()
{
    Scene scene;
    QVERIFY(scene.ready());
    QVERIFY(!SaveLentarFile(CompleteDocument(), scene.platform, {}).has_value());
    QCOMPARE(scene.platform.saveRequests.size(), 1);
    QVERIFY(scene.platform.messages.isEmpty());
    QVERIFY(Entries(scene.target.path()).isEmpty());
    QCOMPARE(Entries(scene.temp.path()).size(), kPreviewFiles.size());
}

void SaveTest::proposedName_data()
{
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("name");
    QTest::newRow("slash and question mark") << u"Кот/Пёс?"_s << u"Кот-Пёс-.lnr.xml"_s;
    QTest::newRow("quotation marks") << u"\"Кот\""_s << u"''Кот''.lnr.xml"_s;
    QTest::newRow("guillemets and dots stay")
        << u"«Кот». Версия 2.0"_s << u"«Кот». Версия 2.0.lnr.xml"_s;
    QTest::newRow("outside Windows-1251") << u"Кот 中"_s << u"Кот -.lnr.xml"_s;
    QTest::newRow("blanks and controls trimmed") << u" \t Кот \r\n"_s << u"Кот.lnr.xml"_s;
    QTest::newRow("all nine") << u"a\"b/c\\d?e|f*g<h>i:j"_s << u"a''b-c-d-e-f-g-h-i-j.lnr.xml"_s;
    QTest::newRow("inner blanks stay") << u"Кот  и  Пёс"_s << u"Кот  и  Пёс.lnr.xml"_s;
    QTest::newRow("extension not doubled") << u"Итог.lnr.xml"_s << u"Итог.lnr.xml"_s;
    QTest::newRow("extension in capitals kept") << u"Итог.LNR.XML"_s << u"Итог.LNR.XML"_s;
    QTest::newRow("extension alone") << u".lnr.xml"_s << u".lnr.xml"_s;

    // Names are cut between characters so that they fit the 255 bytes of a file name
    // even with the 7 of the temporary name that replaces an earlier file.
    QTest::newRow("Cyrillic cut") << QString(200, u'Я') << QString(120, u'Я') + u".lnr.xml"_s;
    QTest::newRow("cut never halves a letter")
        << u"a"_s + QString(200, u'Я') << u"a"_s + QString(119, u'Я') + u".lnr.xml"_s;
    QTest::newRow("cut keeps the extension")
        << QString(200, u'Я') + u".lnr.xml"_s << QString(120, u'Я') + u".lnr.xml"_s;
    QTest::newRow("no blank left at the cut")
        << QString(119, u'Я') + u" конец"_s << QString(119, u'Я') + u".lnr.xml"_s;
    QTest::newRow("just fits") << QString(240, u'z') << QString(240, u'z') + u".lnr.xml"_s;
    QTest::newRow("one over") << QString(241, u'z') << QString(240, u'z') + u".lnr.xml"_s;
}

void SaveTest::proposedName()
{
    QFETCH(QString, title);
    QFETCH(QString, name);
    QCOMPARE(ProposedFileName(title), name);
    QVERIFY(QFile::encodeName(name).size() <= 255 - 7);
}

void SaveTest::dialogSettings()
{
    Scene scene;
    QVERIFY(scene.ready());
    SaveLentarFile(CompleteDocument(), scene.platform, {});
    QCOMPARE(scene.platform.saveRequests.size(), 1);
    const SaveDialogSettings &settings = scene.platform.saveRequests.first();
    QCOMPARE(settings.title, u"Сохранение файла лентара"_s);
    QCOMPARE(settings.filterDescription, u"Лентар Фестиваля «Ванторела»"_s);
    QCOMPARE(settings.filterPattern, u"*.lnr.xml"_s);
    QCOMPARE(settings.defaultSuffix, u"lnr.xml"_s);
    QCOMPARE(settings.initialFileName, u"Кот-Пёс-.lnr.xml"_s);
    QVERIFY(settings.confirmOverwrite);
}

void SaveTest::savedLentar_data()
{
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<bool>("earlierFile");
    QTest::newRow("proposed name") << u"Кот-Пёс-.lnr.xml"_s << false;
    QTest::newRow("outside Windows-1251") << u"作品 №1.lnr.xml"_s << false;
    QTest::newRow("replaces an earlier file") << u"Кот-Пёс-.lnr.xml"_s << true;
}

void SaveTest::savedLentar()
{
    QFETCH(QString, fileName);
    QFETCH(bool, earlierFile);
    Scene scene;
    QVERIFY(scene.ready());
    const QString path = scene.save(fileName);
    if (earlierFile)
        QVERIFY(WriteFile(path, QByteArray(100000, 'x')));
    scene.platform.saveFileAnswers.enqueue(path);
    const LentarDocument doc = CompleteDocument();

    QVERIFY(SaveLentarFile(doc, scene.platform, {}).has_value());

    const QByteArray saved = ReadFile(path);
    QCOMPARE(saved, LentarFileBytes(SerializeLentar(BuildLentarXml(doc, scene.platform.now))));
    QVERIFY(saved.startsWith("\xEF\xBB\xBF<?xml"));
    QVERIFY(saved.contains(" stored=\"1294000000\" "));
    QVERIFY(saved.endsWith("</vantorela>\r\n\r\n"));
    QCOMPARE(ReadFile(scene.save(u"preview.lnr.xsl"_s)), PreviewStylesheetBytes());
    QStringList expected { fileName, u"preview.lnr.xsl"_s };
    expected.sort();
    QCOMPARE(Entries(scene.target.path()), expected);

    QCOMPARE(scene.platform.messages.size(), 1);
    const ScriptedPlatform::Message &message = scene.platform.messages.first();
    QCOMPARE(message.text, u"Лентар успешно сохранен как: "_s + path);
    QCOMPARE(message.caption, u"Лентар сохранен"_s);
    QCOMPARE(message.icon, MessageIcon::Information);
    QCOMPARE(message.buttons, MessageButtons::Ok);

    QVERIFY(Entries(scene.temp.path()).isEmpty());
}

void SaveTest::stylesheetFollowsTheLentarNotTheWorkingDirectory()
{
    Scene scene;
    QVERIFY(scene.ready());
    QTemporaryDir elsewhere;
    QVERIFY(elsewhere.isValid());
    const QString previous = QDir::currentPath();
    QVERIFY(QDir::setCurrent(elsewhere.path()));
    const auto restore = qScopeGuard([&previous] { QDir::setCurrent(previous); });

    scene.platform.saveFileAnswers.enqueue(scene.save(u"a.lnr.xml"_s));
    QVERIFY(SaveLentarFile(CompleteDocument(), scene.platform, {}).has_value());
    QVERIFY(QFile::exists(scene.save(u"preview.lnr.xsl"_s)));
    QVERIFY(Entries(elsewhere.path()).isEmpty());
}

void SaveTest::failedSave_data()
{
    QTest::addColumn<QString>("failure");
    QTest::addColumn<bool>("stylesheetFails");
    QTest::newRow("folder missing") << u"missing"_s << false;
    QTest::newRow("read-only folder") << u"read-only"_s << false;
    // The earlier file's name is as long as the file system allows, so the temporary
    // file the lentar is written to first cannot be created: a failure root meets too.
    QTest::newRow("no room for the temporary name") << u"long name"_s << false;
    QTest::newRow("folder in the way of the lentar") << u"lentar blocked"_s << false;
    QTest::newRow("folder in the way of the stylesheet") << u"stylesheet blocked"_s << true;
}

void SaveTest::failedSave()
{
    QFETCH(QString, failure);
    QFETCH(bool, stylesheetFails);
    Scene scene;
    QVERIFY(scene.ready());
    QString path = scene.save(u"a.lnr.xml"_s);
    const QByteArray earlier = "the earlier lentar";

    if (failure == u"missing"_s) {
        path = scene.save(u"no such folder/a.lnr.xml"_s);
    } else if (failure == u"read-only"_s) {
        if (geteuid() == 0)
            QSKIP("root writes into read-only folders");
        QVERIFY(WriteFile(path, earlier));
        QVERIFY(QFile::setPermissions(scene.target.path(), QFile::ReadOwner | QFile::ExeOwner));
    } else if (failure == u"long name"_s) {
        path = scene.save(QString(255 - 8, u'a') + u".lnr.xml"_s);
        QVERIFY(WriteFile(path, earlier));
    } else if (failure == u"lentar blocked"_s) {
        QVERIFY(QDir(scene.target.path()).mkdir(u"a.lnr.xml"_s));
    } else {
        QVERIFY(WriteFile(path, earlier));
        QVERIFY(QDir(scene.target.path()).mkdir(u"preview.lnr.xsl"_s));
    }
    const auto writable = qScopeGuard([&scene] {
        QFile::setPermissions(
            scene.target.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    });
    scene.platform.saveFileAnswers.enqueue(path);
    const LentarDocument doc = CompleteDocument();

    QString error;
    try {
        SaveLentarFile(doc, scene.platform, {});
    } catch (const LentarError &e) {
        error = QString::fromUtf8(e.what());
    }
    QVERIFY(!error.isEmpty());
    QVERIFY(scene.platform.messages.isEmpty()); // the caller shows the error, not a success
    QCOMPARE(Entries(scene.temp.path()).size(), kPreviewFiles.size());

    if (failure == u"read-only"_s || failure == u"long name"_s || stylesheetFails)
        QCOMPARE(ReadFile(path), earlier);
    if (failure == u"lentar blocked"_s) {
        QVERIFY(QFileInfo(path).isDir());
    }
    // Nothing the failed save wrote is left: no stylesheet beside a lentar that is not
    // there, no temporary file.
    const QString stylesheet = scene.save(u"preview.lnr.xsl"_s);
    QCOMPARE(QFileInfo(stylesheet).isDir(), stylesheetFails);
    QVERIFY(!QFileInfo(stylesheet).isFile());
    if (failure != u"missing"_s) {
        QStringList expected { QFileInfo(path).fileName() };
        if (stylesheetFails)
            expected.append(u"preview.lnr.xsl"_s);
        QCOMPARE(Entries(scene.target.path()), expected);
    }
    // The message says where the stylesheet could not go.
    if (stylesheetFails)
        QCOMPARE(error.left(error.indexOf(u"»"_s) + 1),
            u"Ошибка записи файла шаблона в папку «%1»"_s.arg(scene.target.path()));
    else
        QVERIFY2(error.startsWith(u"Не удалось записать файл «%1»"_s.arg(path)), qPrintable(error));
}

QTEST_GUILESS_MAIN(SaveTest)
#include "save_test.moc"
