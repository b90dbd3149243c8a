#include "NetworkSerialControl.h"

#include "ControlRefusals.h"
#include "PortDevice.h"
#include "SerialError.h"
#include "network/RemoteLink.h"

#include <algorithm>
#include <chrono>

namespace {

// What of `wanted` the server did not take, named as the local control names it.
QString refusedPart(const LineSettings& wanted, const LineSettings& answered) {
    if (answered.speed != wanted.speed)
        return QStringLiteral("the speed %1").arg(wanted.speed);
    if (answered.parity != wanted.parity)
        return QStringLiteral("the parity %1").arg(wanted.parity);
    if (answered.dataBits != wanted.dataBits)
        return QStringLiteral("%1 data bits").arg(wanted.dataBits);
    if (answered.stopBits != wanted.stopBits)
        return QStringLiteral("%1 stop bits").arg(wanted.stopBits);
    return {};
}

bool rtsIsFlowControl(qint32 mode) {
    return mode == comRTS || mode == comRTSXOnXOff;
}

} // namespace

NetworkSerialControl::NetworkSerialControl(QObject* parent) : SerialControl(parent) {
    m_retry.setSingleShot(true);
    connect(&m_retry, &QTimer::timeout, this, &NetworkSerialControl::startAttempt);
    m_giveUp.setSingleShot(true);
    connect(&m_giveUp, &QTimer::timeout, this, [this] { failed(QStringLiteral("No answer")); });
}

NetworkSerialControl::~NetworkSerialControl() {
    // Its thread stops first: nothing calls back into a control on its way out.
    m_link.reset();
}

QString NetworkSerialControl::label() const {
    return portLabel(m_commPort);
}

void NetworkSerialControl::setCommPort(qint16 port) {
    checkPortNumberChange(port, PortOpen(), label());
    // Still trying to connect: the new number names another address.
    if (port != m_commPort)
        setPortOpen(false);
    m_commPort = port;
}

void NetworkSerialControl::setSettings(const QString& settings) {
    const LineSettings parsed = lineSettingsOf(settings, label());
    if (m_phase != Phase::Open || !isRfc2217()) {
        // Bytes only: nothing to refuse. Otherwise the server hears it when the port opens.
        m_settings = parsed;
        if (m_phase == Phase::Open)
            m_inForce = parsed;
        return;
    }
    const LineSettings previous = m_settings;
    m_settings = parsed;
    auto refusal = std::make_shared<std::optional<QString>>();
    sendLine({parsed, m_handshaking},
             [this, previous, wanted = parsed, refusal](const LinkEvent& event) {
                 *refusal = refusedPart(wanted, event.answer->settings);
                 if ((*refusal)->isEmpty()) {
                     m_inForce = wanted;
                 } else if (m_settings == wanted) {
                     m_settings = previous;
                     resend({previous, m_handshaking});
                 }
             });
    waitFor([this, refusal] { return refusal->has_value() || m_phase != Phase::Open; });
    if (refusal->has_value() && !(*refusal)->isEmpty())
        throw SettingsRefused(QStringLiteral("%1: the device refuses %2").arg(label(), **refusal));
}

void NetworkSerialControl::setHandshaking(qint32 mode) {
    if (mode < comNone || mode > comRTSXOnXOff)
        throw SerialError(
            QStringLiteral("%1: %2 is not a flow control (0 to 3)").arg(label()).arg(mode));
    if (m_phase != Phase::Open || !isRfc2217()) {
        m_handshaking = mode;
        return;
    }
    const qint32 previous = m_handshaking;
    m_handshaking = mode;
    auto refused = std::make_shared<std::optional<bool>>();
    sendLine({m_settings, mode}, [this, previous, mode, refused](const LinkEvent& event) {
        *refused = event.answer->handshaking != mode;
        if (!**refused) {
            applyOutputLines();
        } else if (m_handshaking == mode) {
            m_handshaking = previous;
            resend({m_settings, previous});
        }
    });
    waitFor([this, refused] { return refused->has_value() || m_phase != Phase::Open; });
    if (refused->value_or(false))
        throw SerialError(
            QStringLiteral("%1: the device refuses the flow control %2").arg(label()).arg(mode));
}

