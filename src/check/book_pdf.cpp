#include "check/work_book.h"

#include "platform/files.h"

#include <QImage>
#include <QPainter>
#include <QPdfWriter>
#include <QScopeGuard>
#include <QTextLayout>
#include <QThreadPool>

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

constexpr qreal kPoint = kResolution / 72.0; // a typographic point in page coordinates
const QColor kAsideColour(0x44, 0x44, 0x44); // "Также в разделах", the caption

// The fonts of the book, sized for the page's resolution.
struct BookFonts
{
    QFont body;
    QFont title; // a work's
    QFont heading; // a section's and the contents'
    QFont pageNumber;
};

// Text laid out in lines at the text's width, the picture below it: one work, a
// heading or a line of the contents. Positions are from the block's top.
struct LaidOutBlock
{
    std::vector<std::unique_ptr<QTextLayout>> paragraphs;
    QImage picture;
    QRectF pictureBox;
    std::vector<qreal> breaks; // where a page may end: below each line and the picture
    qreal height = 0;
};

// Lays out paragraphs one under the other. Spacing between two paragraphs is the
// larger of the space after the one and before the other.
class BlockBuilder
{
public:
    explicit BlockBuilder(qreal width)
        : width_(width)
    { }

    // text's line breaks (\n) break lines; bold and italic spans come as formats.
    void add(const QString &text, const QFont &font, qreal spaceBeforePt, qreal spaceAfterPt,
        const QList<QTextLayout::FormatRange> &formats = {})
    {
        auto layout = std::make_unique<QTextLayout>(
            QString(text).replace(u'\n', QChar::LineSeparator), font);
        layout->setCacheEnabled(true);
        layout->setFormats(formats);
        QTextOption option(Qt::AlignLeft);
        option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
        layout->setTextOption(option);
        y_ = space(spaceBeforePt);
        layout->setPosition(QPointF(0, y_));
        qreal y = 0;
        layout->beginLayout();
        for (QTextLine line = layout->createLine(); line.isValid(); line = layout->createLine()) {
            line.setLeadingIncluded(true);
            line.setLineWidth(width_);
            line.setPosition(QPointF(0, y));
            y += line.height();
            block_.breaks.push_back(y_ + y);
        }
        layout->endLayout();
        block_.paragraphs.push_back(std::move(layout));
        end(y, spaceAfterPt);
    }

    // A line with its label in bold.
    void addLabelled(const QString &label, const QString &text, const QFont &font)
    {
        if (text.isEmpty())
            return;
        add(label + u' ' + text, font, 2, 2, { Span(0, label.size(), Bold()) });
    }

    // One line of the contents: caption on the left, the number on the right.
    void addRow(const QString &caption, const QString &number, const QFont &font)
    {
        add(caption, font, 8, 8);
        auto right = std::make_unique<QTextLayout>(number, font);
        right->setTextOption(QTextOption(Qt::AlignRight));
        right->setPosition(block_.paragraphs.back()->position());
        right->beginLayout();
        QTextLine line = right->createLine();
        line.setLeadingIncluded(true);
        line.setLineWidth(width_);
        right->endLayout();
        block_.paragraphs.push_back(std::move(right));
    }

    // The picture at the size it has at the screen's 96 dots an inch, smaller when it
    // does not fit within width and maxHeight.
    void addPicture(QImage picture, qreal maxHeight)
    {
        QSizeF size = QSizeF(picture.size()) * (kResolution / 96.0);
        if (size.width() > width_ || size.height() > maxHeight)
            size.scale(width_, maxHeight, Qt::KeepAspectRatio);
        y_ = space(4);
        block_.pictureBox = QRectF(QPointF(0, y_), size);
        block_.picture = std::move(picture);
        block_.breaks.push_back(y_ + size.height());
        end(size.height(), 2);
    }

    LaidOutBlock take() { return std::move(block_); }

