#include "codec/participant_id.h"
#include "codec/text.h"

#include <QCryptographicHash>
#include <QMap>
#include <QTest>

#include <cmath>

namespace {

// The check text worked out in floating point from Qt's digest, the way the rule is
// stated, without the integer shortcut the program takes.
std::string ReferenceCheckDigits(const std::string &body)
{
    const QByteArray digest = QCryptographicHash::hash(
        QByteArrayView(body.data(), qsizetype(body.size())), QCryptographicHash::Md5);
    const int v = static_cast<unsigned char>(digest.at(0));
    const long c = std::lround(static_cast<long double>(v) * 99.0L / 255.0L);
    return QString::asprintf("%02ld", c).toStdString();
}

int FirstDigestByte(const std::string &text)
{
    return static_cast<unsigned char>(QCryptographicHash::hash(
        QByteArrayView(text.data(), qsizetype(text.size())), QCryptographicHash::Md5)
                                          .at(0));
}

std::string Body(int number)
{
    return QString::asprintf("%07d", number).toStdString();
}

} // namespace

class ParticipantIdTest : public QObject
{
    Q_OBJECT

private slots:
    // One seven-digit body for every possible first digest byte, found by search, so
    // that the whole scaling to 0..99 is exercised.
    void checkDigitsForEveryFirstByte()
    {
        QMap<int, std::string> bodyOf;
        for (int number = 0; bodyOf.size() < 256 && number < 1000000; ++number) {
            const std::string body = Body(number);
            const int v = FirstDigestByte(body);
            if (!bodyOf.contains(v))
                bodyOf.insert(v, body);
        }
        QCOMPARE(bodyOf.size(), 256);
        for (auto it = bodyOf.cbegin(); it != bodyOf.cend(); ++it) {
            const std::string digits = ComputeIdCheckDigits(it.value());
            QVERIFY2(digits == ReferenceCheckDigits(it.value()),
                qPrintable(QString("first byte %1").arg(it.key())));
        }

        // The ends and the leading zero, as the organisers' tables have them.
        const QMap<int, std::string> known = { { 0, "00" }, { 1, "00" }, { 2, "01" }, { 3, "01" },
            { 13, "05" }, { 128, "50" }, { 254, "99" }, { 255, "99" } };
        for (auto it = known.cbegin(); it != known.cend(); ++it)
            QCOMPARE(ComputeIdCheckDigits(bodyOf.value(it.key())), it.value());
    }

    void checkDigitsUseOnlyTheBody_data()
    {
        QTest::addColumn<QByteArray>("id");
        QTest::addColumn<QByteArray>("body");
        QTest::newRow("empty") << QByteArray() << QByteArray();
        QTest::newRow("three") << QByteArray("123") << QByteArray("123");
        QTest::newRow("seven") << QByteArray("1234567") << QByteArray("1234567");
        QTest::newRow("nine") << QByteArray("123456789") << QByteArray("1234567");
        QTest::newRow("twelve") << QByteArray("123456789012") << QByteArray("1234567");
    }

    void checkDigitsUseOnlyTheBody()
    {
        QFETCH(QByteArray, id);
        QFETCH(QByteArray, body);
        QCOMPARE(ComputeIdCheckDigits(id.toStdString()), ReferenceCheckDigits(body.toStdString()));
    }

    void validIdentifiersPass()
    {
        for (int number = 0; number < 10000000; number += 7919) {
            const std::string id = Body(number) + ReferenceCheckDigits(Body(number));
            QVERIFY2(CheckParticipantId(id), id.c_str());
        }
    }

    void variantsOfAValidIdentifier()
    {
        const std::string body = "4815162";
        const std::string id = body + ReferenceCheckDigits(body);
        QVERIFY(CheckParticipantId(id));

        for (int position : { 7, 8 }) {
            for (char digit = '0'; digit <= '9'; ++digit) {
                if (digit == id[std::size_t(position)])
                    continue;
                std::string changed = id;
                changed[std::size_t(position)] = digit;
                QVERIFY2(!CheckParticipantId(changed), changed.c_str());
            }
        }
        // A body digit changed: valid exactly when the new body happens to share the
        // check digits.
        for (std::size_t position = 0; position < 7; ++position) {
            std::string changed = id;
            changed[position] = changed[position] == '9' ? '0' : char(changed[position] + 1);
            const bool shares = ReferenceCheckDigits(changed.substr(0, 7)) == id.substr(7);
            QCOMPARE(CheckParticipantId(changed), shares);
        }

        QVERIFY(!CheckParticipantId(id.substr(0, 8)));
        QVERIFY(!CheckParticipantId(id.substr(0, 7)));
        QVERIFY(!CheckParticipantId(""));
        QVERIFY(CheckParticipantId(id + "0"));
        QVERIFY(CheckParticipantId(id + "-x y"));
        QVERIFY(CheckParticipantId(NormalizeParticipantId(" 481-516-2" + id.substr(7) + "\r\n")));
    }

