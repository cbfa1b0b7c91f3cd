#pragma once

#include <QString>

#include <chrono>
#include <cstdio>

// A one-line progress bar on a terminal. It appears only once a run has lasted a
// second, so quick runs leave no trace, and it is erased at the end so the report
// starts on a clean line.
class ProgressBar
{
public:
    // Draws on stream only when it is a terminal.
    explicit ProgressBar(std::FILE *stream);
    ProgressBar(std::FILE *stream, bool terminal, std::chrono::milliseconds delay);

    void update(qsizetype done, qsizetype total);
    void finish();

    // The line for done of total files, width characters wide at most.
    static QString line(qsizetype done, qsizetype total, int width);

private:
    std::FILE *stream_;
    bool terminal_;
    std::chrono::milliseconds delay_;
    std::chrono::steady_clock::time_point start_;
    bool shown_ = false;
    QString last_;
};
