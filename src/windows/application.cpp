#include "windows/application.h"

#include "platform/platform.h"

#include <QLibraryInfo>
#include <QLocale>
#include <QSettings>
#include <QTemporaryDir>
#include <QTranslator>

#include <cstdio>
#include <exception>

LentarApplication::LentarApplication(int &argc, char **argv)
    : QApplication(argc, argv)
{
    setApplicationName(QString::fromUtf8(kApplicationTitle));
    // Both before the first window: a widget takes its texts when it is made.
    speakRussian();
    keepSettingsOutOfHome();
}

LentarApplication::~LentarApplication() = default;

void LentarApplication::speakRussian()
{
    // Every text of the program is Russian, so Qt's own texts (the file dialogs, the
    // context menus of the text fields) are too, and dates and sizes in the file
    // dialogs are written the Russian way.
    QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
    auto *qtTexts = new QTranslator(this);
    if (qtTexts->load(
            QStringLiteral("qtbase_ru"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        installTranslator(qtTexts);
}

void LentarApplication::keepSettingsOutOfHome()
{
    // The program keeps nothing between runs, but Qt's file dialog stores the folders
    // it visited in the user's settings. Its settings go into a folder that lives as
    // long as the run, so the dialogs neither leave a file in the home folder nor
    // start where some other program's dialog last was.
    settingsFolder_ = std::make_unique<QTemporaryDir>();
    // Without a temporary folder, a path below a file: nothing can be made there.
    const QString folder = settingsFolder_->isValid() ? settingsFolder_->path()
                                                      : QStringLiteral("/dev/null/settings");
    for (const QSettings::Format format : { QSettings::NativeFormat, QSettings::IniFormat }) {
        QSettings::setPath(format, QSettings::UserScope, folder);
        QSettings::setPath(format, QSettings::SystemScope, folder);
    }
}

bool LentarApplication::notify(QObject *receiver, QEvent *event)
{
    QString message;
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception &error) {
        message = QString::fromUtf8(error.what());
    } catch (...) { }
    if (platform_)
        ShowStandardError(*platform_, message);
    else
        std::fprintf(stderr, "%s\n", qPrintable(StandardErrorText(message)));
    return false;
}
