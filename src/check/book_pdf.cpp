#include "check/work_book.h"

#include "check/pdf_output.h"
#include "picture/jpeg_as_stored.h"
#include "platform/files.h"

#include <QBuffer>
#include <QGlyphRun>
#include <QHash>
#include <QImage>
#include <QImageReader>
#include <QPainter>
#include <QPdfWriter>
#include <QRawFont>
#include <QScopeGuard>
#include <QTextLayout>
#include <QThreadPool>

#include <sys/mman.h>

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <exception>
#include <future>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

using namespace Qt::StringLiterals;

namespace {

constexpr int kResolution = 300; // dots an inch of the page's coordinates
constexpr qreal kMarginMm = 18;
constexpr qreal kFooterMm = 10; // below the text, for the page number
constexpr std::size_t kPicturesAhead = 8; // decoded before the layout needs them
constexpr std::size_t kWorksAhead = 16; // laid out before the painter needs them

constexpr qreal kPoint = kResolution / 72.0; // a typographic point in page coordinates
const QColor kAsideColour(0x44, 0x44, 0x44); // "Также в разделах", the caption
const QString kFontFamily = u"DejaVu Serif"_s;

// A font at the page's resolution, points to pixels as on the page.
QFont PageFont(int points, bool bold = false, bool italic = false)
{
    static const QImage page = [] { // stands for the page: only its resolution counts
        QImage image(1, 1, QImage::Format_RGB32);
        image.setDotsPerMeterX(qRound(kResolution / 0.0254));
        image.setDotsPerMeterY(qRound(kResolution / 0.0254));
        return image;
    }();
    QFont font(kFontFamily, points);
    font.setStyleHint(QFont::Serif);
    font.setBold(bold);
    font.setItalic(italic);
    return QFont(font, &page);
}

// The fonts of the book's text. A thread that lays out text makes its own: a font's
// engine belongs to the thread that loaded it.
struct BookFonts
{
    QFont body = PageFont(10);
    QFont italic = PageFont(10, false, true);
    QFont title = PageFont(13, true); // a work's
    QFont heading = PageFont(15, true); // a section's and the contents'
};

// Which font glyphs are of, by name, so that the thread that draws them can find the
// same face among its own fonts.
struct GlyphFont
{
    QString family;
    QString style;
    qreal pixelSize = 0;
    int weight = 0;
    QFont::Style slant = QFont::StyleNormal;

    friend bool operator==(const GlyphFont &, const GlyphFont &) = default;
    friend size_t qHash(const GlyphFont &font, size_t seed = 0)
    {
        return qHashMulti(seed, font.family, font.style, font.pixelSize, font.weight);
    }
};

// Glyphs of one font on a line: the numbers of the glyphs in their face and where
// they stand, from the line's block.
struct GlyphSpan
{
    GlyphFont font;
    QList<quint32> glyphs;
    QList<QPointF> positions;
};

// One line as glyphs: drawing it needs no text layout, so it can be laid out on
// another thread.
struct LaidOutLine
{
    qreal top = 0; // from the block's top
    qreal height = 0;
    std::vector<GlyphSpan> spans;
    bool aside = false; // in the grey of "Также в разделах" and the caption
};

// Text laid out in lines at the text's width, the picture below it: one work, a
// heading or the contents.
struct LaidOutBlock
{
    std::vector<LaidOutLine> lines;
    QImage picture; // none where the work's picture was drawn before
    bool pixelsPaged = false; // picture is a PagedCopy
    // picture stands in for this JPEG (StandIn); its bytes come with the first entry.
    std::optional<StoredJpegFrame> jpegFrame;
    QByteArray jpeg;

    // The work's first entry, whose picture is kept for its later entries.
    bool keepsPicture() const { return !picture.isNull() && (pixelsPaged || jpegFrame); }
    QRectF pictureBox; // empty without a picture
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

