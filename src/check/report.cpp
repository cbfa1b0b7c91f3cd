#include "check/report.h"

using namespace Qt::StringLiterals;

QString AsRemark(QString sentence)
{
    if (sentence.size() > 1 && sentence.at(0).isUpper() && sentence.at(1).isLower())
        sentence[0] = sentence.at(0).toLower();
    return sentence;
}

QString CsvField(const QString &text)
{
    const bool quote = text.contains(u',') || text.contains(u'"') || text.contains(u'\n')
        || text.contains(u'\r');
    if (!quote)
        return text;
    QString quoted = text;
    quoted.replace(u"\""_s, u"\"\""_s);
    return u'"' + quoted + u'"';
}

QString CsvRow(const QString &file, const CheckProblem &problem)
{
    return CsvField(file) + u',' + CsvField(problem.code) + u',' + CsvField(problem.message)
        + u"\r\n"_s;
}

namespace {

QString OneLine(QString text)
{
    text.replace(u"\r\n"_s, u"↵"_s);
    text.replace(u'\n', u'↵');
    text.replace(u'\r', u'↵');
    return text;
}

// Russian plural of the count: one, few, many.
QString Plural(qsizetype n, const char16_t *one, const char16_t *few, const char16_t *many)
{
    const qsizetype tens = n % 100;
    const qsizetype units = n % 10;
    const char16_t *word = many;
    if (tens < 11 || tens > 14) {
        if (units == 1)
            word = one;
        else if (units >= 2 && units <= 4)
            word = few;
    }
    return QString::number(n) + u' ' + QString::fromUtf16(word);
}

} // namespace

QString ReportLine(const QString &file, const CheckProblem &problem)
{
    return OneLine(file) + u": "_s + OneLine(problem.message) + u'\n';
}

QString SummaryLine(qsizetype files, qsizetype filesWithProblems, qsizetype problems)
{
    return u"Проверено: "_s + Plural(files, u"файл", u"файла", u"файлов") + u", с замечаниями: "_s
        + Plural(filesWithProblems, u"файл", u"файла", u"файлов") + u", всего "_s
        + Plural(problems, u"замечание", u"замечания", u"замечаний") + u".\n"_s;
}
