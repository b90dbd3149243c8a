#pragma once

#include "terminal/Seams.h"

class QWidget;

// The real desktop: modal dialogs over `parent`, the system beep and clock. Once the program
// is told to end (terminationRequested), message boxes are written to the error output instead,
// so that nothing waits for a click that will not come.
Seams desktopSeams(QWidget* parent);
