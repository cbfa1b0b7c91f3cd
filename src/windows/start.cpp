#include "windows/start.h"

#include "platform/stop_signals.h"
#include "windows/main_window.h"

#include <QGuiApplication>
#include <QPointer>
#include <QSessionManager>

namespace {

// One for the application: a signal has one handler.
StopSignals *ApplicationStopSignals()
{
    static QPointer<StopSignals> stops;
    if (!stops)
        stops = new StopSignals(qApp);
    return stops;
}

} // namespace

void ShowEditor(MainWindow &window, const QString &file)
{
    window.show();
    // The messages about the file belong to the window, so it is shown first; a copy
    // of lost work comes before anything else.
    window.offerRecovery();
    if (!file.isEmpty())
        window.openLentar(file);

    QObject::connect(ApplicationStopSignals(), &StopSignals::stopRequested, &window,
        &MainWindow::closeKeepingChanges);
    // The desktop may end the session without waiting for the answer to a question.
    QObject::connect(
        qApp, &QGuiApplication::commitDataRequest, &window, &MainWindow::keepForNextStart);
}
