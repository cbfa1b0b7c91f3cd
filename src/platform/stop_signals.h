#pragma once

#include <QObject>

class QSocketNotifier;

// SIGTERM, SIGHUP and SIGINT, which end the program from outside (a shutdown, a closed
// terminal, kill), delivered by the event loop as stopRequested() instead of ending the
// program on the spot, so that the program can keep its unsaved work first. The signal
// handler only writes a byte into a pipe; one object at a time.
class StopSignals : public QObject
{
    Q_OBJECT
public:
    explicit StopSignals(QObject *parent = nullptr);
    // The signals end the program again as they did before.
    ~StopSignals() override;

signals:
    void stopRequested(int signal);

private:
    void readPipe();

    QSocketNotifier *notifier_ = nullptr;
};
