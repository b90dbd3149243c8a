#include "LiveWindow.h"

#include "PtyPair.h"
#include "ui/Lamp.h"
#include "ui/LogView.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QWindow>

namespace {

std::unique_ptr<WholeProgram> recordingProgram(const QString& dataRoot, bool captureAtStart,
                                               QStringList& messages, int& beeps,
                                               const QString& openFileAnswer) {
    qputenv("ProgramFiles", QFile::encodeName(dataRoot));
    Seams seams;
    seams.messageBox = [&messages](const QString&, const QString& text) {
        messages << text;
    };
    seams.chooseFolder = [](const QString&) {
        return QString();
    };
    seams.chooseOpenFile = [&openFileAnswer](const QString&) {
        return openFileAnswer;
    };
    seams.beep = [&beeps] {
        ++beeps;
    };
    seams.now = [] {
        return QDateTime::currentDateTime();
    };
    return std::make_unique<WholeProgram>(seams, captureAtStart);
}

} // namespace

LiveWindow::LiveWindow(const QString& dataRoot, bool captureAtStart)
    : m_whole(recordingProgram(dataRoot.isEmpty() ? ownDataRoot.path() : dataRoot, captureAtStart,
                               messages, beeps, openFileAnswer)),
      form(m_whole->form), port1(m_whole->port1), port2(m_whole->port2), clock(m_whole->clock),
      capture(m_whole->capture), program(&m_whole->program) {}

LiveWindow::LiveWindow(PtyPair& port1Device, PtyPair& port2Device) : LiveWindow() {
    // Read when the ports open, at start-up.
    qputenv("DUPLINK_COM1", QFile::encodeName(port1Device.slavePath()));
    qputenv("DUPLINK_COM2", QFile::encodeName(port2Device.slavePath()));
}

LiveWindow::~LiveWindow() = default;

void LiveWindow::start() {
    m_whole->start();
    QElapsedTimer waited;
    waited.start();
    while (!(form.windowHandle() && form.windowHandle()->isExposed()) && waited.elapsed() < 5000)
        runEventLoopFor(10);
}

bool LiveWindow::waitPastIdentification(PtyPair& port1Device, PtyPair& port2Device) {
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

LogView* LiveWindow::log(int channel) const {
    return find<LogView>(channel == 0 ? QStringLiteral("Text2") : QStringLiteral("Text6"));
}

QString LiveWindow::caption(int channel) const {
    return find<QGroupBox>(channel == 0 ? QStringLiteral("Frame2") : QStringLiteral("Frame5"))
        ->title();
}

int LiveWindow::lamp(const char* objectName) const {
    return find<Lamp>(QLatin1String(objectName))->fillColor();
}

void LiveWindow::run(int channel, const QString& command) {
    find<QLineEdit>(channel == 0 ? QStringLiteral("Text4") : QStringLiteral("Text7"))
        ->setText(command);
    find<QPushButton>(channel == 0 ? QStringLiteral("Command3") : QStringLiteral("Command6"))
        ->click();
}

TerminalChannel& LiveWindow::channel(int index) {
    return program->terminal().channel(index);
}

void runEventLoopFor(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}
