#include "NetworkSerialControl.h"

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

NetworkSerialControl::NetworkSerialControl(QObject* parent) : SerialControlBase(parent) {
    connect(&m_retry, &TickMarkTimer::timeout, this, &NetworkSerialControl::startAttempt);
    m_letGo.setSingleShot(true);
    connect(&m_letGo, &QTimer::timeout, this, &NetworkSerialControl::letGo);
    m_giveUp.setSingleShot(true);
    connect(&m_giveUp, &QTimer::timeout, this, [this] { failed(QStringLiteral("No answer")); });
}

NetworkSerialControl::~NetworkSerialControl() {
    // Its thread stops first: nothing calls back into a control on its way out.
    m_link.reset();
}

void NetworkSerialControl::setCommPort(qint16 port) {
    const qint16 before = m_commPort;
    SerialControlBase::setCommPort(port);
    // Still trying to connect: the new number names another address.
    if (port != before)
        setPortOpen(false);
}

void NetworkSerialControl::setSettings(const QString& settings) {
    const LineSettings parsed = parsedSettings(settings);
    if (m_phase != Phase::Open || !isRfc2217()) {
        // Bytes only: nothing to refuse. Otherwise the server hears it when the port opens.
        m_settings = parsed;
        if (m_phase == Phase::Open)
            m_inForce = parsed;
        return;
    }
    const LineSettings previous = m_settings;
    m_settings = parsed;
    auto refused = std::make_shared<std::optional<QString>>();
    sendLine({parsed, m_handshaking},
             [this, previous, wanted = parsed, refused](const LinkEvent& event) {
                 *refused = refusedPart(wanted, event.answer->settings);
                 if ((*refused)->isEmpty()) {
                     m_inForce = wanted;
                 } else if (m_settings == wanted) {
                     m_settings = previous;
                     resend({previous, m_handshaking});
                 }
             });
    waitFor([this, refused] { return refused->has_value() || m_phase != Phase::Open; });
    if (refused->has_value() && !(*refused)->isEmpty())
        throw SettingsRefused(refusal(**refused));
}

void NetworkSerialControl::setHandshaking(qint32 mode) {
    checkHandshaking(mode);
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
        throw SerialError(refusal(QStringLiteral("the flow control %1").arg(mode)));
}

void NetworkSerialControl::setPortOpen(bool open) {
    if (!open) {
        if (m_phase == Phase::Closed)
            return;
        const bool keep = m_phase == Phase::Open;
        m_phase = Phase::Closed;
        m_awaiting.clear();
        m_retry.stop();
        m_giveUp.stop();
        m_link->dropReceived();
        // Setting a port up closes it and opens it again at once: that goes on with this
        // connection.
        if (keep)
            m_letGo.start(kKeepMs);
        else
            letGo();
        return;
    }
    // Already open, or trying to be: nothing more to start.
    if (m_phase != Phase::Closed)
        return;
    const std::optional<NetworkAddress> kept = m_letGo.isActive() ? m_address : std::nullopt;
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
    m_opening = true;
    if (kept && kept == m_address) {
        m_letGo.stop();
        m_link->dropReceived();
        m_giveUp.start(kConnectTimeoutMs);
        connected();
    } else {
        // Connecting drops the connection kept.
        m_letGo.stop();
        startAttempt();
    }
    waitFor([this] { return m_phase == Phase::Open || m_phase == Phase::Retrying; });
    m_opening = false;
    if (m_phase == Phase::Open && !m_openRefusal.isEmpty())
        throw SettingsRefused(std::exchange(m_openRefusal, {}));
}

void NetworkSerialControl::letGo() {
    m_letGo.stop();
    ++m_attempt;
    m_lines = LineSnapshot{};
    m_link->disconnect();
}

void NetworkSerialControl::startAttempt() {
    m_phase = Phase::Connecting;
    m_link->connect(++m_attempt, *m_address);
    m_giveUp.start(kConnectTimeoutMs);
}

void NetworkSerialControl::connected() {
    if (!isRfc2217()) {
        m_inForce = m_settings;
        becomeOpen();
        return;
    }
    m_phase = Phase::Negotiating;
    negotiate();
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
            m_openRefusal =
                refusal(QStringLiteral("%1; it keeps %2").arg(refused, m_settings.toString()));
    }
    becomeOpen();
}

void NetworkSerialControl::becomeOpen() {
    m_giveUp.stop();
    m_retries = 0;
    m_lastProblem.clear();
    m_phase = Phase::Open;
    if (!m_opening)
        reportLater([this] {
            if (PortOpen())
                emit portOpened();
        });
}

void NetworkSerialControl::failed(const QString& reason, bool linkClosedIt) {
    if (m_phase == Phase::Closed && m_letGo.isActive())
        letGo();
    if (m_phase == Phase::Closed || m_phase == Phase::Retrying)
        return;
    const bool wasOpen = m_phase == Phase::Open;
    m_phase = Phase::Retrying;
    ++m_attempt;
    m_awaiting.clear();
    m_giveUp.stop();
    m_lines = LineSnapshot{};
    // What came before the connection dropped stays for readBytes. A connection the link saw
    // fail is closed already: telling it again would wake its thread once more every retry.
    if (!linkClosedIt)
        m_link->disconnect();
    if (wasOpen)
        m_retries = 0;
    // On the tick's marks: a port retrying for long costs few wake-ups of its own.
    const int backOff = std::min(kFirstRetryMs << std::min(m_retries++, 5), kMostRetryMs);
    m_retry.startAt(tickMarks::atOrAfter(tickMarks::monotonicMs() + backOff));
    // Each new trouble is told once, not every retry.
    const QString problem = QStringLiteral("%1: %2").arg(label(), reason);
    if (wasOpen || problem != m_lastProblem) {
        m_lastProblem = problem;
        reportLost(problem);
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
        if (m_phase == Phase::Connecting)
            connected();
        return;
    case LinkEvent::Failed:
        failed(event.reason, true);
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
    for (const qint16 code : codes)
        reportLineEvent(code);
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
    // A connection kept while closed is not heard.
    return m_link && m_phase != Phase::Closed ? m_link->takeReceived() : QByteArray();
}

qint64 NetworkSerialControl::bytesToSend() const {
    return PortOpen() ? m_link->unsent() : 0;
}

bool NetworkSerialControl::waitFor(const std::function<bool()>& reached) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kWaitMs);
    processEvents();
    while (!reached() && m_link->waitForEvent(deadline))
        processEvents();
    return reached();
}

#include "moc_NetworkSerialControl.cpp"
