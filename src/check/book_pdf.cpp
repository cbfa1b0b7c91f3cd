#include "check/work_book.h"

#include "platform/files.h"

#include <QAbstractTextDocumentLayout>
#include <QImage>
#include <QPainter>
#include <QPdfWriter>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>

#include <algorithm>
#include <deque>
#include <future>
#include <memory>
#include <optional>

using namespace Qt::StringLiterals;

namespace {

constexpr qsizetype kFlushBytes = 256 * 1024;
constexpr int kResolution = 300; // dots an inch of the page's coordinates
constexpr qreal kMarginMm = 18;
constexpr qreal kFooterMm = 10; // below the text, for the page number
constexpr char kPictureUrl[] = "picture:";
constexpr std::size_t kPicturesAhead = 8;

// What QPdfWriter writes, passed on to the one write path. A failure is kept and told
// after the painter has finished, since it cannot pass through Qt.
class AtomicFileDevice : public QIODevice
{
public:
    explicit AtomicFileDevice(AtomicFile &file)
        : file_(file)
    { }

    void flushPending()
    {
        if (error_ || pending_.isEmpty())
            return;
        try {
            file_.append(pending_);
        } catch (const FileError &error) {
            error_ = error;
        }
        pending_.clear();
    }

    const std::optional<FileError> &error() const { return error_; }

protected:
    qint64 readData(char *, qint64) override { return -1; }
    qint64 writeData(const char *data, qint64 size) override
    {
        pending_.append(data, size);
        if (pending_.size() >= kFlushBytes)
            flushPending();
        return error_ ? -1 : size;
    }

private:
    AtomicFile &file_;
    QByteArray pending_;
    std::optional<FileError> error_;
};

const char kWorkStyle[]
    = "h3 { font-size: 13pt; margin-bottom: 4pt; } p { margin-top: 2pt; margin-bottom: 2pt; } "
      ".also { font-style: italic; color: #444444; } "
      ".caption { font-style: italic; color: #444444; } "
      "table { font-size: 12pt; } ";

class BookPainter
{
public:
    BookPainter(QPdfWriter &writer)
        : writer_(writer)
        , painter_(&writer)
    {
        const qreal mm = kResolution / 25.4;
        const QRectF page(QPointF(0, 0), writer.pageLayout().fullRectPixels(kResolution).size());
        text_ = page.adjusted(
            kMarginMm * mm, kMarginMm * mm, -kMarginMm * mm, -(kMarginMm + kFooterMm) * mm);
        footer_ = QRectF(text_.left(), text_.bottom(), text_.width(), kFooterMm * mm);
        font_ = QFont(u"DejaVu Serif"_s, 10);
        font_.setStyleHint(QFont::Serif);
        y_ = text_.top();
    }

    struct TitleLine
    {
        QString text;
        int points;
        bool bold;
        int spaceBeforeMm;
    };

    // Lines centred from a third of the page down, each wrapped where it must be.
    void titlePage(const QList<TitleLine> &lines)
    {
        const qreal mm = kResolution / 25.4;
        qreal y = text_.top() + text_.height() / 3;
        for (const TitleLine &line : lines) {
            QFont font(font_.family(), line.points);
            font.setBold(line.bold);
            painter_.setFont(font);
            const QRectF box(
                text_.left(), y + line.spaceBeforeMm * mm, text_.width(), text_.height());
            const QRectF used
                = painter_.boundingRect(box, Qt::AlignHCenter | Qt::TextWordWrap, line.text);
            painter_.drawText(box, Qt::AlignHCenter | Qt::TextWordWrap, line.text);
            y = used.bottom();
        }
    }

    void newPage()
    {
        finishPage();
        writer_.newPage();
        ++page_;
        y_ = text_.top();
    }

    void finishPage()
    {
        if (page_ <= 1)
            return; // the title page has no number
        painter_.setFont(QFont(font_.family(), 9));
        painter_.drawText(footer_, Qt::AlignHCenter | Qt::AlignBottom, QString::number(page_));
    }

    // Lays out html at the text's width. One document serves every block: setting up
    // its layout and style sheet costs more than many a work's text.
    QTextDocument &layOut(const QString &html, const QImage &picture = {})
    {
        if (!doc_) {
            doc_ = std::make_unique<QTextDocument>();
            doc_->documentLayout()->setPaintDevice(&writer_);
            doc_->setDefaultFont(font_);
            doc_->setDefaultStyleSheet(QString::fromLatin1(kWorkStyle));
            doc_->setDocumentMargin(0);
            // Set once: every setting of the width lays out what the document holds.
            doc_->setTextWidth(text_.width());
        }
        if (!picture.isNull())
            doc_->addResource(
                QTextDocument::ImageResource, QUrl(QString::fromLatin1(kPictureUrl)), picture);
        doc_->setHtml(html);
        return *doc_;
    }