    // text's line breaks (\n) break lines; bold spans come as formats.
    void add(const QString &text, const QFont &font, qreal spaceBeforePt, qreal spaceAfterPt,
        const QList<QTextLayout::FormatRange> &formats = {}, bool aside = false)
    {
        y_ = space(spaceBeforePt);
        end(layOut(text, font, formats, Qt::AlignLeft, aside), spaceAfterPt);
    }

    // A line with its label in bold.
    void addLabelled(const QString &label, const QString &text, const QFont &font)
    {
        if (text.isEmpty())
            return;
        QTextCharFormat bold;
        bold.setFontWeight(QFont::Bold);
        add(label + u' ' + text, font, 2, 2, { { 0, int(label.size()), bold } });
    }

    // One line of the contents: caption on the left, the number on the right.
    void addRow(const QString &caption, const QString &number, const QFont &font)
    {
        y_ = space(8);
        const qreal height = std::max(layOut(caption, font, {}, Qt::AlignLeft, false),
            layOut(number, font, {}, Qt::AlignRight, false));
        end(height, 8);
    }

    // The picture at the size it has at the screen's 96 dots an inch, smaller when it
    // does not fit within width and maxHeight. picture may be null for one drawn
    // before; pixels is its size.
    void addPicture(QImage picture, QSize pixels, qreal maxHeight)
    {
        QSizeF size = QSizeF(pixels) * (kResolution / 96.0);
        if (size.width() > width_ || size.height() > maxHeight)
            size.scale(width_, maxHeight, Qt::KeepAspectRatio);
        y_ = space(4);
        block_.pictureBox = QRectF(QPointF(0, y_), size);
        block_.picture = std::move(picture);
        block_.breaks.push_back(y_ + size.height());
        end(size.height(), 2);
    }

    LaidOutBlock take() { return std::move(block_); }

private:
    qreal space(qreal beforePt) const
    {
        if (block_.breaks.empty())
            return 0;
        return y_ - spaceAfter_ + std::max(spaceAfter_, beforePt * kPoint);
    }

    // Lays text out in lines from y_ down, each line kept as its glyphs; returns the
    // lines' height.
    qreal layOut(const QString &text, const QFont &font,
        const QList<QTextLayout::FormatRange> &formats, Qt::Alignment alignment, bool aside)
    {
        QTextLayout layout(QString(text).replace(u'\n', QChar::LineSeparator), font);
        layout.setCacheEnabled(true);
        layout.setFormats(formats);
        QTextOption option(alignment);
        option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
        layout.setTextOption(option);
        qreal y = 0;
        layout.beginLayout();
        for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
            line.setLeadingIncluded(true);
            line.setLineWidth(width_);
            line.setPosition(QPointF(0, y));
            y += line.height();
        }
        layout.endLayout();
        for (int i = 0; i < layout.lineCount(); ++i) {
            const QTextLine line = layout.lineAt(i);
            LaidOutLine laidOut { y_ + line.y(), line.height(), {}, aside };
            for (const QGlyphRun &run : line.glyphRuns()) {
                const QRawFont raw = run.rawFont();
                QList<QPointF> positions = run.positions();
                for (QPointF &position : positions)
                    position = QPointF(qRound(position.x()), qRound(position.y() + y_));
                laidOut.spans.push_back({ { raw.familyName(), raw.styleName(), raw.pixelSize(),
                                              raw.weight(), raw.style() },
                    run.glyphIndexes(), std::move(positions) });
            }
            block_.breaks.push_back(laidOut.top + laidOut.height);
            block_.lines.push_back(std::move(laidOut));
        }
        return y;
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
LaidOutBlock LayOutWork(const BookEntry &entry, QImage picture, QSize pictureSize,
    const BookFonts &fonts, const QSizeF &text)
{
    BlockBuilder block(text.width());
    block.add(entry.title, fonts.title, 0, 4);
    block.addLabelled(entry.authorsLabel, entry.authors, fonts.body);
    block.addLabelled(entry.leadersLabel, entry.leaders, fonts.body);
    if (!entry.alsoIn.isEmpty())
        block.add(entry.alsoIn, fonts.italic, 2, 2, {}, true);
    if (!entry.description.isEmpty())
        block.add(entry.description, fonts.body, 2, 2);
    block.addLabelled(QString::fromUtf16(kTechRequestLabel), entry.techRequest, fonts.body);
    block.addLabelled(QString::fromUtf16(kManualLabel), entry.manual, fonts.body);
    if (!pictureSize.isEmpty()) {
        block.addPicture(std::move(picture), pictureSize, text.height());
        if (!entry.caption.isEmpty())
            block.add(entry.caption, fonts.italic, 0, 2, {}, true);
    }
    return block.take();
}

// The page's text area, in page coordinates; the footer is below it.
QRectF TextArea()
{
    const qreal mm = kResolution / 25.4;
    const QRectF page(QPointF(0, 0), QPageSize(QPageSize::A4).sizePixels(kResolution));
    return page.adjusted(
        kMarginMm * mm, kMarginMm * mm, -kMarginMm * mm, -(kMarginMm + kFooterMm) * mm);
}

class BookPainter
{
public:
    BookPainter(QPdfWriter &writer, PdfOutput &output)
        : writer_(writer)
        , output_(output)
        , painter_(&writer)
        , text_(TextArea())
        , footer_(text_.left(), text_.bottom(), text_.width(), kFooterMm * kResolution / 25.4)
        , y_(text_.top())
    { }

