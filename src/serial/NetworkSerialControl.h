#pragma once

#include "LineEvents.h"
#include "LineSettings.h"
#include "SerialControlBase.h"
#include "TickMarkTimer.h"
#include "network/NetworkAddress.h"

#include <QTimer>

#include <functional>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

class RemoteLink;
struct LinkEvent;
struct LineRequest;

// The serial control on a port on the network: rfc2217://HOST:PORT, a serial port behind an
// RFC 2217 server such as ser2net, or tcp://HOST:PORT, bytes only. gensio does the talking on
// a thread of its own; everything here happens on the thread that made the control.
//
// setPortOpen(true) waits at most kWaitMs. A connection that takes longer goes on: the port
// opens later and says so with portOpened(). A connection refused, never answered or dropped
// is reported with portLost() and tried again, further apart each time, until
// setPortOpen(false). A port closed once open keeps its connection for kKeepMs, unheard: opened
// again to the same address by then, it goes on with it.
class NetworkSerialControl final : public SerialControlBase {
    Q_OBJECT
public:
    explicit NetworkSerialControl(QObject* parent = nullptr);
    ~NetworkSerialControl() override;

    void setCommPort(qint16 port) override;
    void setSettings(const QString& settings) override;
    void setHandshaking(qint32 mode) override;
    bool PortOpen() const override { return m_phase == Phase::Open; }
    void setPortOpen(bool open) override;
    bool CTSHolding() const override { return PortOpen() && m_lines.cts; }
    bool DSRHolding() const override { return PortOpen() && m_lines.dsr; }
    bool CDHolding() const override { return PortOpen() && m_lines.dcd; }
    void writeBytes(const QByteArray& bytes) override;
    QByteArray readBytes() override;
    qint64 bytesToSend() const override;
    // An address cannot be looked for; opening tells.
    bool devicePresent() const override { return true; }

    // The longest a call waits for the network.
    static constexpr int kWaitMs = 100;
    // A connection not up (and, for RFC 2217, its settings not answered) by then has failed.
    static constexpr int kConnectTimeoutMs = 3000;
    // Retries start this far apart and double up to the most.
    static constexpr int kFirstRetryMs = 250;
    static constexpr int kMostRetryMs = 5000;
    static constexpr int kKeepMs = 500;

private:
    enum class Phase { Closed, Connecting, Negotiating, Open, Retrying };
    using AnswerHandler = std::function<void(const LinkEvent&)>;

    bool isRfc2217() const { return m_address && m_address->rfc2217; }
    void startAttempt();
    void connected();
    // Drops the connection, kept or not.
    void letGo();
    void sendLine(const LineRequest& line, AnswerHandler onAnswer);
    // Sends it again, checking only that the server still answers.
    void resend(const LineRequest& line);
    void processEvents();
    void handle(const LinkEvent& event);
    void negotiate();
    void negotiated(const LineRequest& asked, const LinkEvent& event);
    void becomeOpen();
    void failed(const QString& reason, bool linkClosedIt = false);
    void noteModemState(const LinkEvent& event);
    void applyOutputLines() override;
    // Waits up to kWaitMs for `reached`, handling what the link reports meanwhile.
    bool waitFor(const std::function<bool()>& reached);

    std::unique_ptr<RemoteLink> m_link;
    std::optional<NetworkAddress> m_address;
    Phase m_phase = Phase::Closed;
    quint64 m_attempt = 0;
    quint64 m_lastRequest = 0;
    std::vector<std::pair<quint64, AnswerHandler>> m_awaiting;
    TickMarkTimer m_retry;
    QTimer m_giveUp;
    QTimer m_letGo;
    int m_retries = 0;
    QString m_lastProblem;
    // Set while setPortOpen waits: a refusal it is to throw.
    bool m_opening = false;
    QString m_openRefusal;
    LineSnapshot m_lines;
};