    static QTextLayout::FormatRange Span(qsizetype start, qsizetype length, QTextCharFormat format)
    {
        return { int(start), int(length), std::move(format) };
    }
    static QTextCharFormat Bold()
    {
        QTextCharFormat format;
        format.setFontWeight(QFont::Bold);
        return format;
    }
    static QTextCharFormat Aside()
    {
        QTextCharFormat format;
        format.setFontItalic(true);
        format.setForeground(kAsideColour);
        return format;
    }

private:
    qreal space(qreal beforePt) const
    {
        if (block_.paragraphs.empty() && block_.breaks.empty())
            return 0;
        return y_ - spaceAfter_ + std::max(spaceAfter_, beforePt * kPoint);
    }
    void end(qreal height, qreal spaceAfterPt)
    {
        y_ += height;
        block_.height = y_;
        spaceAfter_ = spaceAfterPt * kPoint;
        y_ += spaceAfter_;
    }

    qreal width_;
    qreal y_ = 0; // below the last paragraph and the space after it
    qreal spaceAfter_ = 0;
    LaidOutBlock block_;
};

// One work of a section: title, people, other sections, texts, the picture, its caption.
LaidOutBlock LayOutWork(
    const BookEntry &entry, QImage picture, const BookFonts &fonts, const QRectF &text)
{
    BlockBuilder block(text.width());
    block.add(entry.title, fonts.title, 0, 4);
    block.addLabelled(entry.authorsLabel, entry.authors, fonts.body);
    block.addLabelled(entry.leadersLabel, entry.leaders, fonts.body);
    if (!entry.alsoIn.isEmpty())
        block.add(entry.alsoIn, fonts.body, 2, 2,
            { BlockBuilder::Span(0, entry.alsoIn.size(), BlockBuilder::Aside()) });
    if (!entry.description.isEmpty())
        block.add(entry.description, fonts.body, 2, 2);
    block.addLabelled(QString::fromUtf16(kTechRequestLabel), entry.techRequest, fonts.body);
    block.addLabelled(QString::fromUtf16(kManualLabel), entry.manual, fonts.body);
    if (!picture.isNull()) {
        block.addPicture(std::move(picture), text.height());
        if (!entry.caption.isEmpty())
            block.add(entry.caption, fonts.body, 0, 2,
                { BlockBuilder::Span(0, entry.caption.size(), BlockBuilder::Aside()) });
    }
    return block.take();
}

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
        QFont font(u"DejaVu Serif"_s, 10);
        font.setStyleHint(QFont::Serif);
        fonts_.body = QFont(font, &writer);
        font.setPointSize(13);
        font.setBold(true);
        fonts_.title = QFont(font, &writer);
        font.setPointSize(15);
        fonts_.heading = QFont(font, &writer);
        font.setPointSize(9);
        font.setBold(false);
        fonts_.pageNumber = QFont(font, &writer);
        y_ = text_.top();
    }

    const BookFonts &fonts() const { return fonts_; }
    const QRectF &text() const { return text_; }

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
            QFont font(fonts_.body.family(), line.points);
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
        painter_.setFont(fonts_.pageNumber);
        painter_.drawText(footer_, Qt::AlignHCenter | Qt::AlignBottom, QString::number(page_));
    }

    // Puts block below what the page holds, on a new page when it does not fit there
    // but fits on one. One longer than a page runs on from where it is, over as many
    // pages as it needs, each page ending below a whole line.
    void place(const LaidOutBlock &block, qreal gapAfter)
    {
        if (block.height <= text_.height()) {
            if (y_ > text_.top() && y_ + block.height > text_.bottom())
                newPage();
            draw(block, 0, block.height);
            y_ += block.height + gapAfter;
            return;
        }
        qreal done = 0;
        while (done < block.height) {
            const qreal room = text_.bottom() - y_;
            qreal end = done;
            for (const qreal lineEnd : block.breaks) {
                if (lineEnd <= done + room)
                    end = std::max(end, lineEnd);
            }
            if (end <= done && y_ > text_.top()) {
                newPage();
                continue;
            }
            if (end <= done) // a line taller than a page goes on one of its own
                end = *std::upper_bound(block.breaks.begin(), block.breaks.end(), done);
            draw(block, done, end);
            y_ += end - done;
            done = end;
            if (done < block.height)
                newPage();
        }
        y_ += gapAfter;
    }

