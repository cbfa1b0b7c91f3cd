#include "document/lentar_document.h"

#include "codec/cp1251.h"

QString TrimControls(const QString &text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text.at(begin).unicode() <= 32)
        ++begin;
    while (end > begin && text.at(end - 1).unicode() <= 32)
        --end;
    if (begin == 0 && end == text.size())
        return text;
    return text.mid(begin, end - begin);
}

QString ReduceToCp1251(const QString &text)
{
    QString result;
    result.reserve(text.size());
    const QChar *data = text.constData();
    const qsizetype size = text.size();
    for (qsizetype i = 0; i < size; ++i) {
        const char16_t unit = data[i].unicode();
        if (unit < 0x80) {
            result.append(QChar(unit));
            continue;
        }
        char32_t codePoint = unit;
        if (QChar::isHighSurrogate(unit) && i + 1 < size
            && QChar::isLowSurrogate(data[i + 1].unicode())) {
            codePoint = QChar::surrogateToUcs4(unit, data[i + 1].unicode());
            ++i;
        } else if (QChar::isSurrogate(unit)) {
            // An unpaired surrogate is no character at all; it cannot reach a UTF-8
            // file, so it becomes one "?" like any other character the code page lacks.
            result.append(u'?');
            continue;
        }
        if (IsInCp1251(codePoint))
            result.append(QChar(unit)); // in the code page means in the BMP
        else
            result.append(u'?');
    }
    return result;
}
