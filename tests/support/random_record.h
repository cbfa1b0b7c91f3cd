#pragma once

// Random lentar records of any content, for the tests that hold the writer and the
// reader to their promises over many documents: every kind of character (markup,
// control characters, Cyrillic, characters outside Windows-1251, surrogates paired and
// unpaired), long values now and then, any subject slots and invoice leader.

#include "document/lentar_document.h"

#include <QRandomGenerator>
#include <QString>

#include <iterator>

class RandomRecord
{
public:
    explicit RandomRecord(quint32 seed)
        : m_random(seed)
    { }

    LentarDocument next()
    {
        LentarDocument doc;
        doc.title = text(40);
        doc.description = text(500);
        doc.techRequest = text(80);
        doc.manual = text(500);
        for (int &slot : doc.subjectSlots) {
            const int pick = bounded(25);
            slot = pick == 23 ? 0 : pick;
        }
        const int authors = bounded(kMaxAuthors + 1);
        for (int i = 0; i < authors; ++i)
            doc.authors.append(person());
        const int leaders = bounded(kMaxLeaders + 1);
        for (int i = 0; i < leaders; ++i)
            doc.leaders.append(person());
        doc.invoiceLeader = bounded(leaders + 2) - 1;
        doc.publicPostIndex = text(10);
        doc.publicPostAddress = text(60);
        doc.publicPhone = text(30);
        doc.publicEmail = text(30);
        doc.notes = text(2000);
        doc.picture.present = bounded(2) == 1;
        doc.picture.base64 = base64(bounded(3000));
        doc.picture.width = bounded(301);
        doc.picture.height = bounded(301);
        doc.picture.caption = bounded(4) == 0 ? QString() : text(60);
        return doc;
    }

    qint64 stored() { return qint64(m_random.generate64() >> 2) - (qint64(1) << 61); }
    bool preview() { return bounded(2) == 1; }

private:
    int bounded(int limit) { return int(m_random.bounded(quint32(limit))); }

    Participant person()
    {
        Participant p;
        if (bounded(4) == 0) {
            p.id = text(11);
        } else {
            p.id = QStringLiteral("%1-%2-%3")
                       .arg(bounded(1000), 3, 10, QChar(u'0'))
                       .arg(bounded(1000), 3, 10, QChar(u'0'))
                       .arg(bounded(1000), 3, 10, QChar(u'0'));
        }
        p.surname = text(50);
        p.name = text(50);
        p.patronymic = text(50);
        return p;
    }

    QByteArray base64(int length)
    {
        static const char alphabet[]
            = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
        QByteArray result;
        for (int i = 0; i < length; ++i) {
            result.append(alphabet[bounded(64)]);
            if (i % 76 == 75 || i == length - 1)
                result.append('\n');
        }
        return result;
    }

    // Mostly short values with every kind of character; now and then a long one.
    QString text(int usualLength)
    {
        const int length = bounded(10) == 0 ? bounded(4000) : bounded(usualLength + 1);
        QString result;
        while (result.size() < length)
            appendCharacter(result);
        return result;
    }

    void appendCharacter(QString &out)
    {
        static const char16_t kept[] = u"«»№\u00A0€—‘’“”•…™ЁёЎў";
        static const char16_t markup[] = u"\"&'<>";
        switch (bounded(12)) {
        case 0:
        case 1:
            out.append(QChar(char16_t(32 + bounded(95))));
            break;
        case 2:
            out.append(QChar(markup[bounded(5)]));
            break;
        case 3:
            out.append(QChar(char16_t(bounded(32))));
            break;
        case 4:
            out.append(QChar(char16_t(u"\r\n\t "[bounded(4)])));
            break;
        case 5:
        case 6:
            out.append(QChar(char16_t(0x400 + bounded(0x100))));
            break;
        case 7:
            out.append(QChar(kept[bounded(std::size(kept) - 1)]));
            break;
        case 8: {
            char16_t unit = char16_t(0x7F + bounded(0x10000 - 0x7F));
            if (QChar::isSurrogate(unit))
                unit = 0xFFFE + bounded(2);
            out.append(QChar(unit));
            break;
        }
        case 9: {
            const char32_t codePoint = 0x10000 + bounded(0x100000);
            out.append(QChar::highSurrogate(codePoint));
            out.append(QChar::lowSurrogate(codePoint));
            break;
        }
        case 10:
            out.append(QChar(char16_t(0xD800 + bounded(0x800)))); // unpaired, or paired by chance
            break;
        default:
            out.append(QChar(char16_t(0xFFFE + bounded(2))));
            break;
        }
    }

    QRandomGenerator m_random;
};
