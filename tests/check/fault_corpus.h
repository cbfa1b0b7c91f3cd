#pragma once

// Received lentars with one known fault each, and the problem code each must earn;
// and good files in every variation a lentar may come in, which must earn none.

#include "check_corpus.h"

#include <QRegularExpression>
#include <QStringList>

#include <functional>
#include <vector>

struct CorpusFile
{
    const char *name; // also the file's name in a corpus folder, without the suffix
    QByteArray bytes;
    QStringList codes; // expected, in any order; empty for a good file
};

// Each file of a corpus describes a work of its own (its seed gives the title and the
// identifiers), so that no two files clash unless a test wants them to.
class CorpusMaker
{
public:
    explicit CorpusMaker(int firstSeed)
        : seed_(firstSeed)
    { }

    QByteArray saved() { return LentarBytes(CompleteLentar(seed_++)); }

    QByteArray withDoc(const std::function<void(LentarDocument &)> &change)
    {
        LentarDocument doc = CompleteLentar(seed_++);
        change(doc);
        return LentarBytes(doc);
    }

    QByteArray withPicture(const QByteArray &jpeg)
    {
        return withDoc([&jpeg](LentarDocument &doc) { doc.picture.base64 = PictureBase64(jpeg); });
    }

    // The saved file with its picture text changed at offset from the text's start.
    QByteArray withPictureText(qsizetype offset, qsizetype length, const QByteArray &text)
    {
        QByteArray bytes = saved();
        bytes.replace(bytes.indexOf("base64,") + 7 + offset, length, text);
        return bytes;
    }

private:
    int seed_;
};

// Every element on a line of its own, indented by its depth, as a pretty-printer
// writes it; an element without child elements keeps its text on its line.
inline QByteArray Indented(const QByteArray &bytes)
{
    QByteArray out;
    int depth = -1;
    bool lastWasStart = false;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const char c = bytes.at(i);
        if (c == '<' && i + 1 < bytes.size() && bytes.at(i + 1) != '?') {
            const bool end = bytes.at(i + 1) == '/';
            if (end) {
                if (!lastWasStart)
                    out += '\n' + QByteArray(2 * depth, ' ');
                --depth;
            } else {
                ++depth;
                out += '\n' + QByteArray(2 * depth, ' ');
            }
            lastWasStart = !end;
        }
        out += c;
    }
    return out;
}

