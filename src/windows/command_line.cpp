#include "windows/command_line.h"

#include "lentar_version.h"
#include "platform/platform.h"
#include "spell/spell_checker.h"

#include <QCommandLineParser>
#include <QFileInfo>

using namespace Qt::StringLiterals;

namespace {

// The options QGuiApplication and QApplication read themselves, with and without a
// value. Named here only so that the editor does not refuse them.
constexpr const char *kQtValueOptions[] = { "platform", "platformpluginpath", "platformtheme",
    "plugin", "qwindowgeometry", "qwindowicon", "qwindowtitle", "session", "display", "geometry",
    "title", "style", "stylesheet" };
constexpr const char *kQtFlagOptions[] = { "reverse", "widgetcount", "nograb", "dograb", "sync" };

QString HelpText(const QString &program)
{
    return uR"(Использование: %1 [параметры] [файл]
%2 — редактор лентаров: описаний школьных исследовательских и творческих работ
для фестиваля «Ванторела».

Аргументы:
  файл           лентар (*.lnr.xml), который открыть при запуске

Параметры:
  -h, --help     показать эту справку и выйти
  -v, --version  показать версию программы и выйти

Принимаются и параметры библиотеки Qt, например -platform и -style.

Орфография проверяется по русскому словарю Hunspell (ru_RU.aff и ru_RU.dic,
пакет hunspell-ru); он ищется в этих папках, берется первый найденный:
%3
Без словаря программа работает без проверки орфографии.
Слова, добавленные в словарь, хранятся в %4.
)"_s.arg(program, QString::fromUtf8(kApplicationTitle),
        u"  "_s + DictionaryFolders().join(u"\n  "_s), PersonalWordsPath());
}

CommandLine Failure(const QString &program, const QString &problem)
{
    CommandLine result;
    result.action = CommandLine::Action::Fail;
    result.exitCode = kCommandLineErrorExitCode;
    result.output = u"%1: %2\nСправка о параметрах: %1 --help\n"_s.arg(program, problem);
    return result;
}

bool TakesValue(const QString &name)
{
    for (const char *option : kQtValueOptions)
        if (name == QLatin1String(option))
            return true;
    return false;
}

// An option's name without its dashes and its "=value".
QString BareName(const QString &argument)
{
    QString bare = argument.section(u'=', 0, 0);
    while (bare.startsWith(u'-'))
        bare.remove(0, 1);
    return bare;
}

// The options of the line, as typed, up to "--".
QStringList Options(const QStringList &arguments)
{
    QStringList options;
    for (const QString &argument : arguments.mid(1)) {
        if (argument == u"--"_s)
            break;
        if (argument.startsWith(u'-') && argument != u"-"_s)
            options << argument;
    }
    return options;
}

// The option as it was typed: one dash before a single letter, two before a word,
// unless the user typed it otherwise.
QString AsTyped(const QString &name, const QStringList &arguments)
{
    for (const QString &option : Options(arguments)) {
        if (BareName(option) == name)
            return option.section(u'=', 0, 0);
    }
    return (name.size() == 1 ? u"-"_s : u"--"_s) + name;
}

} // namespace

CommandLine ParseCommandLine(const QStringList &arguments)
{
    const QString program = arguments.isEmpty() || arguments[0].isEmpty()
        ? u"lentar"_s
        : QFileInfo(arguments[0]).fileName();

    QCommandLineParser parser;
    // Qt's own options are words after a single dash: "-platform", "-style".
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help(QStringList { u"h"_s, u"help"_s, u"?"_s });
    const QCommandLineOption version(QStringList { u"v"_s, u"version"_s });
    parser.addOption(help);
    parser.addOption(version);
    for (const char *name : kQtValueOptions)
        parser.addOption(QCommandLineOption(QString::fromLatin1(name), QString(), u"value"_s));
    for (const char *name : kQtFlagOptions)
        parser.addOption(QCommandLineOption(QString::fromLatin1(name)));

    // The parser needs a program name in front; an empty list would lose the first
    // argument.
    QStringList line = arguments;
    if (line.isEmpty())
        line << program;
    if (!parser.parse(line)) {
        const QStringList unknown = parser.unknownOptionNames();
        if (!unknown.isEmpty())
            return Failure(program, u"неизвестный параметр «%1»."_s.arg(AsTyped(unknown[0], line)));
        // Otherwise an option that takes no value was given one ("--help=1"), or an
        // option that needs one ends the line.
        for (const QString &option : Options(line)) {
            if (option.contains(u'=') && !TakesValue(BareName(option)))
                return Failure(program,
                    u"параметр «%1» не принимает значения."_s.arg(option.section(u'=', 0, 0)));
        }
        return Failure(program, u"параметру «%1» не хватает значения."_s.arg(line.last()));
    }

    CommandLine result;
    if (parser.isSet(help)) {
        result.action = CommandLine::Action::PrintHelp;
        result.output = HelpText(program);
        return result;
    }
    if (parser.isSet(version)) {
        result.action = CommandLine::Action::PrintVersion;
        result.output = u"%1 %2\n"_s.arg(
            QString::fromUtf8(kApplicationTitle), QString::fromLatin1(kLentarVersion));
        return result;
    }
    const QStringList files = parser.positionalArguments();
    if (files.size() > 1)
        return Failure(program,
            u"можно открыть только один файл, а названо %1: «%2»."_s.arg(files.size())
                .arg(files.join(u"», «"_s)));
    if (!files.isEmpty())
        result.file = files[0];
    return result;
}
