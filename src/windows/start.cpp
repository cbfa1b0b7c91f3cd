#include "windows/start.h"

#include "windows/main_window.h"

void ShowEditor(MainWindow &window, const QString &file)
{
    window.show();
    // The messages about the file belong to the window, so it is shown first.
    if (!file.isEmpty())
        window.openLentar(file);
}
