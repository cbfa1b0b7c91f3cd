#include "output/save_command.h"

#include "document/completeness.h"
#include "document/lentar_xml.h"
#include "output/preview_command.h"
#include "output/preview_xslt.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

using namespace Qt::StringLiterals;

QString ProposedFileName(const QString &title)
{
    QString name = ReduceToCp1251(TrimControls(title));
    // In this order: a quotation mark first becomes two apostrophes, and a character
    // the code page lacks has already become "?", which turns into "-" here.
    name.replace(u'"', u"''"_s);
    for (const QChar c : { u'/', u'\\', u'?', u'|', u'*', u'<', u'>', u':' })
        name.replace(c, u'-');
    return name;
}

SaveDialogSettings LentarSaveDialogSettings(const QString &proposedName)
{
    SaveDialogSettings settings;
    settings.title = u"Сохранение файла лентара"_s;
    settings.filterDescription = u"Лентар Фестиваля «Ванторела»"_s;
    settings.filterPattern = u"*.lnr.xml"_s;
    settings.defaultSuffix = u"lnr.xml"_s;
    settings.initialFileName = proposedName;
    settings.confirmOverwrite = true;
    return settings;
}

void ShowIncompleteMessage(Platform &platform, const QString &missingItems)
{
    platform.showMessage(IncompleteMessageText(missingItems), QString::fromUtf8(kIncompleteCaption),
        MessageIcon::Warning, MessageButtons::Ok);
}

bool SaveLentar(const LentarDocument &doc, Platform &platform)
{
    const QString missing = CheckCompleteness(doc);
    if (!missing.isEmpty()) {
        ShowIncompleteMessage(platform, missing);
        return false;
    }

    const std::optional<QString> chosen
        = platform.askSaveFileName(LentarSaveDialogSettings(ProposedFileName(doc.title)));
    if (!chosen)
        return false;
    const QString &path = *chosen;

    // The stylesheet goes first: it is the same for every lentar, so writing it can
    // harm nothing, and when it fails the earlier lentar of that name is still intact.
    // It goes into the lentar's own folder, named explicitly rather than through the
    // working directory, because the lentar names it by a relative reference.
    QString folder = QFileInfo(path).path();
    if (!folder.endsWith(u'/'))
        folder += u'/';
    WritePreviewStylesheet(folder);

    // The lentar replaces its file atomically and throws on failure, so there is
    // nothing left to poll for afterwards: reaching the message means it is on disk.
    WriteLentarFile(SerializeLentar(BuildLentarXml(doc, platform.currentTime())), path);

    platform.showMessage(u"Лентар успешно сохранен как: "_s + QDir::toNativeSeparators(path),
        u"Лентар сохранен"_s, MessageIcon::Information, MessageButtons::Ok);

    // The preview files belong to the work in progress; once it is saved they go.
    const QString temp = platform.tempFolder();
    for (const char *name :
        { "preview.lnr.jpg", kPreviewDocumentName, kStylesheetFileName, kPreviewPageName }) {
        const QString file = temp + QString::fromUtf8(name);
        if (QFile::exists(file))
            QFile::remove(file);
    }
    return true;
}
