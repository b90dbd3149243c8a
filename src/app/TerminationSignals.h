#pragma once

class QWidget;

// SIGTERM and SIGINT close the window the normal way, so shutdown runs as it does when the
// user closes it. Does nothing where the platform has no such signals.
void closeOnTerminationSignals(QWidget* window);