    // A one-digit check value is written with its zero; the comparison is textual.
    void checkValueBelowTenNeedsItsZero()
    {
        std::string body;
        for (int number = 0; number < 1000000; ++number) {
            if (ReferenceCheckDigits(Body(number))[0] == '0') {
                body = Body(number);
                break;
            }
        }
        QVERIFY(!body.empty());
        const std::string digits = ComputeIdCheckDigits(body);
        QCOMPARE(digits.size(), std::size_t(2));
        QCOMPARE(digits[0], '0');
        QVERIFY(CheckParticipantId(body + digits));
        QVERIFY(!CheckParticipantId(body + digits.substr(1)));
        QVERIFY(!CheckParticipantId(body + " " + digits.substr(1)));
    }

    void normalize_data()
    {
        QTest::addColumn<QByteArray>("typed");
        QTest::addColumn<QByteArray>("normalized");
        QTest::newRow("formatted") << QByteArray("123-456-789") << QByteArray("123456789");
        QTest::newRow("plain") << QByteArray("123456789") << QByteArray("123456789");
        QTest::newRow("blanks") << QByteArray("123 456 789") << QByteArray("123456789");
        QTest::newRow("dashes elsewhere") << QByteArray("1-2345-6789-") << QByteArray("123456789");
        QTest::newRow("dashes and blanks")
            << QByteArray("-1 2-3 45 - 6789") << QByteArray("123456789");
        QTest::newRow("controls around")
            << QByteArray("\t\r\n 123-456-789\x01\x1f ") << QByteArray("123456789");
        QTest::newRow("inner tab kept") << QByteArray("123\t456789") << QByteArray("123\t456789");
        QTest::newRow("dot kept") << QByteArray("123.456.789") << QByteArray("123.456.789");
        QTest::newRow("no-break space kept") << QByteArray("\xa0"
                                                           "123456789")
                                             << QByteArray("\xa0"
                                                           "123456789");
        QTest::newRow("only blanks") << QByteArray(" - - ") << QByteArray();
        QTest::newRow("empty") << QByteArray() << QByteArray();
    }

    void normalize()
    {
        QFETCH(QByteArray, typed);
        QFETCH(QByteArray, normalized);
        QCOMPARE(
            QByteArray::fromStdString(NormalizeParticipantId(typed.toStdString())), normalized);
    }

    void trimControls_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QByteArray>("trimmed");
        QTest::newRow("empty") << QByteArray() << QByteArray();
        QTest::newRow("only controls") << QByteArray("\x01\t \r\n\x1f ") << QByteArray();
        QTest::newRow("both ends") << QByteArray(" \tab c\r\n") << QByteArray("ab c");
        QTest::newRow("zero byte") << QByteArray("\0x\0", 3) << QByteArray("x");
        QTest::newRow("bytes above 127 stay")
            << QByteArray("\xa0\xc0 \xff") << QByteArray("\xa0\xc0 \xff");
        QTest::newRow("code 33 stays") << QByteArray("!x!") << QByteArray("!x!");
    }

    void trimControls()
    {
        QFETCH(QByteArray, text);
        QFETCH(QByteArray, trimmed);
        const std::string_view view(text.constData(), std::size_t(text.size()));
        QCOMPARE(QByteArray::fromStdString(TrimControls(view)), trimmed);
    }

    void format_data()
    {
        QTest::addColumn<QByteArray>("id");
        QTest::addColumn<QByteArray>("formatted");
        QTest::newRow("nine") << QByteArray("123456789") << QByteArray("123-456-789");
        QTest::newRow("longer") << QByteArray("12345678901") << QByteArray("123-456-78901");
        QTest::newRow("eight") << QByteArray("12345678") << QByteArray("123-456-78");
        QTest::newRow("seven") << QByteArray("1234567") << QByteArray("123-456-7");
        QTest::newRow("six") << QByteArray("123456") << QByteArray("123-456");
        QTest::newRow("four") << QByteArray("1234") << QByteArray("123-4");
        QTest::newRow("three") << QByteArray("123") << QByteArray("123");
        QTest::newRow("two") << QByteArray("12") << QByteArray("12");
        QTest::newRow("empty") << QByteArray() << QByteArray();
    }

    void format()
    {
        QFETCH(QByteArray, id);
        QFETCH(QByteArray, formatted);
        QCOMPARE(QByteArray::fromStdString(FormatParticipantId(id.toStdString())), formatted);
    }
};

QTEST_GUILESS_MAIN(ParticipantIdTest)
#include "participant_id_test.moc"
