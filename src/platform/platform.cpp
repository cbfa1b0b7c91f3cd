#include "platform/platform.h"

#include "codec/error.h"

#include <QDir>
#include <QFileInfo>

QString StandardErrorText(const QString &message)
{
    if (!message.isEmpty() && message.back().unicode() > u'.')
        return message + u'.';
    return message;
}

void ShowStandardError(Platform &platform, const QString &message)
{
    platform.showMessage(StandardErrorText(message), QString::fromUtf8(kApplicationTitle),
        MessageIcon::Error, MessageButtons::Ok);
}

QString WritableTempFolder(const QStringList &candidates)
{
    QStringList tried;
    for (const QString &candidate : candidates) {
        if (candidate.isEmpty())
            continue;
        const QFileInfo folder(candidate);
        if (folder.isDir() && folder.isWritable()) {
            QString path = QDir::fromNativeSeparators(candidate);
            if (!path.endsWith(u'/'))
                path += u'/';
            return path;
        }
        tried.append(
            QStringLiteral("«") + QDir::toNativeSeparators(candidate) + QStringLiteral("»"));
    }
    const QString message
        = QStringLiteral("Не найдена папка для временных файлов, в которую можно записывать")
        + (tried.isEmpty() ? QString()
                           : QStringLiteral(" (проверены: ") + tried.join(u", ") + u')');
    throw LentarError(message.toStdString());
}

QString DesktopStateFolder()
{
    // Qt 6.4 knows no state location, so the variable is read as the desktop's
    // folder rules say.
    QString base = qEnvironmentVariable("XDG_STATE_HOME");
    if (!QDir::isAbsolutePath(base))
        base = QDir::homePath() + QStringLiteral("/.local/state");
    return QDir::cleanPath(base) + QStringLiteral("/lentar/");
}