void NetworkSerialControl::setPortOpen(bool open) {
    if (!open) {
        if (m_phase == Phase::Closed)
            return;
        m_phase = Phase::Closed;
        ++m_attempt;
        m_awaiting.clear();
        m_retry.stop();
        m_giveUp.stop();
        m_lines = LineSnapshot{};
        m_link->disconnect();
        m_link->dropReceived();
        return;
    }
    // Already open, or trying to be: nothing more to start.
    if (m_phase != Phase::Closed)
        return;
    m_address = parseNetworkAddress(deviceForPort(m_commPort));
    if (!m_address)
        throw SerialError(
            QStringLiteral("%1: a network port is named %2").arg(label(), networkAddressForms()));
    if (!m_link)
        m_link = std::make_unique<RemoteLink>([this] {
            QMetaObject::invokeMethod(
                this, [this] { processEvents(); }, Qt::QueuedConnection);
        });
    if (!m_link->problem().isEmpty())
        throw SerialError(QStringLiteral("%1: %2").arg(label(), m_link->problem()));
    m_retries = 0;
    m_lastProblem.clear();
    m_openRefusal.clear();
    startAttempt();
    m_opening = true;
    waitFor([this] { return m_phase == Phase::Open || m_phase == Phase::Retrying; });
    m_opening = false;
    if (m_phase == Phase::Open && !m_openRefusal.isEmpty())
        throw SettingsRefused(std::exchange(m_openRefusal, {}));
}

void NetworkSerialControl::startAttempt() {
    m_phase = Phase::Connecting;
    m_link->connect(++m_attempt, *m_address);
    m_giveUp.start(kConnectTimeoutMs);
}

void NetworkSerialControl::negotiate() {
    const LineRequest asked{m_settings, m_handshaking};
    sendLine(asked, [this, asked](const LinkEvent& event) { negotiated(asked, event); });
    applyOutputLines();
}

void NetworkSerialControl::negotiated(const LineRequest& asked, const LinkEvent& event) {
    if (!(m_settings == asked.settings) || m_handshaking != asked.handshaking) {
        // Changed while the server was answering: ask again.
        negotiate();
        return;
    }
    const LineRequest& answer = *event.answer;
    if (answer.handshaking >= comNone)
        m_handshaking = answer.handshaking;
    const QString refused = refusedPart(asked.settings, answer.settings);
    if (refused.isEmpty()) {
        m_inForce = asked.settings;
    } else {
        // As a local device: the settings it last took come back, or else what it answered.
        if (m_settings == m_inForce)
            m_inForce = answer.settings;
        else
            resend({m_inForce, m_handshaking});
        m_settings = m_inForce;
        if (m_opening)
            m_openRefusal = QStringLiteral("%1: the device refuses %2; it keeps %3")
                                .arg(label(), refused, m_settings.toString());
    }
    becomeOpen();
}

void NetworkSerialControl::becomeOpen() {
    m_giveUp.stop();
    m_retries = 0;
    m_lastProblem.clear();
    m_phase = Phase::Open;
    if (!m_opening)
        raise([this] {
            if (PortOpen())
                emit portOpened();
        });
}

void NetworkSerialControl::failed(const QString& reason) {
    if (m_phase == Phase::Closed || m_phase == Phase::Retrying)
        return;
    const bool wasOpen = m_phase == Phase::Open;
    m_phase = Phase::Retrying;
    ++m_attempt;
    m_awaiting.clear();
    m_giveUp.stop();
    m_lines = LineSnapshot{};
    // What came before the connection dropped stays for readBytes.
    m_link->disconnect();
    if (wasOpen)
        m_retries = 0;
    m_retry.start(std::min(kFirstRetryMs << std::min(m_retries++, 5), kMostRetryMs));
    // Each new trouble is told once, not every retry.
    const QString problem = QStringLiteral("%1: %2").arg(label(), reason);
    if (wasOpen || problem != m_lastProblem) {
        m_lastProblem = problem;
        raise([this, problem] { emit portLost(problem); });
    }
}

