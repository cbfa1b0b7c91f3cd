// Writes a folder of complete lentars with pictures, as the organisers receive them,
// for timing lentar-check: lentar_check_corpus FOLDER COUNT [LARGE]
// With LARGE, the files instead hold a picture text of about 15 MiB each, just under
// the size a lentar may have, to see what the largest files cost in memory.

#include "bench_photo.h"
#include "codec/participant_id.h"
#include "document/lentar_xml.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr int kPictures = 64; // distinct pictures, taken in turn

QString Id(int work, int person)
{
    const std::string body = std::to_string(1000000 + (work * 13 + person) % 9000000);
    return QString::fromStdString(FormatParticipantId(body + ComputeIdCheckDigits(body)));
}

QByteArray Base64Lines(const QByteArray &bytes)
{
    const QByteArray plain = bytes.toBase64();
    QByteArray text;
    text.reserve(plain.size() + plain.size() / 76 + 1);
    for (qsizetype i = 0; i < plain.size(); i += 76)
        text += plain.mid(i, 76) + (i + 76 <= plain.size() ? "\n" : "");
    return text;
}

LentarDocument Work(int n, const QByteArray &pictureText, int width, int height)
{
    static const char16_t *const surnames[] = { u"Иванов", u"Петров", u"Сидоров", u"Кузнецов",
        u"Смирнов", u"Попов", u"Соколов", u"Лебедев" };
    LentarDocument doc;
    doc.title = QStringLiteral("Исследование номер %1: свойства воды в природе и в быту").arg(n);
    doc.description
        = QStringLiteral("Мы изучили, как вода меняет свойства при нагревании.\r\n").repeated(8);
    doc.techRequest = QStringLiteral("Любой браузер");
    doc.manual = QStringLiteral("Откройте страницу и прочитайте введение.\r\n").repeated(4);
    doc.subjectSlots = { 1 + n % 22, 24, 0, 0, 0 };
    for (int a = 0; a < 1 + n % 4; ++a)
        doc.authors.append({ Id(n, a), QString::fromUtf16(surnames[(n + a) % 8]),
            QStringLiteral("Иван"), QStringLiteral("Петрович") });
    for (int l = 0; l < 1 + n % 2; ++l)
        doc.leaders.append({ Id(n, 10 + l), QString::fromUtf16(surnames[(n + l + 3) % 8]),
            QStringLiteral("Мария"), QStringLiteral("Сергеевна") });
    doc.invoiceLeader = 0;
    doc.publicPostIndex = QStringLiteral("123456");
    doc.publicPostAddress = QStringLiteral("г. Москва, ул. Ленина, д. 1, школа № 2");
    doc.publicPhone = QStringLiteral("+7 495 123-45-67");
    doc.publicEmail = QStringLiteral("school@example.org");
    doc.picture.present = true;
    doc.picture.base64 = pictureText;
    doc.picture.width = width;
    doc.picture.height = height;
    doc.picture.caption = QStringLiteral("Опыт с кипящей водой");
    doc.notes = QStringLiteral("Просим разместить работу в разделе исследований.");
    return doc;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: lentar_check_corpus FOLDER COUNT [LARGE]\n");
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    const int count = std::atoi(argv[2]);
    const bool large = argc > 3;
    if (!QDir().mkpath(folder))
        return 1;

    std::vector<QByteArray> pictures;
    for (int p = 0; p < kPictures; ++p) {
        QByteArray jpeg
            = EncodePhotoJpeg(PhotoLikeRgb(300, 225, unsigned(p)), 300, 225, 90, p % 5 == 0);
        if (large) {
            // A valid picture followed by filler the decoder never reads: the text is as
            // large as a lentar may hold, the JPEG itself stays sound.
            jpeg.append(QByteArray(11 * 1024 * 1024, '\0'));
        }
        pictures.push_back(Base64Lines(jpeg));
    }
    for (int n = 0; n < count; ++n) {
        const LentarDocument doc = Work(n, pictures[std::size_t(n % kPictures)], 300, 225);
        const QString path = folder
            + QStringLiteral("/%1/work-%2.lnr.xml").arg(n / 500).arg(n, 5, 10, QLatin1Char('0'));
        QDir().mkpath(QFileInfo(path).path());
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly)
            || file.write(LentarFileBytes(SerializeLentar(BuildLentarXml(doc, 1290000000 + n))))
                < 0)
            return 1;
        if (large && n + 1 >= kPictures)
            break;
    }
    return 0;
}
