#pragma once

#include "terminal/TransmitView.h"

class QLabel;
class QPushButton;
class QRadioButton;
class QWidget;

// The transmit switch between the two terminal frames: the two picture buttons, the banner
// and the two options for the RTS and DTR lines.
class TransmitStrip final : public TransmitView {
    Q_OBJECT
public:
    explicit TransmitStrip(QWidget* client);

    bool option3Selected() const override;
    bool option4Selected() const override;
    void showTransmitMode(bool on) override;

private:
    QLabel* m_banner = nullptr;         // Label4
    QPushButton* m_switchOn = nullptr;  // Command5
    QPushButton* m_switchOff = nullptr; // Command2
    QRadioButton* m_manual = nullptr;   // Option3
    QRadioButton* m_follow = nullptr;   // Option4
};
