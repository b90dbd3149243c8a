#include "CommandLine.h"
#include "DataFolder.h"
#include "Demo.h"
#include "DesktopSeams.h"
#include "SettingsFile.h"
#include "WholeProgram.h"
#include "ui/timeline/TimelineWindow.h"

#include <QApplication>

int main(int argc, char** argv) {
    StartOptions options;
    if (const std::optional<int> status = runCommandLine(argc, argv, options))
        return *status;
    QApplication app(argc, argv);
    if (!options.timeline.isEmpty()) {
        QApplication::setApplicationName(QStringLiteral("Duplink"));
        TimelineWindow timeline;
        timeline.useSeams(desktopSeams(&timeline));
        timeline.setLanguage(storedLanguage(dataFolderFromEnvironment() + settingsFileName()));
        timeline.openFile(options.timeline);
        timeline.show();
        return QApplication::exec();
    }
    // Declared first, so the simulator stops after the window has closed its ports.
    Demo demo;
    if (options.demo && !demo.start())
        return 1;
    WholeProgram duplink(std::nullopt, options.capture);
    if (!duplink.start())
        return 0;
    return QApplication::exec();
}