    const QRectF &text() const { return text_; }
    // A stand-in's image object was not one the output could put a JPEG in.
    bool pictureLost() const { return pictureLost_; }

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
            QFont font(kFontFamily, line.points);
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
        painter_.setFont(QFont(kFontFamily, 9));
        painter_.drawText(footer_, Qt::AlignHCenter | Qt::AlignBottom, QString::number(page_));
    }

    // Puts block below what the page holds, on a new page when it does not fit there
    // but fits on one. One longer than a page runs on from where it is, over as many
    // pages as it needs, each page ending below a whole line.
    // Returns whether it drew block's picture.
    bool place(const LaidOutBlock &block, qreal gapAfter)
    {
        pictureDrawn_ = false;
        if (block.height <= text_.height()) {
            if (y_ > text_.top() && y_ + block.height > text_.bottom())
                newPage();
            draw(block, 0, block.height);
            y_ += block.height + gapAfter;
            return pictureDrawn_;
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
        return pictureDrawn_;
    }

private:
    // Draws the lines and the picture of block between from and to at y_.
    void draw(const LaidOutBlock &block, qreal from, qreal to)
    {
        const QPointF origin(qRound(text_.left()), qRound(y_ - from));
        const qreal slack = 0.5; // rounding of the line positions
        for (const LaidOutLine &line : block.lines) {
            if (line.top + slack < from || line.top + line.height > to + slack)
                continue;
            painter_.setPen(line.aside ? kAsideColour : QColor(Qt::black));
            for (const GlyphSpan &span : line.spans) {
                QGlyphRun glyphs;
                glyphs.setRawFont(font(span.font));
                glyphs.setGlyphIndexes(span.glyphs);
                glyphs.setPositions(span.positions);
                painter_.drawGlyphRun(origin, glyphs);
            }
        }
        if (!block.picture.isNull() && block.pictureBox.top() + slack >= from
            && block.pictureBox.bottom() <= to + slack) {
            const QRectF box = block.pictureBox.translated(origin);
            if (block.jpegFrame) {
                painter_.setRenderHint(QPainter::LosslessImageRendering);
                output_.beginPicture();
                painter_.drawImage(box, block.picture);
                pictureLost_ |= !output_.endPicture(block.jpeg, *block.jpegFrame);
                painter_.setRenderHint(QPainter::LosslessImageRendering, false);
            } else {
                painter_.drawImage(box, block.picture);
            }
            pictureDrawn_ = true;
        }
    }

    // This thread's font of the face glyphs were laid out in.
    const QRawFont &font(const GlyphFont &wanted)
    {
        auto known = fonts_.find(wanted);
        if (known == fonts_.end()) {
            QFont font = PageFont(10, false, wanted.slant != QFont::StyleNormal);
            font.setFamily(wanted.family);
            font.setStyleName(wanted.style);
            font.setWeight(QFont::Weight(wanted.weight));
            font.setPointSizeF(wanted.pixelSize * 72.0 / kResolution);
            known = fonts_.insert(wanted, QRawFont::fromFont(font));
        }
        return *known;
    }

    QPdfWriter &writer_;
    PdfOutput &output_;
    QPainter painter_;
    QRectF text_;
    QRectF footer_;
    QHash<GlyphFont, QRawFont> fonts_;
    bool pictureDrawn_ = false;
    bool pictureLost_ = false;
    qreal y_ = 0;
    int page_ = 1;
};

struct BookEntryPlace
{
    const BookSection *section;
    std::size_t work; // index into the records
    bool repeated = false; // the work is in other sections as well
    bool first = false; // its first entry in the book
    bool last = false; // its last
};

// A work in several sections has its picture decoded and embedded once: the PDF
// writer keeps each picture it has embedded by the image's cache key and refers to
// it again when the same image is drawn. So the image is kept from its first entry
// to its last, but not its pixels, which would add up to hundreds of megabytes:
// they are in pages of their own, given back once the writer has taken them
// (ReleasePixels); the image's memory then reads as zeros.
struct PixelPages
{
    void *address;
    std::size_t size;
};

// picture in pages of its own; nothing where they cannot be had.
std::optional<QImage> PagedCopy(const QImage &picture)
{
    const auto size = std::size_t(picture.sizeInBytes());
    void *address = size == 0
        ? MAP_FAILED
        : mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (address == MAP_FAILED)
        return std::nullopt;
    std::memcpy(address, picture.constBits(), size);
    QImage paged(
        static_cast<uchar *>(address), picture.width(), picture.height(), picture.bytesPerLine(),
        picture.format(),
        [](void *pages) {
            const auto *unmapped = static_cast<PixelPages *>(pages);
            munmap(unmapped->address, unmapped->size);
            delete unmapped;
        },
        new PixelPages { address, size });
    paged.setColorTable(picture.colorTable());
    return paged;
}

// What the book draws for a picture embedded as its own JPEG: one pixel, a new image
// (with a cache key of its own) for each work.
QImage StandIn()
{
    QImage pixel(1, 1, QImage::Format_RGB32);
    pixel.fill(Qt::white);
    return pixel;
}

// Lets the pixels of a PagedCopy go; it keeps its size and its cache key.
void ReleasePixels(const QImage &paged)
{
    madvise(
        const_cast<uchar *>(paged.constBits()), std::size_t(paged.sizeInBytes()), MADV_DONTNEED);
}

// Reads, decodes and lays out the works on a thread of its own, a few ahead of the
// painter; the pictures are decoded by the thread pool a few works ahead of that.
class WorkLayouter
{
    struct Picture
    {
        QImage image;
        QSize size; // as it is shown
        bool paged = false; // a PagedCopy
        std::optional<StoredJpegFrame> jpegFrame; // image is a StandIn for jpeg
        QByteArray jpeg;
    };

public:
    // embedJpeg: pictures that can be are embedded as their own JPEG bytes.
    WorkLayouter(const BookInput &input, const std::vector<BookEntryPlace> &entries, bool embedJpeg)
        : input_(input)
        , entries_(entries)
        , embedJpeg_(embedJpeg)
        , thread_([this] { run(); })
    { }

