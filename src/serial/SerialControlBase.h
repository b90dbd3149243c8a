#pragma once

#include "LineSettings.h"
#include "SerialControl.h"

#include <functional>

// What every serial control keeps and refuses alike: the port number, the settings string, the
// flow control and the output lines as last given, the refusals in the same words (each throws
// SerialError), and the way a control reports what happened to it.
class SerialControlBase : public SerialControl {
    Q_OBJECT
public:
    using SerialControl::SerialControl;

    qint16 CommPort() const override { return m_commPort; }
    // A port number outside COM1 to COM16, or a change while the port is open, is refused.
    void setCommPort(qint16 port) override;
    QString Settings() const override { return m_settings.toString(); }
    qint32 Handshaking() const override { return m_handshaking; }
    bool RTSEnable() const override { return m_rts; }
    void setRTSEnable(bool on) override;
    bool DTREnable() const override { return m_dtr; }
    void setDTREnable(bool on) override;
    qint16 CommEvent() const override { return m_commEvent; }

protected:
    // "COM5 (/dev/ttyUSB0)": how refusals name the port.
    virtual QString label() const;
    // Puts RTS and DTR on the line, where the port is open and has lines.
    virtual void applyOutputLines() {}

    // The line settings a settings string such as "9600,n,8,1" gives.
    LineSettings parsedSettings(const QString& settings) const;
    // A flow control other than 0 to 3 is refused.
    void checkHandshaking(qint32 mode) const;
    // "COM5 (/dev/ttyUSB0): the device refuses `what`".
    QString refusal(const QString& what) const;

    // The port closed by itself: said once the call that found it out has returned.
    void reportLost(const QString& reason);
    // A line change or a ring, said once the call that saw it has returned, if the port is
    // still open then.
    void reportLineEvent(qint16 code);
    // Emits once the call under way has returned.
    void reportLater(const std::function<void()>& emitter);

    qint16 m_commPort = 1;
    LineSettings m_settings;
    LineSettings m_inForce; // what the device last took
    qint32 m_handshaking = comNone;
    bool m_rts = false;
    bool m_dtr = true;
    qint16 m_commEvent = 0;
};