void NetworkSerialControl::sendLine(const LineRequest& line, AnswerHandler onAnswer) {
    m_awaiting.emplace_back(++m_lastRequest, std::move(onAnswer));
    m_link->applyLine(m_lastRequest, line);
}

void NetworkSerialControl::resend(const LineRequest& line) {
    sendLine(line, [](const LinkEvent&) {});
}

void NetworkSerialControl::processEvents() {
    if (!m_link)
        return;
    while (const auto event = m_link->nextEvent())
        handle(*event);
}

void NetworkSerialControl::handle(const LinkEvent& event) {
    if (event.attempt != m_attempt)
        return;
    switch (event.kind) {
    case LinkEvent::Connected:
        if (m_phase != Phase::Connecting)
            return;
        if (!isRfc2217()) {
            m_inForce = m_settings;
            becomeOpen();
            return;
        }
        m_phase = Phase::Negotiating;
        negotiate();
        return;
    case LinkEvent::Failed:
        failed(event.reason);
        return;
    case LinkEvent::Answered: {
        const auto awaited =
            std::find_if(m_awaiting.begin(), m_awaiting.end(),
                         [&event](const auto& entry) { return entry.first == event.request; });
        if (awaited == m_awaiting.end())
            return;
        const AnswerHandler onAnswer = std::move(awaited->second);
        m_awaiting.erase(awaited);
        // A server that stops answering is as good as gone.
        if (!event.answer)
            failed(event.reason);
        else
            onAnswer(event);
        return;
    }
    case LinkEvent::ModemState:
        noteModemState(event);
        return;
    }
}

void NetworkSerialControl::noteModemState(const LinkEvent& event) {
    LineSnapshot now;
    now.cts = event.cts;
    now.dsr = event.dsr;
    now.dcd = event.dcd;
    now.ri = event.ri;
    // Lines as they stand when the port opens raise nothing, as with a local port.
    std::vector<qint16> codes;
    if (m_phase == Phase::Open) {
        codes = lineEventsBetween(m_lines, now);
        // A whole ring between two reports.
        if (event.ringEnded && !m_lines.ri && !now.ri)
            codes.push_back(comEvRing);
    }
    m_lines = now;
    for (const qint16 code : codes) {
        raise([this, code] {
            if (!PortOpen())
                return;
            m_commEvent = code;
            emit OnComm();
        });
    }
}

void NetworkSerialControl::setRTSEnable(bool on) {
    m_rts = on;
    applyOutputLines();
}

void NetworkSerialControl::setDTREnable(bool on) {
    m_dtr = on;
    applyOutputLines();
}

void NetworkSerialControl::applyOutputLines() {
    if (!isRfc2217() || (m_phase != Phase::Open && m_phase != Phase::Negotiating))
        return;
    // Under RTS/CTS flow control the far end's driver owns RTS.
    m_link->setOutputLines(rtsIsFlowControl(m_handshaking) ? std::nullopt : std::optional(m_rts),
                           m_dtr);
}

void NetworkSerialControl::writeBytes(const QByteArray& bytes) {
    if (PortOpen() && !bytes.isEmpty())
        m_link->write(bytes);
}

QByteArray NetworkSerialControl::readBytes() {
    return m_link ? m_link->takeReceived() : QByteArray();
}

qint64 NetworkSerialControl::bytesToSend() const {
    return PortOpen() ? m_link->unsent() : 0;
}

bool NetworkSerialControl::waitFor(const std::function<bool()>& reached) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kWaitMs);
    ++m_waiting;
    processEvents();
    while (!reached() && m_link->waitForEvent(deadline))
        processEvents();
    --m_waiting;
    return reached();
}

void NetworkSerialControl::raise(const std::function<void()>& emitter) {
    if (m_waiting > 0)
        QMetaObject::invokeMethod(this, emitter, Qt::QueuedConnection);
    else
        emitter();
}