    ~WorkLayouter()
    {
        {
            const std::lock_guard lock(mutex_);
            stop_ = true;
        }
        changed_.notify_all();
        thread_.join();
    }

    // The next work's block, in the order of the entries; rethrows what failed there.
    LaidOutBlock next()
    {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return !ready_.empty() || failure_; });
        if (ready_.empty())
            std::rethrow_exception(failure_);
        LaidOutBlock block = std::move(ready_.front());
        ready_.pop_front();
        changed_.notify_all();
        return block;
    }

private:
    // The bytes of the work's sound picture; null for none.
    QByteArray jpegOf(const WorkRecord &work) const
    {
        if (work.picture != PictureState::Sound || !input_.pictures || work.jpeg.isNull())
            return {};
        return input_.pictures->read(work.jpeg);
    }

    QImage decode(const WorkRecord &work) const { return decode(jpegOf(work)); }

    static QImage decode(QByteArray jpeg)
    {
        if (jpeg.isNull())
            return {};
        QBuffer buffer(&jpeg);
        QImageReader reader(&buffer, "JPEG");
        reader.setAutoTransform(true); // upright, as its Exif orientation says
        return reader.read();
    }

    // The entry's picture when it is the first of its work; none after that.
    std::future<Picture> load(const BookEntryPlace &entry)
    {
        const WorkRecord &work = input_.works[entry.work];
        auto promise = std::make_shared<std::promise<Picture>>();
        std::future<Picture> picture = promise->get_future();
        if (!entry.first || work.picture != PictureState::Sound) {
            promise->set_value({});
            return picture;
        }
        QThreadPool::globalInstance()->start([this, &work, promise, paged = entry.repeated] {
            try {
                QByteArray jpeg = jpegOf(work);
                const std::optional<StoredJpegFrame> frame
                    = embedJpeg_ ? JpegShownAsStored(jpeg) : std::nullopt;
                if (frame) {
                    promise->set_value({ StandIn(), QSize(frame->width, frame->height), false,
                        frame, std::move(jpeg) });
                    return;
                }
                const QImage decoded = decode(std::move(jpeg));
                std::optional<QImage> copy = paged ? PagedCopy(decoded) : std::nullopt;
                promise->set_value(
                    { copy.value_or(decoded), decoded.size(), copy.has_value(), std::nullopt, {} });
            } catch (...) {
                promise->set_exception(std::current_exception());
            }
        });
        return picture;
    }

