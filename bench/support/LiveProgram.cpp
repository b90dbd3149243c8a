#include "LiveProgram.h"

#include "PtyLink.h"
#include "ui/LogView.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <QWindow>

LiveProgram::LiveProgram(PtyLink& port1Device, PtyLink& port2Device) {
    qputenv("ProgramFiles", QFile::encodeName(dataRoot.path()));
    qputenv("DUPLINK_COM1", QFile::encodeName(port1Device.slavePath()));
    qputenv("DUPLINK_COM2", QFile::encodeName(port2Device.slavePath()));
    Seams seams;
    seams.messageBox = [this](const QString&, const QString& text) {
        messages << text;
    };
    seams.chooseFolder = [](const QString&) {
        return QString();
    };
    seams.beep = [] {
    };
    seams.now = [] {
        return QDateTime::currentDateTime();
    };
    program = std::make_unique<Program>(form, port1, port2, devices, clock, seams);
}

LiveProgram::~LiveProgram() = default;

void LiveProgram::start() {
    program->Form_Load();
    clock.followRealTime();
    form.show();
    QElapsedTimer waited;
    waited.start();
    while (!(form.windowHandle() && form.windowHandle()->isExposed()) && waited.elapsed() < 5000)
        runEventLoopFor(10);
}

bool LiveProgram::waitPastIdentification(PtyLink& port1Device, PtyLink& port2Device) {
    QElapsedTimer waited;
    waited.start();
    while (channel(0).ModemState < 2 || channel(1).ModemState < 2) {
        if (waited.elapsed() > 5000)
            return false;
        runEventLoopFor(20);
    }
    port1Device.drain();
    port2Device.drain();
    return true;
}

LogView* LiveProgram::log(int channel) const {
    return find<LogView>(channel == 0 ? QStringLiteral("Text2") : QStringLiteral("Text6"));
}

void runEventLoopFor(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}
