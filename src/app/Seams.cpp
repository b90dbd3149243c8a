#include "Seams.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QPointer>

Seams desktopSeams(QWidget* parent) {
    QPointer<QWidget> owner(parent);
    Seams s;
    s.messageBox = [owner](const QString& title, const QString& text) {
        QMessageBox::information(owner, title, text, QMessageBox::Ok);
    };
    s.chooseFolder = [owner](const QString& title) {
        return QFileDialog::getExistingDirectory(owner, title);
    };
    s.beep = [] {
        QApplication::beep();
    };
    s.now = [] {
        return QDateTime::currentDateTime();
    };
    return s;
}
