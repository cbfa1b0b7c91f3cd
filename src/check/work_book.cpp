#include "check/work_book.h"

#include "check/cross_check.h"
#include "document/subject_catalogue.h"
#include "platform/files.h"

#include <QCollator>
#include <QHash>
#include <QLocale>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

constexpr qsizetype kFlushBytes = 256 * 1024;

// A typed line break (CR LF, CR or LF) as \n, other control characters left out.
QString Plain(const QString &text)
{
    QString plain;
    plain.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == u'\r' && i + 1 < text.size() && text.at(i + 1) == u'\n')
            continue;
        if (c == u'\r' || c == u'\n' || c == u'\t' || c.unicode() >= 0x20)
            plain += c == u'\r' ? u'\n' : c;
    }
    return plain;
}

// Escaped for HTML, a line break as <br>.
QString Html(const QString &text)
{
    return Plain(text).toHtmlEscaped().replace(u"\n"_s, u"<br>"_s);
}

// The text when it says anything, else nothing.
QString Shown(const QString &text)
{
    return TrimControls(text).isEmpty() ? QString() : Plain(text);
}

QString Names(const QList<Participant> &people)
{
    QStringList names;
    for (const Participant &person : people)
        names.append(PersonName(person));
    names.removeAll(QString());
    return names.join(u", "_s);
}

QString Labelled(const QString &label, const QString &text)
{
    if (text.isEmpty())
        return {};
    return u"<p><b>"_s + label + u"</b> "_s + Html(text) + u"</p>\n"_s;
}

QString Title(const WorkRecord &work)
{
    const QString title = TrimControls(work.doc.title);
    return title.isEmpty() ? u"(без названия)"_s : title;
}

