#include "output/save_command.h"

#include "codec/error.h"
#include "document/completeness.h"
#include "document/lentar_xml.h"
#include "output/preview_command.h"
#include "output/preview_xslt.h"
#include "platform/files.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

using namespace Qt::StringLiterals;

namespace {

// The file systems the program meets take names of up to 255 units: bytes of the
// name's encoding on Unix, UTF-16 units on Windows. A proposed name leaves room for
// the ".XXXXXX" that AtomicFile adds for the new file while it replaces an earlier one,
// so that saving again under the same name works too.
constexpr qsizetype kLongestFileName = 255;
constexpr qsizetype kReplacementSuffix = 7;
constexpr qsizetype kLongestProposedName = kLongestFileName - kReplacementSuffix;

qsizetype FileNameLength(const QString &name)
{
#ifdef Q_OS_WIN
    return name.size();
#else
    return QFile::encodeName(name).size();
#endif
}

// The longest start of name, cut between characters, whose length is at most budget.
QString CutToLength(const QString &name, qsizetype budget)
{
    qsizetype used = 0;
    qsizetype end = 0;
    while (end < name.size()) {
        const qsizetype next = end
            + (name[end].isHighSurrogate() && end + 1 < name.size()
                        && name[end + 1].isLowSurrogate()
                    ? 2
                    : 1);
        used += FileNameLength(name.mid(end, next - end));
        if (used > budget)
            break;
        end = next;
    }
    return name.left(end);
}

// Characters the code page lacks are written as "?"; the user hears which fields hold
// them before anything is written, and may go back and change them.
bool ConfirmLostCharacters(const LentarDocument &doc, Platform &platform)
{
    const QStringList fields = FieldsOutsideCp1251(doc);
    if (fields.isEmpty())
        return true;
    QString text = u"В лентар можно записать только символы кодировки Windows-1251, остальные "
                   u"будут записаны как «?». Такие символы есть в полях:\n"_s;
    for (const QString &field : fields)
        text += u" - "_s + field + u'\n';
    text += u"\nСохранить лентар?"_s;
    return platform.showMessage(
               text, u"Сохранение лентара"_s, MessageIcon::Question, MessageButtons::YesNo)
        == MessageAnswer::Yes;
}

// The dialog asks before replacing the name it returns; when the extension is added
// afterwards, the name that gets replaced is a different one, and the program asks.
bool ConfirmReplace(Platform &platform, const QString &path)
{
    return platform.showMessage(
               u"Файл «%1» уже существует.\nЗаменить его?"_s.arg(QDir::toNativeSeparators(path)),
               u"Сохранение файла лентара"_s, MessageIcon::Question, MessageButtons::YesNo)
        == MessageAnswer::Yes;
}

// The preview files belong to the work in progress; once it is saved they go. A file
// this save wrote stays, whatever its name: the user may save into the temporary
// folder, even as preview.lnr.xml.
void RemovePreviewFiles(Platform &platform, const QStringList &written)
{
    QString temp;
    try {
        temp = platform.tempFolder();
    } catch (const LentarError &) {
        return; // no temporary folder, so no preview files in it either
    }
    for (const char *name :
        { "preview.lnr.jpg", kPreviewDocumentName, kStylesheetFileName, kPreviewPageName }) {
        const QFileInfo file(temp + QString::fromUtf8(name));
        if (file.exists() && !written.contains(file.canonicalFilePath()))
            QFile::remove(file.filePath());
    }
}

} // namespace

bool HasLentarExtension(const QString &fileName)
{
    return fileName.endsWith(QLatin1StringView(kLentarExtension), Qt::CaseInsensitive);
}

QString ProposedFileName(const QString &title)
{
    QString name = ReduceToCp1251(TrimControls(title));
    // In this order: a quotation mark first becomes two apostrophes, and a character
    // the code page lacks has already become "?", which turns into "-" here.
    name.replace(u'"', u"''"_s);
    for (const QChar c : { u'/', u'\\', u'?', u'|', u'*', u'<', u'>', u':' })
        name.replace(c, u'-');

    QString extension = QString::fromLatin1(kLentarExtension);
    if (HasLentarExtension(name)) {
        extension = name.right(extension.size());
        name.chop(extension.size());
    }
    if (FileNameLength(name + extension) > kLongestProposedName) {
        name = CutToLength(name, kLongestProposedName - FileNameLength(extension));
        while (!name.isEmpty() && name.back().unicode() <= 32)
            name.chop(1);
    }
    return name + extension;
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

std::optional<QString> SaveLentarFile(
    const LentarDocument &doc, Platform &platform, const QString &currentFile)
{
    const QString missing = CheckCompleteness(doc);
    if (!missing.isEmpty()) {
        ShowIncompleteMessage(platform, missing);
        return std::nullopt;
    }
    if (!ConfirmLostCharacters(doc, platform))
        return std::nullopt;

    SaveDialogSettings settings = LentarSaveDialogSettings(ProposedFileName(doc.title));
    if (!currentFile.isEmpty()) {
        const QFileInfo current(currentFile);
        settings.initialFileName = current.fileName();
        settings.initialFolder = current.absolutePath();
    }
    const std::optional<QString> chosen = platform.askSaveFileName(settings);
    if (!chosen)
        return std::nullopt;
    // The dialog adds its default extension only to a name without a dot.
    QString path = *chosen;
    if (!HasLentarExtension(QFileInfo(path).fileName())) {
        path += QLatin1StringView(kLentarExtension);
        if (QFileInfo::exists(path) && !ConfirmReplace(platform, path))
            return std::nullopt;
    }

    // The lentar is written in full first but put in place last. So a failure to write
    // either file changes nothing in the folder, and the earlier lentar of that name
    // stays as it was; only putting the lentar in place can still fail after the
    // stylesheet is there, and then a stylesheet this save added is taken away again.
    // The stylesheet goes into the lentar's own folder, named explicitly rather than
    // through the working directory, because the lentar names it by a relative reference.
    // Everything that can run out (room, permissions, the name) fails in write(),
    // before anything in the folder has changed.
    AtomicFile lentar(path, Durability::Durable);
    lentar.write(LentarFileBytes(SerializeLentar(BuildLentarXml(doc, platform.currentTime()))));

    QString folder = QFileInfo(path).path();
    if (!folder.endsWith(u'/'))
        folder += u'/';
    const QFileInfo stylesheet(folder + QString::fromUtf8(kStylesheetFileName));
    const bool stylesheetWasThere = stylesheet.exists() || stylesheet.isSymLink();
    WritePreviewStylesheet(folder);
    try {
        lentar.commit();
    } catch (const FileError &) {
        if (!stylesheetWasThere)
            QFile::remove(stylesheet.filePath());
        throw;
    }

    // The lentar replaces its file atomically and throws on failure, so there is
    // nothing left to poll for afterwards: reaching the message means it is on disk.
    platform.showMessage(u"Лентар успешно сохранен как: "_s + QDir::toNativeSeparators(path),
        u"Лентар сохранен"_s, MessageIcon::Information, MessageButtons::Ok);

    RemovePreviewFiles(platform,
        { QFileInfo(path).canonicalFilePath(),
            QFileInfo(stylesheet.filePath()).canonicalFilePath() });
    return path;
}
