#include "DesktopSeams.h"

#include "TerminationSignals.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QPointer>

#include <cstdio>

Seams desktopSeams(QWidget* parent) {
    QPointer<QWidget> owner(parent);
    Seams s;
    s.messageBox = [owner](const QString& title, const QString& text) {
        if (terminationRequested()) {
            std::fprintf(stderr, "%s: %s\n", qPrintable(title), qPrintable(text));
            return;
        }
        // Paths and stored values come from outside: never let them be read as markup.
        QMessageBox box(QMessageBox::Information, title, text, QMessageBox::Ok, owner);
        box.setObjectName(QStringLiteral("messageBox"));
        box.setTextFormat(Qt::PlainText);
        box.exec();
    };
    s.chooseFolder = [owner](const QString& title) {
        return QFileDialog::getExistingDirectory(owner, title);
    };
    s.chooseSaveFile = [owner](const QString& title, const QString& suggestedName) {
        return QFileDialog::getSaveFileName(owner, title, suggestedName);
    };
    s.chooseOpenFile = [owner](const QString& title) {
        return QFileDialog::getOpenFileName(owner, title);
    };
    s.beep = [] {
        QApplication::beep();
    };
    s.now = [] {
        return QDateTime::currentDateTime();
    };
    return s;
}
