#pragma once

// Turns SIGTERM, SIGINT and SIGHUP into a readable descriptor for the poll loop, so the
// simulator stops between two steps and cleans up. A SIGINT that was ignored when the
// simulator started (a background job of a script) stays ignored.
class SignalPipe {
public:
    SignalPipe();
    ~SignalPipe();
    SignalPipe(const SignalPipe&) = delete;
    SignalPipe& operator=(const SignalPipe&) = delete;

    int fd() const;
};
