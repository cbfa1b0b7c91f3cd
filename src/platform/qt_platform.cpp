#include "platform/qt_platform.h"

#include <QDateTime>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>
#include <QStandardPaths>
#include <QUrl>

namespace {

QMessageBox::Icon toQtIcon(MessageIcon icon)
{
    switch (icon) {
    case MessageIcon::Error:
        return QMessageBox::Critical;
    case MessageIcon::Warning:
        return QMessageBox::Warning;
    case MessageIcon::Information:
        return QMessageBox::Information;
    case MessageIcon::Question:
        return QMessageBox::Question;
    case MessageIcon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

// Qt reads the patterns of a filter from its parentheses, separated by blanks; the
// program's filters separate them by ";" as the file type lists always did.
QString toQtFilter(const QString &filter)
{
    const qsizetype open = filter.lastIndexOf(u'(');
    if (open < 0)
        return filter;
    QString patterns = filter.mid(open);
    patterns.replace(u';', u' ');
    return filter.left(open) + patterns;
}

// Word wrap breaks only between words, so a long path, which has no blanks, would run
// out of the message box and be cut off. A run of visible characters too long for a
// line gets a zero-width break opportunity after each character, so that it wraps
// wherever the line ends and the whole of it stays readable.
QString withBreakOpportunities(const QString &text)
{
    constexpr qsizetype kLongestUnbroken = 30;
    QString result;
    result.reserve(text.size() * 2);
    qsizetype runStart = 0;
    const auto flushRun = [&](qsizetype end) {
        const QStringView run = QStringView(text).mid(runStart, end - runStart);
        if (run.size() <= kLongestUnbroken) {
            result.append(run);
            return;
        }
        for (qsizetype i = 0; i < run.size(); ++i) {
            result.append(run[i]);
            // A surrogate pair is one character: no break between its halves.
            if (!run[i].isHighSurrogate())
                result.append(QChar(0x200B));
        }
    };
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i].isSpace()) {
            flushRun(i);
            result.append(text[i]);
            runStart = i + 1;
        }
    }
    flushRun(text.size());
    return result;
}

// A file dialog opens where the user last chose a file in this run, and at first in
// the user's documents folder, or the home folder when there is none. Nothing of it
// is kept between runs.
QString StartFolder(const QString &lastChosen)
{
    if (!lastChosen.isEmpty() && QFileInfo(lastChosen).isDir())
        return lastChosen;
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (!documents.isEmpty() && QFileInfo(documents).isDir())
        return documents;
    return QDir::homePath();
}

// Qt's own dialog rather than the desktop's: the desktop's speaks the language of the
// user's locale, not always Russian, and adds every saved file to the desktop's list
// of recent documents, which this program never does.
void PrepareFileDialog(QFileDialog &dialog)
{
    dialog.setOption(QFileDialog::DontUseNativeDialog);
}

} // namespace

MessageAnswer QtPlatform::showMessage(
    const QString &text, const QString &caption, MessageIcon icon, MessageButtons buttons)
{
    QMessageBox box(
        toQtIcon(icon), caption, withBreakOpportunities(text), QMessageBox::NoButton, owner_);
    // The texts are the program's own words with paths and typed values in them: never
    // markup.
    box.setTextFormat(Qt::PlainText);
    switch (buttons) {
    case MessageButtons::Ok:
        box.addButton(QStringLiteral("ОК"), QMessageBox::AcceptRole);
        box.exec();
        return MessageAnswer::Ok;
    case MessageButtons::YesNo: {
        QPushButton *yes = box.addButton(QStringLiteral("Да"), QMessageBox::YesRole);
        QPushButton *no = box.addButton(QStringLiteral("Нет"), QMessageBox::NoRole);
        box.setDefaultButton(yes);
        box.setEscapeButton(no);
        box.exec();
        return box.clickedButton() == yes ? MessageAnswer::Yes : MessageAnswer::No;
    }
    case MessageButtons::SaveDiscardCancel: {
        QPushButton *save = box.addButton(QStringLiteral("Сохранить"), QMessageBox::AcceptRole);
        QPushButton *discard
            = box.addButton(QStringLiteral("Не сохранять"), QMessageBox::DestructiveRole);
        QPushButton *cancel = box.addButton(QStringLiteral("Отмена"), QMessageBox::RejectRole);
        box.setDefaultButton(save);
        box.setEscapeButton(cancel);
        box.exec();
        if (box.clickedButton() == save)
            return MessageAnswer::Save;
        if (box.clickedButton() == discard)
            return MessageAnswer::Discard;
        return MessageAnswer::Cancel;
    }
    }
    return MessageAnswer::Ok;
}

std::optional<QString> QtPlatform::askExistingFile(
    const QString &title, const QString &filter, const char *dialogName, QString &lastFolder)
{
    QFileDialog dialog(owner_, title, StartFolder(lastFolder), toQtFilter(filter));
    dialog.setObjectName(QLatin1StringView(dialogName));
    PrepareFileDialog(dialog);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    const QString path = dialog.selectedFiles().constFirst();
    lastFolder = QFileInfo(path).absolutePath();
    return path;
}

std::optional<QString> QtPlatform::askOpenPicture(const QString &title, const QString &filter)
{
    return askExistingFile(title, filter, "OpenPictureDialog", pictureFolder_);
}

std::optional<QString> QtPlatform::askOpenLentar(const QString &title, const QString &filter)
{
    return askExistingFile(title, filter, "OpenLentarDialog", lentarFolder_);
}

std::optional<QString> QtPlatform::askSaveFileName(const SaveDialogSettings &settings)
{
    // A lentar that came from a file is proposed in that file's folder.
    const QString folder
        = !settings.initialFolder.isEmpty() && QFileInfo(settings.initialFolder).isDir()
        ? settings.initialFolder
        : StartFolder(lentarFolder_);
    QFileDialog dialog(owner_, settings.title, folder);
    dialog.setObjectName(QStringLiteral("SaveDialog"));
    PrepareFileDialog(dialog);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilter(
        settings.filterDescription + QStringLiteral(" (") + settings.filterPattern + u')');
    dialog.setDefaultSuffix(settings.defaultSuffix);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, !settings.confirmOverwrite);
    dialog.selectFile(settings.initialFileName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    const QString path = dialog.selectedFiles().constFirst();
    lentarFolder_ = QFileInfo(path).absolutePath();
    return path;
}

QString QtPlatform::tempFolder()
{
    // Qt answers an empty path when TMPDIR names a folder that does not exist; the
    // system's own folder is then the place for the working files.
    QStringList candidates { QDir::tempPath() };
#ifdef Q_OS_UNIX
    candidates.append(QStringLiteral("/tmp"));
#endif
    return WritableTempFolder(candidates);
}

qint64 QtPlatform::currentTime()
{
    return QDateTime::currentSecsSinceEpoch();
}

bool QtPlatform::openInBrowser(const QString &path)
{
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}