// The attributes of every start tag in reverse order.
inline QByteArray AttributesReversed(const QByteArray &bytes)
{
    QString text = QString::fromUtf8(bytes);
    static const QRegularExpression tag(QStringLiteral(R"(<(\w+)((?:\s+\w+="[^"]*")+)>)"));
    static const QRegularExpression attribute(QStringLiteral(R"(\w+="[^"]*")"));
    QString out;
    qsizetype last = 0;
    for (const QRegularExpressionMatch &m : tag.globalMatch(text)) {
        QStringList attributes;
        for (const QRegularExpressionMatch &a : attribute.globalMatch(m.captured(2)))
            attributes.prepend(a.captured());
        out += text.mid(last, m.capturedStart() - last) + u'<' + m.captured(1) + u' '
            + attributes.join(u' ') + u'>';
        last = m.capturedEnd();
    }
    out += text.mid(last);
    return out.toUtf8();
}

inline std::vector<CorpusFile> GoodVariations()
{
    CorpusMaker make(100);
    const auto lineFeeds = [&make] { return make.saved().replace("\r\n", "\n"); };
    LentarDocument bare = CompleteLentar(150);
    bare.picture = WorkImage();
    bare.authors.resize(1);
    bare.leaders.resize(1);
    bare.invoiceLeader = 0;
    return {
        { "as-saved", make.saved(), {} },
        { "no-bom", make.saved().mid(3), {} },
        { "line-feeds", lineFeeds(), {} },
        { "indented", Indented(make.saved()), {} },
        { "indented-line-feeds", Indented(lineFeeds()), {} },
        { "attributes-reversed", AttributesReversed(make.saved()), {} },
        { "single-quotes", Replaced(make.saved(), R"(sz_id="8")", "sz_id='8'"), {} },
        { "preview-order",
            LentarFileBytes(
                SerializeLentar(BuildLentarXml(CompleteLentar(152), 1, LentarVariant::Preview))),
            {} },
        { "no-picture-one-of-each", LentarBytes(bare), {} },
        { "picture-301", make.withPicture(CorpusJpeg(301, 301)), {} },
        { "picture-progressive", make.withPicture(CorpusJpeg(300, 200, true)), {} },
        // The size the attributes give is not the picture's; the JPEG itself counts.
        { "picture-attributes-wrong", Replaced(make.saved(), R"(width="120")", R"(width="999")"),
            {} },
    };
}

inline std::vector<CorpusFile> FaultyFiles()
{
    CorpusMaker make(200);
    const QByteArray jpeg = CorpusJpeg();
    QByteArray oversized = make.saved();
    oversized.append(QByteArray(16 * 1024 * 1024 - oversized.size() + 1, ' '));
    QByteArray markerInScan = jpeg;
    markerInScan.insert(FindMarker(jpeg, 0xDA) + 200, "\xFF\xD9", 2);
    const QByteArray cut = make.saved();

    return {
        { "not-xml-cut", cut.left(cut.size() / 2), { QStringLiteral("not-xml") } },
        { "not-xml-text", "just some text\r\n", { QStringLiteral("not-xml") } },
        { "empty", QByteArray(), { QStringLiteral("not-xml") } },
        { "wrong-root",
            Replaced(
                Replaced(make.saved(), "<vantorela>", "<festival>"), "</vantorela>", "</festival>"),
            { QStringLiteral("wrong-root") } },
        { "no-work", Replaced(Replaced(make.saved(), "<work ", "<job "), "</work>", "</job>"),
            { QStringLiteral("no-work") } },
        { "wrong-season", Replaced(make.saved(), R"(sz_id="8")", R"(sz_id="9")"),
            { QStringLiteral("wrong-season") } },
        { "wrong-version", Replaced(make.saved(), R"(version="2.1")", R"(version="2.0")"),
            { QStringLiteral("wrong-version") } },
        { "doctype-entity",
            Replaced(Replaced(make.saved(), "<vantorela>",
                         "<!DOCTYPE vantorela [<!ENTITY t \"x\">]><vantorela>"),
                "title=\"", "title=\"&t;"),
            { QStringLiteral("doctype") } },
        { "doctype-external",
            Replaced(make.saved(), "<vantorela>",
                "<!DOCTYPE vantorela SYSTEM \"file:///etc/passwd\"><vantorela>"),
            { QStringLiteral("doctype") } },
        { "over-16-mib", oversized, { QStringLiteral("too-large") } },
        { "no-title", make.withDoc([](LentarDocument &d) { d.title = QStringLiteral("  "); }),
            { QStringLiteral("missing-title") } },
        { "no-description", make.withDoc([](LentarDocument &d) { d.description.clear(); }),
            { QStringLiteral("missing-description") } },
        { "no-subject", make.withDoc([](LentarDocument &d) { d.subjectSlots = {}; }),
            { QStringLiteral("missing-subject") } },
        { "no-author", make.withDoc([](LentarDocument &d) { d.authors.clear(); }),
            { QStringLiteral("missing-authors") } },
        { "author-no-surname",
            make.withDoc([](LentarDocument &d) { d.authors[1].surname.clear(); }),
            { QStringLiteral("missing-author-surname") } },
        { "author-no-name", make.withDoc([](LentarDocument &d) { d.authors[0].name.clear(); }),
            { QStringLiteral("missing-author-name") } },
        { "author-no-patronymic",
            make.withDoc([](LentarDocument &d) { d.authors[0].patronymic = QStringLiteral("\t"); }),
            { QStringLiteral("missing-author-patronymic") } },
        { "no-leader", make.withDoc([](LentarDocument &d) {
             d.leaders.clear();
             d.invoiceLeader = -1;
         }),
            { QStringLiteral("missing-leaders") } },
        { "leader-no-surname",
            make.withDoc([](LentarDocument &d) { d.leaders[0].surname.clear(); }),
            { QStringLiteral("missing-leader-surname") } },
        { "leader-no-name", make.withDoc([](LentarDocument &d) { d.leaders[1].name.clear(); }),
            { QStringLiteral("missing-leader-name") } },
        { "leader-no-patronymic",
            make.withDoc([](LentarDocument &d) { d.leaders[1].patronymic.clear(); }),
            { QStringLiteral("missing-leader-patronymic") } },
        { "id-malformed",
            make.withDoc([](LentarDocument &d) { d.authors[0].id = QStringLiteral("123-45"); }),
            { QStringLiteral("bad-identifier") } },
        { "id-check-digits", make.withDoc([](LentarDocument &d) {
             QString &id = d.leaders[0].id;
             id.back() = id.back() == u'0' ? u'1' : u'0';
         }),
            { QStringLiteral("wrong-check-digits") } },
        { "id-repeated", make.withDoc([](LentarDocument &d) { d.leaders[1].id = d.authors[0].id; }),
            { QStringLiteral("repeated-identifier") } },
        { "subject-unknown", make.withDoc([](LentarDocument &d) { d.subjectSlots[1] = 23; }),
            { QStringLiteral("unknown-subject") } },
        { "subject-repeated", make.withDoc([](LentarDocument &d) { d.subjectSlots[1] = 2; }),
            { QStringLiteral("repeated-subject") } },
        { "base64-stray-character", make.withPictureText(2, 0, "*"),
            { QStringLiteral("bad-base64") } },
        { "base64-non-ascii", make.withPictureText(40, 0, "\xD0\xB6"),
            { QStringLiteral("bad-base64") } },
        { "base64-pad-inside", make.withPictureText(2, 2, "=="), { QStringLiteral("bad-base64") } },
        { "picture-not-jpeg-source",
            Replaced(make.saved(), "data:image/jpeg;base64,", "data:image/png;base64,"),
            { QStringLiteral("bad-picture-source") } },
        { "picture-not-jpeg", make.withPicture("GIF89a this is no JPEG at all"),
            { QStringLiteral("bad-jpeg") } },
        { "picture-cut", make.withPicture(jpeg.left(jpeg.size() * 2 / 3)),
            { QStringLiteral("bad-jpeg") } },
        { "picture-no-end", make.withPicture(jpeg.left(jpeg.size() - 2)),
            { QStringLiteral("bad-jpeg") } },
        { "picture-marker-in-data", make.withPicture(markerInScan),
            { QStringLiteral("bad-jpeg") } },
        { "picture-302-wide", make.withPicture(CorpusJpeg(302, 20)),
            { QStringLiteral("picture-too-large") } },
        { "picture-302-high", make.withPicture(CorpusJpeg(20, 302)),
            { QStringLiteral("picture-too-large") } },
        { "picture-huge-header", make.withPicture(WithFrameSize(jpeg, 60000, 60000)),
            { QStringLiteral("picture-too-large") } },
    };
}
