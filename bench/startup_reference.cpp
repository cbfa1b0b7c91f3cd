// The least a Qt Widgets program of the same shape pays to show its window: a tab
// widget with four pages of labelled line edits, started and ended the way the
// editor's start-up probe is.

#include "first_paint.h"

#include <QApplication>
#include <QFormLayout>
#include <QLineEdit>
#include <QTabWidget>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QTabWidget window;
    for (int page = 1; page <= 4; ++page) {
        auto *sheet = new QWidget;
        auto *form = new QFormLayout(sheet);
        for (int field = 1; field <= 6; ++field)
            form->addRow(QStringLiteral("Поле %1:").arg(field), new QLineEdit);
        window.addTab(sheet, QStringLiteral("Страница %1").arg(page));
    }
    window.setWindowTitle(QStringLiteral("Образец"));
    window.resize(787, 502);
    QuitAfterFirstPaint quit(window);
    window.show();
    app.exec();
    PrintPeakResident();
    return quit.painted() ? 0 : 1;
}
