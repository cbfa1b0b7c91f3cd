#pragma once

#include <QString>

class MainWindow;

// Shows the main window and, when the command line named a lentar, opens it in the
// window through the command "Открыть" (so a file that is no lentar is told about in
// the window, which then stays empty).
void ShowEditor(MainWindow &window, const QString &file);
