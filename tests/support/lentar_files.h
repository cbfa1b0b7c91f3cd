#pragma once

// Lentar files for the tests of opening: a full lentar with a real picture, the forms
// another writer may give the same lentar, and files that are no lentar at all.
// Needs lentar_document (the writer) and lentar_picture_fixtures (the picture).

#include "codec/base64.h"
#include "document/lentar_reader.h"
#include "document/lentar_xml.h"
#include "jpeg_fixtures.h"
#include "lentar_variations.h"
#include "test_files.h"

#include <QByteArray>
#include <QList>
#include <QRegularExpression>
#include <QString>

#include <string_view>

inline constexpr qint64 kOpenStored = 1294000000;

// A small photograph-like JPEG of the given size.
inline QByteArray TestPicture(int width = 120, int height = 90)
{
    return EncodeFixture(PhotoSamples(width, height, 7), width, height);
}

inline QByteArray PictureBase64(const QByteArray &jpeg)
{
    return QByteArray::fromStdString(
        Base64EncodeString(std::string_view(jpeg.constData(), std::size_t(jpeg.size())), 19));
}

// A complete lentar with something in every field, markup characters and line breaks
// in its texts, two authors, two leaders and a picture with a caption.
inline LentarDocument FullLentar(const QByteArray &jpeg = TestPicture())
{
    LentarDocument doc;
    doc.title = QStringLiteral("\"Кот & <b>пёс</b>\" — этюд №2");
    doc.description = QStringLiteral("Первая строка\r\n\r\nтретья <i>строка</i>");
    doc.techRequest = QStringLiteral("Windows XP, 1 ГБ");
    doc.manual = QStringLiteral("Открыть index.html\r\nи читать");
    doc.subjectSlots = { 2, 19, 24, 0, 0 };
    doc.authors = { { ValidParticipantId("1234567"), QStringLiteral("Иванов"),
                        QStringLiteral("Иван"), QStringLiteral("Иванович") },
        { ValidParticipantId("7654321"), QStringLiteral("Петрова"), QStringLiteral("Анна"),
            QStringLiteral("Сергеевна") } };
    doc.leaders = { { ValidParticipantId("1112223"), QStringLiteral("Сидоров"),
                        QStringLiteral("Пётр"), QStringLiteral("Ильич") },
        { ValidParticipantId("3332221"), QStringLiteral("Орлова"), QStringLiteral("Вера"),
            QStringLiteral("Павловна") } };
    doc.invoiceLeader = 1;
    doc.publicPostIndex = QStringLiteral("630090");
    doc.publicPostAddress = QStringLiteral("Новосибирск, ул. Пирогова, 2");
    doc.publicPhone = QStringLiteral("+7 (383) 330-00-00");
    doc.publicEmail = QStringLiteral("school@example.ru");
    const DecodedFixture size = DecodeFixture(jpeg);
    doc.picture
        = { true, PictureBase64(jpeg), size.width, size.height, QStringLiteral("Вид <сбоку>") };
    doc.notes = QStringLiteral("Спасибо!\r\n\r\nВопросы — по почте.");
    return doc;
}

inline QByteArray LentarBytes(const LentarDocument &doc, qint64 stored = kOpenStored)
{
    return LentarFileBytes(SerializeLentar(BuildLentarXml(doc, stored)));
}

inline QByteArray PreviewBytes(const LentarDocument &doc)
{
    return PreviewFileBytes(
        SerializeLentar(BuildLentarXml(doc, kOpenStored, LentarVariant::Preview)));
}

inline QByteArray ReplacedOnce(QByteArray bytes, const QByteArray &from, const QByteArray &to)
{
    const qsizetype at = bytes.indexOf(from);
    if (at < 0)
        qFatal("test file lacks %s", from.constData());
    return bytes.replace(at, from.size(), to);
}
