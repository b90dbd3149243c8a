#include "WindowHarness.h"

WindowHarness::WindowHarness() {
    Seams seams;
    seams.messageBox = [this](const QString& title, const QString& text) {
        messages.append({title, text});
    };
    seams.chooseFolder = [this](const QString& title) {
        folderTitles << title;
        return folderAnswer;
    };
    seams.beep = [this] {
        ++beeps;
    };
    seams.now = [this] {
        return now;
    };
    program = std::make_unique<Program>(form, port1, port2, devices, clock, seams);
}

WindowHarness::~WindowHarness() = default;

void WindowHarness::start() {
    program->Form_Load();
    // Start-up ends with the setting fields applied, 100 ms later.
    clock.advanceBy(100);
}
