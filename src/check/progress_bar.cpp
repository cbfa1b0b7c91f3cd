#include "check/progress_bar.h"

#include <unistd.h>

ProgressBar::ProgressBar(std::FILE *stream)
    : ProgressBar(stream, isatty(fileno(stream)) == 1, std::chrono::seconds(1))
{ }

ProgressBar::ProgressBar(std::FILE *stream, bool terminal, std::chrono::milliseconds delay)
    : stream_(stream)
    , terminal_(terminal)
    , delay_(delay)
    , start_(std::chrono::steady_clock::now())
{ }

QString ProgressBar::line(qsizetype done, qsizetype total, int width)
{
    const QString counts = QStringLiteral(" %1/%2").arg(done).arg(total);
    const int barWidth = std::max(10, width - int(counts.size()) - 2);
    const qsizetype filled = total > 0 ? done * barWidth / total : barWidth;
    return u'[' + QString(filled, u'#') + QString(barWidth - filled, u'.') + u']' + counts;
}

void ProgressBar::update(qsizetype done, qsizetype total)
{
    if (!terminal_ || std::chrono::steady_clock::now() - start_ < delay_)
        return;
    const QString text = line(done, total, 60);
    if (shown_ && text == last_)
        return;
    std::fprintf(stream_, "\r%s", text.toUtf8().constData());
    std::fflush(stream_);
    shown_ = true;
    last_ = text;
}

void ProgressBar::finish()
{
    if (!shown_)
        return;
    // Back to the start of the line and erase it.
    std::fputs("\r\033[K", stream_);
    std::fflush(stream_);
    shown_ = false;
}