    void run()
    {
        std::deque<std::future<Picture>> pictures;
        // Nothing is left reading the records when the book stops half-way.
        const auto waitForPictures = qScopeGuard([&pictures] {
            for (const std::future<Picture> &picture : pictures)
                picture.wait();
        });
        try {
            const BookFonts fonts;
            const QSizeF text = TextArea().size();
            struct KeptPicture
            {
                QSize size;
                std::optional<StoredJpegFrame> jpegFrame;
            };
            QHash<std::size_t, KeptPicture> kept; // of works still to come again
            std::size_t requested = 0;
            for (std::size_t e = 0; e < entries_.size(); ++e) {
                for (; requested < entries_.size() && requested < e + kPicturesAhead; ++requested)
                    pictures.push_back(load(entries_[requested]));
                Picture picture = pictures.front().get();
                pictures.pop_front();
                const BookEntryPlace &entry = entries_[e];
                QSize pictureSize = picture.size;
                std::optional<StoredJpegFrame> jpegFrame = picture.jpegFrame;
                if (entry.repeated && entry.first && (picture.paged || picture.jpegFrame)) {
                    kept.insert(entry.work, { pictureSize, jpegFrame });
                } else if (entry.repeated && kept.contains(entry.work)) {
                    const KeptPicture was
                        = entry.last ? kept.take(entry.work) : kept.value(entry.work);
                    pictureSize = was.size;
                    jpegFrame = was.jpegFrame;
                } else if (!entry.first) { // no pages for it: decoded again
                    pictureSize = (picture.image = decode(input_.works[entry.work])).size();
                }
                LaidOutBlock block
                    = LayOutWork(MakeBookEntry(input_.works[entry.work], entry.section->subject),
                        std::move(picture.image), pictureSize, fonts, text);
                block.pixelsPaged = picture.paged;
                block.jpegFrame = jpegFrame;
                block.jpeg = std::move(picture.jpeg);
                std::unique_lock lock(mutex_);
                changed_.wait(lock, [this] { return ready_.size() < kWorksAhead || stop_; });
                if (stop_)
                    return;
                ready_.push_back(std::move(block));
                changed_.notify_all();
            }
        } catch (...) {
            const std::lock_guard lock(mutex_);
            failure_ = std::current_exception();
            changed_.notify_all();
        }
    }

