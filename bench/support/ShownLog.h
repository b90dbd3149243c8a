#pragma once

#include <QSize>

class QWidget;

namespace bench {

// The size of Terminal 1's log in the window.
constexpr QSize kLogSize(580, 166);

// Shows a log at that size and returns once it is exposed and its first events are handled.
void showAndSettle(QWidget& log);

} // namespace bench
