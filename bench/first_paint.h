#pragma once

#include <QCoreApplication>
#include <QEvent>
#include <QFile>
#include <QObject>
#include <QWidget>

#include <cstdio>

// Ends the event loop once the window gets its first paint event. The rest of that
// paint (the children, the flush to the screen) still completes, because exit() only
// tells the loop to stop when control returns to it.
class QuitAfterFirstPaint : public QObject
{
public:
    explicit QuitAfterFirstPaint(QWidget &window) { window.installEventFilter(this); }

    bool painted() const { return painted_; }

    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint && !painted_) {
            painted_ = true;
            QCoreApplication::exit(0);
        }
        return false;
    }

private:
    bool painted_ = false;
};

// Prints the process's peak resident set (VmHWM) in kilobytes. The parent's own
// accounting cannot tell it: a child started with vfork or fork inherits the
// parent's peak until it replaces its image.
inline void PrintPeakResident()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:")) {
            std::fputs(line.mid(6).trimmed().split(' ').front().constData(), stdout);
            std::fputs("\n", stdout);
        }
    }
}
