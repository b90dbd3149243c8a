#include "WindowHarness.h"

WindowHarness::WindowHarness(bool captureAtStart)
    : recorded1(std::make_unique<FakeSerialControl>()),
      recorded2(std::make_unique<FakeSerialControl>()),
      port1(static_cast<FakeSerialControl&>(recorded1.inner())),
      port2(static_cast<FakeSerialControl&>(recorded2.inner())) {
    Seams seams;
    seams.messageBox = [this](const QString& title, const QString& text) {
        messages.append({title, text});
    };
    seams.chooseFolder = [this](const QString& title) {
        folderTitles << title;
        return folderAnswer;
    };
    seams.chooseSaveFile = [this](const QString& title, const QString& suggestedName) {
        saveFileQuestions << title + QStringLiteral(" | ") + suggestedName;
        return saveFileAnswer;
    };
    seams.chooseOpenFile = [this](const QString& title) {
        openFileTitles << title;
        return openFileAnswer;
    };
    seams.beep = [this] {
        ++beeps;
    };
    seams.now = [this] {
        return now;
    };
    capture = std::make_unique<CaptureSwitch>(
        clock, seams, std::array<RecordingControl*, 2>{&recorded1, &recorded2});
    program = std::make_unique<Program>(form, recorded1, recorded2, devices, clock, seams);
    program->useCapture(*capture, captureAtStart);
}

WindowHarness::~WindowHarness() = default;

void WindowHarness::start() {
    program->Form_Load();
    // Start-up ends with the setting fields applied, 100 ms later.
    clock.advanceBy(100);
}
