#include "output/open_command.h"

#include "codec/error.h"
#include "document/lentar_reader.h"
#include "picture/jpeg_codec.h"
#include "picture/jpeg_inspect.h"
#include "platform/platform.h"

#include <QBuffer>
#include <QDir>
#include <QFileInfo>
#include <QStringList>

using namespace Qt::StringLiterals;

namespace {

// A file made to be hostile may hold thousands of faults; the message names the first
// ones and counts the rest, so that it still fits on the screen.
constexpr qsizetype kMostFindingsShown = 15;

QString Shown(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

// The stored picture is shown only when it is a whole JPEG of a sane size; its bytes
// are never re-encoded, so a damaged one is left out rather than repaired.
void CheckPicture(const QByteArray &jpeg, OpenedLentar &opened, QStringList &findings)
{
    WorkImage &picture = opened.doc.picture;
    if (!picture.present)
        return;
    JpegInspection inspection = InspectJpeg(jpeg);
    QString damage = inspection.reason;
    if (inspection.ok) {
        try {
            QBuffer source;
            source.setData(jpeg);
            source.open(QIODevice::ReadOnly);
            ScaledJpeg decoded = DecodeScaledJpeg(source);
            opened.pixels = std::move(decoded.image);
            // Shown upright, as a browser shows it, so its size is the upright one.
            if (decoded.sideways)
                std::swap(inspection.width, inspection.height);
        } catch (const LentarError &error) {
            damage = QString::fromUtf8(error.what());
        }
    }
    if (inspection.ok && damage.isEmpty()) {
        if (inspection.width != picture.width || inspection.height != picture.height) {
            findings << u"Размер картинки в лентаре %1 x %2 точек, а у самого изображения "
                        u"%3 x %4; взят размер изображения"_s.arg(picture.width)
                            .arg(picture.height)
                            .arg(inspection.width)
                            .arg(inspection.height);
            picture.width = inspection.width;
            picture.height = inspection.height;
        }
        return;
    }
    findings << (picture.caption.isEmpty()
            ? u"Картинка не загружена: %1"_s.arg(damage)
            : u"Картинка не загружена вместе с подписью к ней: %1"_s.arg(damage));
    picture = WorkImage {};
    opened.pixels = RgbImage {};
}

QString FindingsText(const QString &path, const QStringList &findings)
{
    QString text = u"Лентар «%1» открыт, но в нём не всё было в порядке:\n"_s.arg(Shown(path));
    for (const QString &finding : findings.first(std::min(findings.size(), kMostFindingsShown)))
        text += u" - "_s + finding + u'\n';
    if (findings.size() > kMostFindingsShown)
        text += u" и ещё замечаний: %1\n"_s.arg(findings.size() - kMostFindingsShown);
    text += u"\nПроверьте эти поля, прежде чем сохранять лентар."_s;
    return text;
}

} // namespace

std::optional<QString> ChooseLentar(Platform &platform)
{
    return platform.askOpenLentar(
        QString::fromUtf8(kOpenDialogTitle), QString::fromUtf8(kLentarDialogFilter));
}

std::optional<OpenedLentar> OpenLentar(const QString &path, Platform &platform)
{
    const QString absolute = QFileInfo(path).absoluteFilePath();
    const LentarReadResult read = ReadLentarFile(absolute);
    if (read.refusal) {
        platform.showMessage(
            u"Файл «%1» не открыт: %2."_s.arg(Shown(absolute), read.refusal->message),
            QString::fromUtf8(kOpenDialogTitle), MessageIcon::Error, MessageButtons::Ok);
        return std::nullopt;
    }

    OpenedLentar opened { absolute, read.doc, {} };
    QStringList findings;
    for (const ReadFinding &finding : read.findings)
        findings << finding.message;
    CheckPicture(read.pictureJpeg, opened, findings);
    if (!findings.isEmpty())
        platform.showMessage(FindingsText(absolute, findings), QString::fromUtf8(kOpenDialogTitle),
            MessageIcon::Warning, MessageButtons::Ok);
    return opened;
}
