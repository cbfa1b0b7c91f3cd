#include "platform/qt_platform.h"

#include <QClipboard>
#include <QDateTime>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLayout>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QStandardPaths>
#include <QTextDocumentFragment>
#include <QTextEdit>
#include <QUrl>
#include <QtMath>

#include <memory>

using namespace Qt::StringLiterals;

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

// The text of a message box. A label wraps only between words, so a long path, which
// has no blanks, would run out of the box and be cut off; this read-only text wraps
// between words where it can and anywhere else where it must, and holds, copies and
// reports to a screen reader exactly the message, with nothing added to it.
class MessageText : public QTextEdit
{
public:
    MessageText(const QString &text, QWidget *parent)
        : QTextEdit(parent)
    {
        setObjectName(u"MessageText"_s);
        setReadOnly(true);
        setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
        setFocusPolicy(Qt::ClickFocus); // the buttons keep the keyboard
        setFrameShape(QFrame::NoFrame);
        setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
        viewport()->setAutoFillBackground(false);
        QPalette colours = palette();
        colours.setBrush(QPalette::Text, colours.brush(QPalette::WindowText));
        setPalette(colours);
        document()->setDocumentMargin(0);
        setPlainText(text);
        QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Preferred);
        policy.setHeightForWidth(true);
        setSizePolicy(policy);
    }

    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override
    {
        return qCeil(laidOut(width).height()) + 2 * frameWidth();
    }
    // As wide as the longest line, up to the width beyond which a message box is hard
    // to read; the box takes this as the least width of its text.
    QSize minimumSizeHint() const override
    {
        constexpr int kWidest = 480;
        const int width = std::min(qCeil(laidOut(-1).width()), kWidest) + 2 * frameWidth();
        return { width, heightForWidth(width) };
    }
    QSize sizeHint() const override { return minimumSizeHint(); }

protected:
    // Ctrl+C with nothing selected copies the whole message, as the box does.
    void keyPressEvent(QKeyEvent *event) override
    {
        if (event->matches(QKeySequence::Copy) && !textCursor().hasSelection()) {
            event->ignore();
            return;
        }
        QTextEdit::keyPressEvent(event);
    }
    // The selection as the message has it: the document turns line breaks into
    // paragraph marks and no-break spaces into blanks on the way out.
    QMimeData *createMimeDataFromSelection() const override
    {
        auto *data = new QMimeData;
        data->setText(
            textCursor().selection().toRawText().replace(QChar::ParagraphSeparator, u'\n'));
        return data;
    }

private:
    QSizeF laidOut(int width) const
    {
        const std::unique_ptr<QTextDocument> copy(document()->clone());
        copy->setDefaultFont(font());
        copy->setTextWidth(width < 0 ? -1 : width - 2 * frameWidth());
        return copy->size();
    }
};

// A message box that shows its text through MessageText and whose Ctrl+C copies the
// message alone rather than Qt's framed summary of caption, text and buttons.
class MessageBox : public QMessageBox
{
public:
    MessageBox(Icon icon, const QString &caption, const QString &text, QWidget *owner)
        : QMessageBox(icon, caption, text, QMessageBox::NoButton, owner)
    {
        // The texts are the program's own words with paths and typed values in them:
        // never markup.
        setTextFormat(Qt::PlainText);
        auto *label = findChild<QLabel *>(u"qt_msgbox_label"_s);
        auto *shown = new MessageText(text, this);
        // The layout hands back the label's item, which is ours to delete.
        if (QLayoutItem *replaced = label ? layout()->replaceWidget(label, shown) : nullptr) {
            delete replaced;
            label->hide();
        } else {
            delete shown;
        }
    }

protected:
    void keyPressEvent(QKeyEvent *event) override
    {
        if (event->matches(QKeySequence::Copy)) {
            QGuiApplication::clipboard()->setText(text());
            return;
        }
        QMessageBox::keyPressEvent(event);
    }
};

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
    MessageBox box(toQtIcon(icon), caption, text, owner_);
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
    case MessageButtons::RestoreDeleteLater: {
        QPushButton *restore
            = box.addButton(QStringLiteral("Восстановить"), QMessageBox::AcceptRole);
        QPushButton *remove
            = box.addButton(QStringLiteral("Удалить"), QMessageBox::DestructiveRole);
        QPushButton *later = box.addButton(QStringLiteral("Позже"), QMessageBox::RejectRole);
        box.setDefaultButton(restore);
        // Closing the box decides nothing: the copy waits for the next start.
        box.setEscapeButton(later);
        box.exec();
        if (box.clickedButton() == restore)
            return MessageAnswer::Restore;
        if (box.clickedButton() == remove)
            return MessageAnswer::Delete;
        return MessageAnswer::Later;
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

QString QtPlatform::stateFolder()
{
    return DesktopStateFolder();
}

qint64 QtPlatform::currentTime()
{
    return QDateTime::currentSecsSinceEpoch();
}

bool QtPlatform::openInBrowser(const QString &path)
{
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}
