#pragma once

#include <QString>

class MainWindow;

// Shows the main window, asks about the recovery copies that runs ended without saving
// left behind and, when the command line named a lentar, then opens it in the window
// through the command "Открыть" (so a file that is no lentar is told about in the
// window, which then stays empty). From then on SIGTERM, SIGHUP, SIGINT and the end of
// the desktop session keep the unsaved changes in the recovery copy and close the
// window.
void ShowEditor(MainWindow &window, const QString &file);
