#pragma once

// The texts a user reads in a window, and the English words among them.

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QSet>
#include <QTabBar>
#include <QTextDocumentFragment>
#include <QTextEdit>
#include <QToolButton>

// Latin words that are names rather than language: the picture and file formats, the
// file extensions in the filters, the identifier's pattern XXX-XXX-XXX, and the keys
// of a shortcut as they are printed on a Russian keyboard.
inline const QSet<QString> &AllowedLatinWords()
{
    static const QSet<QString> words { QStringLiteral("JPEG"), QStringLiteral("jpeg"),
        QStringLiteral("jpg"), QStringLiteral("XML"), QStringLiteral("xml"), QStringLiteral("lnr"),
        QStringLiteral("ID"), QStringLiteral("XXX"), QStringLiteral("Ctrl"),
        QStringLiteral("Shift"), QStringLiteral("Alt"), QStringLiteral("Del"),
        QStringLiteral("Ins") };
    return words;
}

// Every word of two or more Latin letters in the texts that is not on the allowed list,
// each with the text it came from.
inline QStringList EnglishWords(const QStringList &texts)
{
    static const QRegularExpression word(QStringLiteral("[A-Za-z]{2,}"));
    QStringList found;
    for (const QString &text : texts) {
        QString shown = text;
        shown.remove(u'&'); // a mnemonic's marker is not shown
        for (auto it = word.globalMatch(shown); it.hasNext();) {
            const QString match = it.next().captured();
            if (!AllowedLatinWords().contains(match))
                found.append(match + QStringLiteral(" (in «") + text + QStringLiteral("»)"));
        }
    }
    return found;
}

inline QString PlainText(const QString &text, Qt::TextFormat format)
{
    const bool rich
        = format == Qt::RichText || (format == Qt::AutoText && Qt::mightBeRichText(text));
    return rich ? QTextDocumentFragment::fromHtml(text).toPlainText() : text;
}

inline void AppendMenuTexts(const QMenu *menu, QStringList &texts)
{
    texts.append(menu->title());
    for (const QAction *action : menu->actions()) {
        if (!action->isVisible() || action->isSeparator())
            continue;
        texts.append(action->text());
        if (action->menu())
            AppendMenuTexts(action->menu(), texts);
    }
}

// The texts a user reads in top and below it: titles, captions, labels, the entries of
// drop-down lists and menus, column headers, read-only texts and placeholders. What
// the user typed or chose (edited text, file names in lists, the folder paths of a
// file dialog's "look in" list) is the user's, not the program's, and is left out.
inline QStringList VisibleTexts(QWidget *top)
{
    QStringList texts { top->windowTitle() };
    QList<QWidget *> widgets = top->findChildren<QWidget *>();
    widgets.prepend(top);
    for (QWidget *widget : widgets) {
        if (!widget->isVisibleTo(top) && widget != top)
            continue;
        if (auto *label = qobject_cast<QLabel *>(widget)) {
            texts.append(PlainText(label->text(), label->textFormat()));
        } else if (auto *tool = qobject_cast<QToolButton *>(widget)) {
            // A button that shows only its icon says nothing in words.
            if (tool->toolButtonStyle() != Qt::ToolButtonIconOnly || tool->icon().isNull())
                texts.append(tool->text());
        } else if (auto *button = qobject_cast<QAbstractButton *>(widget)) {
            texts.append(button->text());
        } else if (auto *group = qobject_cast<QGroupBox *>(widget)) {
            texts.append(group->title());
        } else if (auto *bar = qobject_cast<QTabBar *>(widget)) {
            for (int i = 0; i < bar->count(); ++i)
                texts.append(bar->tabText(i));
        } else if (auto *combo = qobject_cast<QComboBox *>(widget)) {
            if (combo->objectName() == QLatin1String("lookInCombo"))
                continue;
            for (int i = 0; i < combo->count(); ++i)
                texts.append(combo->itemText(i));
        } else if (auto *edit = qobject_cast<QLineEdit *>(widget)) {
            texts.append(edit->placeholderText());
        } else if (auto *plain = qobject_cast<QPlainTextEdit *>(widget)) {
            if (plain->isReadOnly())
                texts.append(plain->toPlainText());
            texts.append(plain->placeholderText());
        } else if (auto *rich = qobject_cast<QTextEdit *>(widget)) {
            if (rich->isReadOnly())
                texts.append(rich->toPlainText());
            texts.append(rich->placeholderText());
        } else if (auto *header = qobject_cast<QHeaderView *>(widget)) {
            for (int i = 0; header->model() && i < header->count(); ++i) {
                if (!header->isSectionHidden(i))
                    texts.append(header->model()
                                     ->headerData(i, header->orientation(), Qt::DisplayRole)
                                     .toString());
            }
        } else if (auto *menu = qobject_cast<QMenu *>(widget)) {
            AppendMenuTexts(menu, texts);
        }
    }
    texts.removeAll(QString());
    return texts;
}
