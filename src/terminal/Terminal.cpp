#include "Terminal.h"

#include "ChannelView.h"
#include "CommandEditing.h"
#include "TransmitView.h"
#include "serial/DeviceWatch.h"
#include "serial/SerialControl.h"

Terminal::Terminal(Clock& clock, Seams seams, ChannelParts one, ChannelParts two,
                   TransmitView& transmit, DeviceWatch& devices, QObject* parent)
    : QObject(parent), Timer1(clock, 100, [this] { Timer1_Timer(); }), m_seams(std::move(seams)),
      m_transmit(transmit), m_devices(devices) {
    connect(&m_devices, &DeviceWatch::devicesChanged, this, &Terminal::lookForDevices);
    connect(&m_transmit, &TransmitView::switchOnClicked, this, &Terminal::Command5_Click);
    connect(&m_transmit, &TransmitView::switchOffClicked, this, &Terminal::Command2_Click);
    const ChannelParts parts[2] = {one, two};
    for (int i = 0; i < 2; ++i) {
        auto& slot = m_channels[size_t(i)];
        slot = std::make_unique<TerminalChannel>(i + 1, parts[i].port, parts[i].view,
                                                 parts[i].settings, clock,
                                                 [this, i] { Timer2_Timer(channel(i)); });
        TerminalChannel& ch = *slot;
        ch.MSComm.setObjectName(QStringLiteral("MSComm%1").arg(i + 1));
        connect(&ch.MSComm, &SerialControl::OnComm, this, [this, &ch] { MSComm1_OnComm(ch); });
        connect(&ch.MSComm, &SerialControl::portLost, this, [this, &ch](const QString& reason) {
            ch.portProblem = reason;
            portLost(ch);
        });
        connect(&ch.MSComm, &SerialControl::portOpened, this, [this, &ch] { portCameBack(ch); });
        connect(&ch.view, &ChannelView::settingPicked, this,
                [this, &ch](int field) { Combo1_Click(ch, field); });
        connect(&ch.view, &ChannelView::rtsBoxClicked, this, [this, &ch] { Check1_Click(ch); });
        connect(&ch.view, &ChannelView::dtrBoxClicked, this, [this, &ch] { Check2_Click(ch); });
        connect(&ch.view, &ChannelView::commandChanged, this, [&ch] { Text4_Change(ch); });
        connect(&ch.view, &ChannelView::insertClicked, this, [&ch] { Command8_Click(ch); });
        connect(&ch.view, &ChannelView::runClicked, this, [this, &ch] { run(ch); });
        connect(&ch.view, &ChannelView::olderCommandAsked, this, [&ch] { recallOlderCommand(ch); });
        connect(&ch.view, &ChannelView::newerCommandAsked, this, [&ch] { recallNewerCommand(ch); });
        connect(&ch.view, &ChannelView::clearClicked, this, [&ch] { Command4_Click(ch); });
        connect(&ch.view, &ChannelView::emptyClicked, this, [&ch] { Command11_Click(ch); });
        connect(&ch.view, &ChannelView::saveLogChosen, this,
                [this, &ch] { saveLogAs(ch, m_seams); });
        m_scripts[size_t(i)] = std::make_unique<ChannelScript>(ch, clock, m_seams);
        connect(&ch.view, &ChannelView::runScriptChosen, this,
                [this, &ch] { script(ch).chooseAndRun(TransmitMode == TransmitModes::On); });
        connect(&ch.view, &ChannelView::stopScriptChosen, this, [this, &ch] { script(ch).stop(); });
    }
}

Terminal::~Terminal() = default;

void Terminal::run(TerminalChannel& ch) {
    // The command as the click found it, as its echo shows it; the send, a tick later, may
    // take an edited box.
    const bool added = ch.history.add(ch.view.commandText());
    Command3_Click(ch);
    if (added)
        emit commandHistoryChanged();
}

void Terminal::Command5_Click() {
    // The relay takes both ports: a script on either ends.
    for (auto& s : m_scripts)
        s->stop();
    emit transmitModeChanged(true);
    TransmitMode = TransmitModes::On;
    m_transmit.showTransmitMode(true);
}

void Terminal::Command2_Click() {
    emit transmitModeChanged(false);
    TransmitMode = TransmitModes::Off;
    m_transmit.showTransmitMode(false);
    TerminalChannel& one = channel(0);
    TerminalChannel& two = channel(1);
    for (ChannelView* v : {&one.view, &two.view}) {
        v->setRtsBoxVisible(true);
        v->setDtrBoxVisible(true);
    }
    // A grayed box counts as set here.
    one.MSComm.setRTSEnable(one.view.rtsBoxValue() != 0);
    one.MSComm.setDTREnable(one.view.dtrBoxValue() != 0);
    two.MSComm.setRTSEnable(two.view.rtsBoxValue() != 0);
    two.MSComm.setDTREnable(two.view.dtrBoxValue() != 0);
    // No line event follows a line the program sets itself: the lamps are redrawn here.
    COM_Events(one);
    COM_Events(two);
}

#include "moc_Terminal.cpp"