    const BookInput &input_;
    const std::vector<BookEntryPlace> &entries_;
    const bool embedJpeg_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<LaidOutBlock> ready_;
    std::exception_ptr failure_;
    bool stop_ = false;
    std::thread thread_; // last: starts when the rest is ready
};

} // namespace

void WriteBookPdf(AtomicFile &file, const BookInput &input)
{
    const BookPlan plan = PlanBook(input.works);
    std::vector<BookEntryPlace> entries;
    std::vector<int> entriesOfWork(input.works.size());
    for (const BookSection &section : plan.sections) {
        for (const std::size_t i : section.works) {
            entries.push_back({ &section, i });
            ++entriesOfWork[i];
        }
    }
    std::vector<int> seen(input.works.size());
    for (BookEntryPlace &entry : entries) {
        entry.repeated = entriesOfWork[entry.work] > 1;
        entry.first = seen[entry.work]++ == 0;
        entry.last = seen[entry.work] == entriesOfWork[entry.work];
    }
    // The works are laid out on another thread while this one draws them and the PDF
    // writer encodes the pictures and compresses the pages.
    WorkLayouter works(input, entries, PdfOutputEmbedsJpeg());
    PdfOutput device([&file](const QByteArray &piece) { file.append(piece); });
    device.open(QIODevice::WriteOnly);
    {
        QPdfWriter writer(&device);
        writer.setResolution(kResolution);
        writer.setPageSize(QPageSize(QPageSize::A4));
        writer.setPageMargins(QMarginsF(0, 0, 0, 0));
        writer.setTitle(QString::fromUtf16(kBookTitle));
        writer.setCreator(u"lentar-check"_s);
        BookPainter book(writer, device);

        book.titlePage({ { QString::fromUtf16(kBookFestival), 22, true, 0 },
            { QString::fromUtf16(kBookTitle), 18, false, 12 },
            { u"Всего работ: "_s + QString::number(plan.workCount), 12, false, 20 },
            { u"Составлено "_s + input.made.toString(u"dd.MM.yyyy"_s), 12, false, 4 } });

        const BookFonts fonts;
        const qreal width = book.text().width();
        QHash<std::size_t, QImage> pictures; // of works still to come again
        book.newPage();
        BlockBuilder contents(width);
        contents.add(u"Содержание"_s, fonts.heading, 0, 6);
        for (const BookSection &section : plan.sections)
            contents.addRow(section.caption, QString::number(section.works.size()), fonts.body);
        book.place(contents.take(), 0);
        for (std::size_t e = 0; e < entries.size(); ++e) {
            const BookSection &section = *entries[e].section;
            if (e == 0 || entries[e - 1].section != &section) {
                book.newPage();
                BlockBuilder heading(width);
                heading.add(section.caption, fonts.heading, 0, 6);
                book.place(heading.take(), 0);
            }
            LaidOutBlock block = works.next();
            const BookEntryPlace &entry = entries[e];
            if (block.keepsPicture())
                pictures.insert(entry.work, block.picture);
            else if (block.picture.isNull() && !block.pictureBox.isEmpty())
                block.picture = pictures.value(entry.work);
            if (entry.last)
                pictures.remove(entry.work);
            if (book.place(block, kResolution / 6.0) && block.pixelsPaged)
                ReleasePixels(block.picture);
            if (device.error())
                throw *device.error();
            if (book.pictureLost())
                throw FileError(FileError::Action::Write, file.path(),
                    u"картинка работы не встала в PDF-файл"_s);
            if (input.progress)
                input.progress(qsizetype(e) + 1, qsizetype(entries.size()));
        }
        book.finishPage();
        device.beginTail(); // the painter ends the file as it goes
    }
    const bool finished = device.finish();
    if (device.error())
        throw *device.error();
    if (!finished)
        throw FileError(
            FileError::Action::Write, file.path(), u"PDF-файл закончен не так, как ожидалось"_s);
    file.commit();
}
