#include "LiveWindow.h"

LiveWindow::LiveWindow(const QString& dataRoot) {
    qputenv("ProgramFiles", QFile::encodeName(dataRoot.isEmpty() ? ownDataRoot.path() : dataRoot));
    Seams seams;
    seams.messageBox = [this](const QString&, const QString& text) {
        messages << text;
    };
    seams.chooseFolder = [](const QString&) {
        return QString();
    };
    seams.beep = [this] {
        ++beeps;
    };
    seams.now = [] {
        return QDateTime::currentDateTime();
    };
    program = std::make_unique<Program>(form, port1, port2, devices, clock, seams);
}

LiveWindow::~LiveWindow() = default;

void LiveWindow::start() {
    program->Form_Load();
    clock.followRealTime();
    form.show();
}