const char kStyle[] = R"(
@page { size: A4; margin: 18mm; }
body { font-family: "DejaVu Serif", serif; max-width: 44em; margin: 2em auto; padding: 0 1em;
  color: #111; line-height: 1.4; }
.title-page { text-align: center; padding: 12vh 0 4em; break-after: page; }
.title-page h1 { font-size: 1.8em; margin: 0 0 1em; }
.title-page .subtitle { font-size: 1.5em; margin: 0 0 2em; }
nav { break-after: page; }
nav ol { padding-left: 1.5em; }
section.subject { break-before: page; }
section.subject > h2 { border-bottom: 1px solid #888; padding-bottom: .2em; }
.work { break-inside: avoid; margin: 0 0 1.5em; padding-bottom: 1em; border-bottom: 1px dotted #bbb; }
.work h3 { margin: 0 0 .4em; font-size: 1.15em; }
.work p { margin: .3em 0; }
.work .also { font-style: italic; color: #444; }
.work .caption { font-style: italic; color: #444; margin-top: 0; }
.work img { max-width: 100%; height: auto; }
)";

} // namespace

BookPlan PlanBook(const std::vector<WorkRecord> &works)
{
    // The work each file stands for: a later one replaces an earlier one of the same work.
    std::vector<bool> kept(works.size(), true);
    QHash<QByteArray, std::size_t> seen;
    for (std::size_t i = 0; i < works.size(); ++i) {
        WorkFacts facts;
        facts.title = works[i].doc.title;
        for (const Participant &author : works[i].doc.authors)
            facts.authorIds.append(author.id);
        bool comparable = false;
        const QByteArray digest = SameWorkDigest(facts, &comparable);
        if (!comparable)
            continue;
        const auto earlier = seen.find(digest);
        if (earlier == seen.end()) {
            seen.insert(digest, i);
        } else if (works[i].stored >= works[*earlier].stored) {
            kept[*earlier] = false;
            *earlier = i;
        } else {
            kept[i] = false;
        }
    }

    // Russian dictionary order whatever the user's locale: Ё with Е.
    QCollator collator { QLocale(QLocale::Russian, QLocale::Russia) };
    std::vector<QCollatorSortKey> keys;
    keys.reserve(works.size());
    for (const WorkRecord &work : works)
        keys.push_back(collator.sortKey(TrimControls(work.doc.title)));

    BookPlan plan;
    std::vector<BookSection> bySubject;
    for (const Subject &subject : SubjectCatalogue::all())
        bySubject.push_back({ subject.sb_id, subject.caption, {} });
    bySubject.push_back({ 0, QString::fromUtf16(kNoSubjectSection), {} });
    for (std::size_t i = 0; i < works.size(); ++i) {
        if (!kept[i])
            continue;
        ++plan.workCount;
        bool listed = false;
        for (BookSection &section : bySubject) {
            const auto &named = works[i].doc.subjectSlots;
            if (section.subject != 0
                && std::find(named.begin(), named.end(), section.subject) != named.end()) {
                section.works.push_back(i);
                listed = true;
            }
        }
        if (!listed)
            bySubject.back().works.push_back(i);
    }
    for (BookSection &section : bySubject) {
        if (section.works.empty())
            continue;
        std::stable_sort(section.works.begin(), section.works.end(),
            [&keys](std::size_t a, std::size_t b) { return keys[a].compare(keys[b]) < 0; });
        plan.sections.push_back(std::move(section));
    }
    return plan;
}

BookEntry MakeBookEntry(const WorkRecord &work, int sectionSubject)
{
    const LentarDocument &doc = work.doc;
    BookEntry entry;
    entry.title = Plain(Title(work));
    entry.authorsLabel = doc.authors.size() == 1 ? u"Автор:"_s : u"Авторы:"_s;
    entry.authors = Shown(Names(doc.authors));
    entry.leadersLabel = doc.leaders.size() == 1 ? u"Руководитель:"_s : u"Руководители:"_s;
    entry.leaders = Shown(Names(doc.leaders));
    QStringList others;
    for (const int id : doc.subjectSlots) {
        const QString caption = SubjectCatalogue::caption(id);
        if (id != sectionSubject && !caption.isEmpty() && !others.contains(caption))
            others.append(caption);
    }
    if (!others.isEmpty())
        entry.alsoIn = u"Также в разделах: "_s + Plain(others.join(u", "_s));
    entry.description = Shown(doc.description);
    entry.techRequest = Shown(doc.techRequest);
    entry.manual = Shown(doc.manual);
    entry.caption = Shown(doc.picture.caption);
    return entry;
}

QString WorkHtml(const BookEntry &entry, const QString &pictureSource)
{
    QString html = u"<div class=\"work\">\n<h3>"_s + Html(entry.title) + u"</h3>\n"_s;
    html += Labelled(entry.authorsLabel, entry.authors);
    html += Labelled(entry.leadersLabel, entry.leaders);
    if (!entry.alsoIn.isEmpty())
        html += u"<p class=\"also\">"_s + Html(entry.alsoIn) + u"</p>\n"_s;
    if (!entry.description.isEmpty())
        html += u"<p>"_s + Html(entry.description) + u"</p>\n"_s;
    html += Labelled(QString::fromUtf16(kTechRequestLabel), entry.techRequest);
    html += Labelled(QString::fromUtf16(kManualLabel), entry.manual);
    if (!pictureSource.isEmpty()) {
        html += u"<p class=\"picture\"><img src=\""_s + pictureSource + u"\" alt=\""_s
            + Html(entry.caption) + u"\"></p>\n"_s;
        if (!entry.caption.isEmpty())
            html += u"<p class=\"caption\">"_s + Html(entry.caption) + u"</p>\n"_s;
    }
    return html + u"</div>\n"_s;
}

void WriteBookHtml(AtomicFile &file, const BookInput &input)
{
    const BookPlan plan = PlanBook(input.works);
    QString out = u"<!DOCTYPE html>\n<html lang=\"ru\">\n<head>\n<meta charset=\"utf-8\">\n"
                  u"<title>"_s
        + QString::fromUtf16(kBookTitle) + u"</title>\n<style>"_s + QString::fromUtf8(kStyle)
        + u"</style>\n</head>\n<body>\n"_s;
    out += u"<section class=\"title-page\">\n<h1>"_s + Html(QString::fromUtf16(kBookFestival))
        + u"</h1>\n<p class=\"subtitle\">"_s + QString::fromUtf16(kBookTitle)
        + u"</p>\n<p>Всего работ: "_s + QString::number(plan.workCount) + u"</p>\n<p>Составлено "_s
        + input.made.toString(u"dd.MM.yyyy"_s) + u"</p>\n</section>\n"_s;
    out += u"<nav>\n<h2>Содержание</h2>\n<ol>\n"_s;
    for (const BookSection &section : plan.sections) {
        out += u"<li><a href=\"#subject-%1\">"_s.arg(section.subject) + Html(section.caption)
            + u"</a> — "_s + QString::number(section.works.size()) + u"</li>\n"_s;
    }
    out += u"</ol>\n</nav>\n"_s;

    QByteArray bytes = out.toUtf8();
    qsizetype entries = 0;
    qsizetype done = 0;
    for (const BookSection &section : plan.sections)
        entries += qsizetype(section.works.size());
    for (const BookSection &section : plan.sections) {
        bytes += (u"<section class=\"subject\" id=\"subject-%1\">\n<h2>"_s.arg(section.subject)
            + Html(section.caption) + u"</h2>\n"_s)
                     .toUtf8();
        for (const std::size_t i : section.works) {
            const WorkRecord &work = input.works[i];
            // The picture's own bytes, as the check found them sound.
            QString source;
            if (work.picture == PictureState::Sound && input.pictures && !work.jpeg.isNull())
                source = u"data:image/jpeg;base64,"_s
                    + QString::fromLatin1(input.pictures->read(work.jpeg).toBase64());
            bytes += WorkHtml(MakeBookEntry(work, section.subject), source).toUtf8();
            if (input.progress)
                input.progress(++done, entries);
            if (bytes.size() >= kFlushBytes) {
                file.append(bytes);
                bytes.clear();
            }
        }
        bytes += "</section>\n";
    }
    bytes += "</body>\n</html>\n";
    file.append(bytes);
    file.commit();
}