private:
    // Draws the lines and the picture of block between from and to at y_.
    void draw(const LaidOutBlock &block, qreal from, qreal to)
    {
        const QPointF origin(text_.left(), y_ - from);
        const qreal slack = 0.5; // rounding of the line positions
        for (const auto &paragraph : block.paragraphs) {
            const QPointF at = origin + paragraph->position();
            for (int i = 0; i < paragraph->lineCount(); ++i) {
                const QTextLine line = paragraph->lineAt(i);
                const qreal top = paragraph->position().y() + line.y();
                if (top + slack >= from && top + line.height() <= to + slack)
                    line.draw(&painter_, at);
            }
        }
        if (!block.picture.isNull() && block.pictureBox.top() + slack >= from
            && block.pictureBox.bottom() <= to + slack)
            painter_.drawImage(block.pictureBox.translated(origin), block.picture);
    }

    QPdfWriter &writer_;
    QPainter painter_;
    QRectF text_;
    QRectF footer_;
    BookFonts fonts_;
    qreal y_ = 0;
    int page_ = 1;
};

LaidOutBlock Heading(const QString &caption, const BookPainter &book)
{
    BlockBuilder block(book.text().width());
    block.add(caption, book.fonts().heading, 0, 6);
    return block.take();
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
        {
            BlockBuilder contents(book.text().width());
            contents.add(u"Содержание"_s, book.fonts().heading, 0, 6);
            for (const BookSection &section : plan.sections)
                contents.addRow(
                    section.caption, QString::number(section.works.size()), book.fonts().body);
            book.place(contents.take(), 0);
        }

        // The pictures are read and decoded by the thread pool a few works ahead, while
        // this thread lays out the text and the PDF writer encodes what it is given.
        std::vector<std::pair<const BookSection *, std::size_t>> entries;
        for (const BookSection &section : plan.sections) {
            for (const std::size_t i : section.works)
                entries.emplace_back(&section, i);
        }
        const auto load = [&input](std::size_t i) {
            const WorkRecord &work = input.works[i];
            auto promise = std::make_shared<std::promise<QImage>>();
            std::future<QImage> picture = promise->get_future();
            if (work.picture != PictureState::Sound || !input.pictures || work.jpeg.isNull()) {
                promise->set_value(QImage());
                return picture;
            }
            QThreadPool::globalInstance()->start([&input, &work, promise] {
                try {
                    promise->set_value(QImage::fromData(input.pictures->read(work.jpeg), "JPEG"));
                } catch (...) {
                    promise->set_exception(std::current_exception());
                }
            });
            return picture;
        };
        std::deque<std::future<QImage>> ahead;
        // Nothing is left reading the records when the book fails half-way.
        const auto waitForPictures = qScopeGuard([&ahead] {
            for (const std::future<QImage> &picture : ahead)
                picture.wait();
        });
        std::size_t requested = 0;
        for (std::size_t e = 0; e < entries.size(); ++e) {
            for (; requested < entries.size() && requested < e + kPicturesAhead; ++requested)
                ahead.push_back(load(entries[requested].second));
            QImage picture = ahead.front().get();
            ahead.pop_front();
            const BookSection &section = *entries[e].first;
            if (e == 0 || entries[e - 1].first != &section) {
                book.newPage();
                book.place(Heading(section.caption, book), 0);
            }
            book.place(LayOutWork(MakeBookEntry(input.works[entries[e].second], section.subject),
                           std::move(picture), book.fonts(), book.text()),
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
