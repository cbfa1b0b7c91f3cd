#pragma once

// Lentars for the checker's tests, written by the editor's own writer, and the ways a
// received file can go wrong.

#include "document/lentar_xml.h"
#include "jpeg_fixtures.h"
#include "test_files.h"

#include <QByteArray>
#include <QString>

#include <string>

// A JPEG of the given size, as the picture import would store it.
inline QByteArray CorpusJpeg(int width = 120, int height = 90, bool progressive = false)
{
    FixtureOptions options;
    options.progressive = progressive;
    return EncodeFixture(NoiseSamples(width, height, 3, 7), width, height, options);
}

inline QByteArray PictureBase64(const QByteArray &jpeg)
{
    QByteArray text;
    const QByteArray plain = jpeg.toBase64();
    for (qsizetype i = 0; i < plain.size(); i += 76)
        text += plain.mid(i, 76) + (i + 76 <= plain.size() ? "\n" : "");
    return text;
}

// A complete lentar with two authors, two leaders, two subjects and a picture; seed
// makes the title and the identifiers differ between works.
inline LentarDocument CompleteLentar(int seed = 1)
{
    const auto id = [seed](int person) {
        return ValidParticipantId(std::to_string(1000000 + seed * 20 + person));
    };
    LentarDocument doc;
    doc.title = QStringLiteral("Работа номер %1").arg(seed);
    doc.description = QStringLiteral("Первая строка\r\nвторая строка");
    doc.techRequest = QStringLiteral("Браузер");
    doc.manual = QStringLiteral("Открыть, посмотреть");
    doc.subjectSlots = { 2, 19, 0, 0, 0 };
    doc.authors = {
        { id(1), QStringLiteral("Иванов"), QStringLiteral("Иван"), QStringLiteral("Иванович") },
        { id(2), QStringLiteral("Петрова"), QStringLiteral("Мария"), QStringLiteral("Сергеевна") }
    };
    doc.leaders = {
        { id(3), QStringLiteral("Сидоров"), QStringLiteral("Пётр"), QStringLiteral("Ильич") },
        { id(4), QStringLiteral("Кузнецова"), QStringLiteral("Анна"), QStringLiteral("Павловна") }
    };
    doc.invoiceLeader = 1;
    doc.publicEmail = QStringLiteral("school@example.org");
    doc.picture.present = true;
    doc.picture.base64 = PictureBase64(CorpusJpeg());
    doc.picture.width = 120;
    doc.picture.height = 90;
    doc.picture.caption = QStringLiteral("Схема опыта");
    return doc;
}

// The file the save command writes for doc.
inline QByteArray LentarBytes(const LentarDocument &doc)
{
    return LentarFileBytes(SerializeLentar(BuildLentarXml(doc, 1290000000)));
}

// bytes with the first occurrence of from replaced by to; empty when from is absent,
// so that a fault that did not apply fails the test instead of passing unnoticed.
inline QByteArray Replaced(const QByteArray &bytes, const QByteArray &from, const QByteArray &to)
{
    const qsizetype at = bytes.indexOf(from);
    if (at < 0)
        return {};
    QByteArray result = bytes;
    result.replace(at, from.size(), to);
    return result;
}
