#include "ShownLog.h"

#include <QApplication>
#include <QWidget>
#include <QWindow>

void bench::showAndSettle(QWidget& log) {
    log.resize(kLogSize);
    log.show();
    while (!(log.windowHandle() && log.windowHandle()->isExposed()))
        QApplication::processEvents();
    QApplication::processEvents();
}
