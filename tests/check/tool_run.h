#pragma once

// Running the real lentar-check in a folder, and reading its CSV back.

#include <QProcess>
#include <QString>
#include <QStringList>

struct Run
{
    int exitCode = -1;
    QString out;
    QString err;
};

inline Run RunTool(const QStringList &arguments, const QString &folder,
    const QProcessEnvironment &environment = QProcessEnvironment::systemEnvironment())
{
    QProcess process;
    process.setWorkingDirectory(folder);
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral(LENTAR_CHECK_BIN), arguments);
    Run run;
    if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit)
        return run;
    run.exitCode = process.exitCode();
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

// Records of RFC 4180 text; a malformed text gives an empty list.
inline QList<QStringList> ParseCsv(const QString &text)
{
    QList<QStringList> rows;
    QStringList row;
    QString field;
    bool quoted = false;
    bool fieldStarted = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (quoted) {
            if (c == u'"' && i + 1 < text.size() && text.at(i + 1) == u'"') {
                field += u'"';
                ++i;
            } else if (c == u'"') {
                quoted = false;
            } else {
                field += c;
            }
        } else if (c == u'"' && !fieldStarted) {
            quoted = fieldStarted = true;
        } else if (c == u',') {
            row.append(field);
            field.clear();
            fieldStarted = false;
        } else if (c == u'\r' && i + 1 < text.size() && text.at(i + 1) == u'\n') {
            row.append(field);
            rows.append(row);
            row.clear();
            field.clear();
            fieldStarted = false;
            ++i;
        } else if (c == u'"' || c == u'\r' || c == u'\n') {
            return {}; // a quotation mark or a line break outside quotes
        } else {
            field += c;
            fieldStarted = true;
        }
    }
    if (quoted || !row.isEmpty() || !field.isEmpty())
        return {}; // the last record must end with CR LF
    return rows;
}
