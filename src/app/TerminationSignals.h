#pragma once

#include <functional>

class QObject;
class QWidget;

// SIGTERM, SIGINT and SIGHUP run `action` from the event loop, while `context` lives. Where the
// platform has no such signals this does nothing.
void onTerminationSignals(QObject* context, std::function<void()> action);

// SIGTERM, SIGINT and SIGHUP end the program the normal way: open message boxes are closed, then
// the window, so shutdown runs (and saves) as it does when the user closes it. Where the platform
// has no such signals this does nothing.
void closeOnTerminationSignals(QWidget* window);

// True once a termination signal has come.
bool terminationRequested();