    // Puts doc below what the page holds, on a new page when it does not fit there
    // but fits on one. One longer than a page runs on from where it is, over as many
    // pages as it needs, each page ending below a whole line.
    void place(QTextDocument &doc, qreal gapAfter)
    {
        const qreal height = doc.size().height();
        if (height <= text_.height()) {
            if (y_ > text_.top() && y_ + height > text_.bottom())
                newPage();
            draw(doc, y_, QRectF(0, 0, text_.width(), height));
            y_ += height + gapAfter;
            return;
        }
        std::vector<qreal> lineEnds;
        for (QTextBlock block = doc.begin(); block.isValid(); block = block.next()) {
            const qreal top = doc.documentLayout()->blockBoundingRect(block).top();
            for (int i = 0; i < block.layout()->lineCount(); ++i)
                lineEnds.push_back(top + block.layout()->lineAt(i).rect().bottom());
        }
        lineEnds.push_back(height);
        qreal done = 0;
        while (done < height) {
            const qreal room = text_.bottom() - y_;
            qreal end = done;
            for (const qreal lineEnd : lineEnds) {
                if (lineEnd <= done + room)
                    end = std::max(end, lineEnd);
            }
            if (end <= done && y_ > text_.top()) {
                newPage();
                continue;
            }
            if (end <= done)
                end = done + room; // a line taller than a page is cut
            draw(doc, y_ - done, QRectF(0, done, text_.width(), end - done));
            y_ += end - done;
            done = end;
            if (done < height)
                newPage();
        }
        y_ += gapAfter;
    }

private:
    void draw(QTextDocument &doc, qreal top, const QRectF &clip)
    {
        painter_.save();
        painter_.translate(text_.left(), top);
        doc.drawContents(&painter_, clip);
        painter_.restore();
    }

    QPdfWriter &writer_;
    QPainter painter_;
    QRectF text_;
    QRectF footer_;
    QFont font_;
    std::unique_ptr<QTextDocument> doc_;
    qreal y_ = 0;
    int page_ = 1;
};

QString Escaped(const QString &text)
{
    return text.toHtmlEscaped();
}

} // namespace

void WriteBookPdf(AtomicFile &file, const BookInput &input)
{
    const BookPlan plan = PlanBook(input.works);
    AtomicFileDevice device(file);
    device.open(QIODevice::WriteOnly);
    {
        QPdfWriter writer(&device);
        writer.setResolution(kResolution);
        writer.setPageSize(QPageSize(QPageSize::A4));
        writer.setPageMargins(QMarginsF(0, 0, 0, 0));
        writer.setTitle(QString::fromUtf16(kBookTitle));
        writer.setCreator(u"lentar-check"_s);
        BookPainter book(writer);

        book.titlePage({ { QString::fromUtf16(kBookFestival), 22, true, 0 },
            { QString::fromUtf16(kBookTitle), 18, false, 12 },
            { u"Всего работ: "_s + QString::number(plan.workCount), 12, false, 20 },
            { u"Составлено "_s + input.made.toString(u"dd.MM.yyyy"_s), 12, false, 4 } });

        book.newPage();
        QString contents = u"<h2>Содержание</h2><table width=\"100%\" cellpadding=\"3\">"_s;
        for (const BookSection &section : plan.sections) {
            contents += u"<tr><td>"_s + Escaped(section.caption) + u"</td><td align=\"right\">"_s
                + QString::number(section.works.size()) + u"</td></tr>"_s;
        }
        book.place(book.layOut(contents + u"</table>"_s), 0);

        // The pictures are read and decoded on other threads a few works ahead, while
        // this one lays out the text and the PDF writer encodes what it is given.
        std::vector<std::pair<const BookSection *, std::size_t>> entries;
        for (const BookSection &section : plan.sections) {
            for (const std::size_t i : section.works)
                entries.emplace_back(&section, i);
        }
        const auto load = [&input](std::size_t i) {
            const WorkRecord &work = input.works[i];
            if (work.picture != PictureState::Sound || !input.pictures || work.jpeg.isNull())
                return QImage();
            return QImage::fromData(input.pictures->read(work.jpeg), "JPEG");
        };
        std::deque<std::future<QImage>> ahead;
        std::size_t requested = 0;
        for (std::size_t e = 0; e < entries.size(); ++e) {
            for (; requested < entries.size() && requested < e + kPicturesAhead; ++requested)
                ahead.push_back(std::async(std::launch::async, load, entries[requested].second));
            const QImage picture = ahead.front().get();
            ahead.pop_front();
            const BookSection &section = *entries[e].first;
            if (e == 0 || entries[e - 1].first != &section) {
                book.newPage();
                book.place(book.layOut(u"<h2>"_s + Escaped(section.caption) + u"</h2>"_s), 0);
            }
            book.place(
                book.layOut(WorkHtml(input.works[entries[e].second], section.subject,
                                picture.isNull() ? QString() : QString::fromLatin1(kPictureUrl),
                                picture.width(), picture.height()),
                    picture),
                kResolution / 6.0);
            if (device.error())
                throw *device.error();
            if (input.progress)
                input.progress(qsizetype(e) + 1, qsizetype(entries.size()));
        }
        book.finishPage();
    }
    device.flushPending();
    if (device.error())
        throw *device.error();
    file.commit();
}
