#pragma once

#include <QObject>

#include <atomic>
#include <functional>
#include <thread>
#include <vector>

class QPushButton;

// A user clicking a button now and then while the program is busy. A thread of its own decides
// when to click, as a person would, and posts the click to the GUI thread; the time counted is
// from that moment until the click has had its effect, which `effectSeen` tells.
class ClickProbe : public QObject {
    Q_OBJECT
public:
    ClickProbe(std::vector<QPushButton*> buttons, std::function<bool(int button)> effectSeen,
               int everyMs);
    ~ClickProbe() override;

    void start();
    void stop();

    std::vector<double> latencyMs;
    int clicksWithoutEffect = 0;

protected:
    void customEvent(QEvent* event) override;

private:
    std::vector<QPushButton*> m_buttons;
    std::function<bool(int)> m_effectSeen;
    int m_everyMs;
    std::thread m_thread;
    std::atomic<bool> m_stop{false};
};
