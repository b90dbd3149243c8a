#include "ClickProbe.h"

#include <QCoreApplication>
#include <QEvent>
#include <QPushButton>
#include <QTest>

#include <chrono>

namespace {

using SteadyClock = std::chrono::steady_clock;

struct ClickEvent : QEvent {
    static QEvent::Type kind() {
        static const auto registered = QEvent::Type(QEvent::registerEventType());
        return registered;
    }
    ClickEvent(int button, SteadyClock::time_point postedAt)
        : QEvent(kind()), button(button), postedAt(postedAt) {}
    int button;
    SteadyClock::time_point postedAt;
};

} // namespace

ClickProbe::ClickProbe(std::vector<QPushButton*> buttons, std::function<bool(int)> effectSeen,
                       int everyMs)
    : m_buttons(std::move(buttons)), m_effectSeen(std::move(effectSeen)), m_everyMs(everyMs) {}

ClickProbe::~ClickProbe() {
    stop();
}

void ClickProbe::start() {
    m_thread = std::thread([this] {
        int button = 0;
        for (auto next = SteadyClock::now(); !m_stop;
             next += std::chrono::milliseconds(m_everyMs)) {
            std::this_thread::sleep_until(next);
            QCoreApplication::postEvent(this, new ClickEvent(button, SteadyClock::now()));
            button = (button + 1) % int(m_buttons.size());
        }
    });
}

void ClickProbe::stop() {
    m_stop = true;
    if (m_thread.joinable())
        m_thread.join();
}

void ClickProbe::customEvent(QEvent* event) {
    if (event->type() != ClickEvent::kind())
        return;
    const auto* click = static_cast<ClickEvent*>(event);
    QTest::mouseClick(m_buttons[size_t(click->button)], Qt::LeftButton);
    if (!m_effectSeen(click->button)) {
        ++clicksWithoutEffect;
        return;
    }
    latencyMs.push_back(
        std::chrono::duration<double, std::milli>(SteadyClock::now() - click->postedAt).count());
}
