#include "Captions.h"

#include "Form1.h"

#include <QAction>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QPushButton>

namespace {

const char* const kEnglishMonths[12] = {"January",   "February", "March",    "April",
                                        "May",       "June",     "July",     "August",
                                        "September", "October",  "November", "December"};

void applyEnglish(Form1& f) {
    f.mnu_File->setTitle(QStringLiteral("Menu"));
    f.mnu_Exit->setText(QStringLiteral("Exit"));
    f.mnu_Setting->setText(QStringLiteral("Setting"));
    f.mnu_lanq->setTitle(QStringLiteral("Language"));
    f.Frame1->setTitle(QStringLiteral("Program Settings"));
    f.Label1_0->setText(QStringLiteral("Directory to save the results"));
    f.Command1->setText(QStringLiteral("Change"));
    for (int i = 0; i < 2; ++i) {
        ChannelControls& c = f.channel[size_t(i)];
        c.frame->setTitle(QStringLiteral("Terminal %1").arg(i + 1));
        c.endCodeCheck->setText(QStringLiteral("Character code command to complete"));
        c.showCommand->setText(QStringLiteral("Show entered command"));
        c.hexFormat->setText(QStringLiteral("HEX Format"));
        c.runButton->setText(QStringLiteral("Run"));
        c.clearButton->setText(QStringLiteral("Clear"));
        c.insertButton->setText(QStringLiteral("Insert Char 0-255"));
    }
}

} // namespace

QString englishTitle(const QDate& today) {
    return QStringLiteral("Amberfields       Duplink v.2.1               Today: ") +
           QLatin1String(kEnglishMonths[today.month() - 1]) + QString::number(today.day()) +
           QStringLiteral(",  ") + QString::number(today.year());
}

void Lang_Setting(Form1& form, qint16 language, const QDateTime& now) {
    Q_UNUSED(language);
    applyEnglish(form);
    form.setWindowTitle(englishTitle(now.date()));
}
