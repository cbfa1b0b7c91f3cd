#include "jpeg_fixtures.h"
#include "scripted_platform.h"
#include "window_driver.h"
#include "windows/main_window.h"

#include <QCursor>
#include <QGuiApplication>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <optional>

namespace {

using Cursor = std::optional<Qt::CursorShape>;

Cursor CurrentCursor()
{
    const QCursor *cursor = QGuiApplication::overrideCursor();
    return cursor ? Cursor(cursor->shape()) : std::nullopt;
}

// Notes the cursor the user sees whenever the window turns to the platform: while the
// open dialog is up, while the import runs (it asks for the temporary folder), and
// while a message is shown.
class WatchingPlatform : public ScriptedPlatform
{
public:
    using ScriptedPlatform::ScriptedPlatform;

    std::optional<QString> askOpenPicture(const QString &title, const QString &filter) override
    {
        atDialog.append(CurrentCursor());
        return ScriptedPlatform::askOpenPicture(title, filter);
    }
    QString tempFolder() override
    {
        atTempFolder.append(CurrentCursor());
        return ScriptedPlatform::tempFolder();
    }
    MessageAnswer showMessage(const QString &text, const QString &caption, MessageIcon icon,
        MessageButtons buttons) override
    {
        atMessage.append(CurrentCursor());
        return ScriptedPlatform::showMessage(text, caption, icon, buttons);
    }

    QList<Cursor> atDialog;
    QList<Cursor> atTempFolder;
    QList<Cursor> atMessage;
};

QByteArray Photo(int width, int height, const FixtureOptions &options = {})
{
    return EncodeFixture(PhotoSamples(width, height, 5), width, height, options);
}

} // namespace

Q_DECLARE_METATYPE(Cursor)

// The picture page as the user meets it: press "Добавить", choose a file in the dialog,
// and wait, with the busy cursor, for the picture or for the message that refuses it.
class PictureWindowTest : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        QVERIFY(dir_.isValid());
        temp_ = dir_.filePath(QStringLiteral("temp"));
        QVERIFY(QDir().mkpath(temp_));
        platform_ = std::make_unique<WatchingPlatform>(temp_);
        window_ = std::make_unique<MainWindow>(*platform_);
        window_->show();
        QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
        ShowPage(window_.get(), 1);
    }

    void cleanup()
    {
        window_->setWindowModified(false);
        window_.reset();
        platform_.reset();
        while (QGuiApplication::overrideCursor())
            QGuiApplication::restoreOverrideCursor();
    }

    void import_data()
    {
        QTest::addColumn<QByteArray>("file"); // empty: the chosen file does not exist
        QTest::addColumn<bool>("imported");
        QTest::addColumn<QString>("message"); // the start of the error shown

        const QString openFailed = QStringLiteral("Не удалось открыть изображение: ");
        FixtureOptions progressive;
        progressive.progressive = true;
        FixtureOptions arithmetic;
        arithmetic.arithmetic = true;
        QByteArray damaged = Photo(600, 400, arithmetic);
        damaged.replace(damaged.size() / 2, 2, "\xff\xd4");

        QTest::newRow("photograph") << Photo(900, 600) << true << QString();
        QTest::newRow("progressive photograph")
            << Photo(900, 600, progressive) << true << QString();
        QTest::newRow("499 scans") << ScanBomb(499, 256,
            256) << false << openFailed + QStringLiteral("слишком много проходов в файле.");
        QTest::newRow("arithmetic-coded, damaged") << damaged << false << openFailed;
        QTest::newRow("file gone") << QByteArray() << false << openFailed;
    }

    void import()
    {
        QFETCH(QByteArray, file);
        QFETCH(bool, imported);
        QFETCH(QString, message);
        const QString path = dir_.filePath(QStringLiteral("chosen.jpg"));
        QFile::remove(path);
        if (!file.isEmpty()) {
            QFile out(path);
            QVERIFY(out.open(QIODevice::WriteOnly));
            QCOMPARE(out.write(file), file.size());
        }
        platform_->openPictureAnswers.enqueue(path);
        platform_->atTempFolder.clear();

        auto *addImg = Child<QPushButton>(window_.get(), "AddImg");
        QTest::mouseClick(addImg, Qt::LeftButton);

        // No busy cursor over the dialog, a busy one while the file is read, and the
        // ordinary one back before any message and after the import.
        QCOMPARE(platform_->atDialog, QList<Cursor> { std::nullopt });
        QCOMPARE(platform_->openPictureRequests,
            (QList<QPair<QString, QString>> { { QStringLiteral("Открыть изображение"),
                QStringLiteral("Изображения JPEG (*.jpg;*.jpeg)") } }));
        QCOMPARE(platform_->atTempFolder, QList<Cursor> { Qt::WaitCursor });
        QCOMPARE(CurrentCursor(), std::nullopt);
        QCOMPARE(addImg->isEnabled(), !imported);
        QCOMPARE(Child<QPushButton>(window_.get(), "DelImg")->isEnabled(), imported);
        if (imported) {
            QVERIFY(platform_->messages.isEmpty());
            QVERIFY(QFile::exists(temp_ + QStringLiteral("/preview.lnr.jpg")));
        } else {
            QCOMPARE(platform_->messages.size(), 1);
            QVERIFY2(platform_->messages[0].text.startsWith(message),
                qPrintable(platform_->messages[0].text));
            QCOMPARE(platform_->atMessage, QList<Cursor> { std::nullopt });
            QVERIFY(!window_->isWindowModified());
        }
    }

    void cancelledDialogShowsNoBusyCursor()
    {
        platform_->openPictureAnswers.enqueue(std::nullopt);
        platform_->atTempFolder.clear();
        auto *addImg = Child<QPushButton>(window_.get(), "AddImg");
        QTest::mouseClick(addImg, Qt::LeftButton);
        QCOMPARE(platform_->openPictureRequests.size(), 1);
        QVERIFY(platform_->atTempFolder.isEmpty());
        QCOMPARE(CurrentCursor(), std::nullopt);
        QVERIFY(addImg->isEnabled());
        QVERIFY(platform_->messages.isEmpty());
    }

private:
    QTemporaryDir dir_;
    QString temp_;
    std::unique_ptr<WatchingPlatform> platform_;
    std::unique_ptr<MainWindow> window_;
};

QTEST_MAIN(PictureWindowTest)
#include "picture_window_test.moc"
