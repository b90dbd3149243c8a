#pragma once

#include <QDateTime>

class Form1;

// Puts every language-dependent caption of the window, and the dated title, into the
// language given (0 English). Other languages keep the English captions for now.
void Lang_Setting(Form1& form, qint16 language, const QDateTime& now);

// "Amberfields       Duplink v.2.1               Today: December6,  2026"
QString englishTitle(const QDate& today);
