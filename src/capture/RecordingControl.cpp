#include "RecordingControl.h"

#include "serial/PortDevice.h"

#include <utility>

using RtacSerial::Event;

namespace {

// The driver's reports of a fault on the line, as a reader of the record knows them.
const std::pair<qint16, Event> faults[] = {
    {comEventBreak, Event::Break},          {comEventFrame, Event::FramingError},
    {comEventRxParity, Event::ParityError}, {comEventOverrun, Event::Overrun},
    {comEventRxOver, Event::Overrun},
};

} // namespace

RecordingControl::RecordingControl(std::unique_ptr<SerialControl> inner, QObject* parent)
    : SerialControl(parent), m_inner(std::move(inner)) {
    // The inner control signals from the event loop, so these come after the call as well.
    connect(m_inner.get(), &SerialControl::OnComm, this, [this] {
        if (m_session)
            recordCommEvent();
        emit OnComm();
    });
    connect(m_inner.get(), &SerialControl::portLost, this, [this](const QString& reason) {
        m_lost = true;
        m_commands.clear();
        if (m_session)
            record(Event::StatusChange, lines(), {}, QStringLiteral("lost: ") + reason);
        emit portLost(reason);
    });
    connect(m_inner.get(), &SerialControl::portOpened, this, [this] {
        if (m_session)
            recordOpenChange(false);
        emit portOpened();
    });
}

RecordingControl::~RecordingControl() = default;

void RecordingControl::setSession(CaptureSession* session, int port) {
    if (m_session)
        disconnect(m_session, nullptr, this, nullptr);
    m_session = session;
    m_port = port;
    m_commands.clear();
    if (!session)
        return;
    connect(session, &CaptureSession::started, this, &RecordingControl::recordStart);
    if (session->isRecording())
        recordStart();
}

void RecordingControl::recordStart() {
    record(Event::StatusChange, lines(), {},
           PortOpen() ? QStringLiteral("open ") + deviceAndSettings() : QStringLiteral("closed"));
}

quint8 RecordingControl::lines() const {
    if (!m_inner->PortOpen())
        return 0;
    LineSnapshot inputs;
    inputs.cts = m_inner->CTSHolding();
    inputs.dsr = m_inner->DSRHolding();
    inputs.dcd = m_inner->CDHolding();
    return RtacSerial::lineState(inputs, m_inner->RTSEnable(), m_inner->DTREnable());
}

qint64 RecordingControl::record(Event event, quint8 lines, const QByteArray& bytes,
                                const QString& comment) const {
    m_recordedLines = lines;
    return m_session->append(m_port, event, lines, bytes, comment);
}

void RecordingControl::recordRemarks(const QStringList& remarks, quint8 lines) const {
    for (const QString& remark : remarks)
        record(Event::StatusChange, lines, {}, remark);
}

quint8 RecordingControl::recordLineChange() const {
    const quint8 now = lines();
    if (now != m_recordedLines)
        record(Event::StatusChange, now);
    return now;
}

QString RecordingControl::deviceAndSettings() const {
    return deviceForPort(CommPort()) + ' ' + Settings();
}

void RecordingControl::recordOpenChange(bool wasOpen) {
    const bool open = m_inner->PortOpen();
    if (open == wasOpen)
        return;
    m_commands.clear();
    QString comment = QStringLiteral("closed");
    if (open)
        comment = (std::exchange(m_lost, false) ? QStringLiteral("reopened ")
                                                : QStringLiteral("opened ")) +
                  deviceAndSettings();
    record(Event::StatusChange, lines(), {}, comment);
}

void RecordingControl::recordCommEvent() {
    const qint16 code = m_inner->CommEvent();
    if (code >= comEvCTS && code <= comEvRing) {
        // A ring is over by the time it is reported: the record marks it on its own entry.
        record(Event::StatusChange, lines() | (code == comEvRing ? RtacSerial::Line::ring : 0));
        m_recordedLines = lines();
    } else {
        for (const auto& [fault, event] : faults)
            if (code == fault)
                record(event, lines());
    }
}

void RecordingControl::setSettings(const QString& settings) {
    const QString before = Settings();
    m_inner->setSettings(settings);
    if (m_session && m_inner->PortOpen() && Settings() != before)
        record(Event::StatusChange, lines(), {}, QStringLiteral("settings ") + Settings());
}

void RecordingControl::setPortOpen(bool open) {
    if (!m_session)
        return m_inner->setPortOpen(open);
    const bool wasOpen = m_inner->PortOpen();
    try {
        m_inner->setPortOpen(open);
    } catch (...) {
        // A port can open and still refuse the settings: it is open with the old ones.
        recordOpenChange(wasOpen);
        throw;
    }
    recordOpenChange(wasOpen);
}

void RecordingControl::setRTSEnable(bool on) {
    m_inner->setRTSEnable(on);
    if (m_session)
        recordLineChange();
}

void RecordingControl::setDTREnable(bool on) {
    m_inner->setDTREnable(on);
    if (m_session)
        recordLineChange();
}

bool RecordingControl::CTSHolding() const {
    return m_session ? recordLineChange() & RtacSerial::Line::cts : m_inner->CTSHolding();
}

bool RecordingControl::DSRHolding() const {
    return m_session ? recordLineChange() & RtacSerial::Line::dsr : m_inner->DSRHolding();
}

bool RecordingControl::CDHolding() const {
    return m_session ? recordLineChange() & RtacSerial::Line::dcd : m_inner->CDHolding();
}

void RecordingControl::writeBytes(const QByteArray& bytes) {
    m_inner->writeBytes(bytes);
    // Bytes given to a closed port, or to one whose device went away taking them, never left.
    if (m_session && !bytes.isEmpty() && m_inner->PortOpen()) {
        const quint8 now = lines();
        recordRemarks(m_commands.written(bytes, record(Event::DataTransmitted, now, bytes)), now);
    }
}

QByteArray RecordingControl::readBytes() {
    QByteArray bytes = m_inner->readBytes();
    if (m_session) {
        const quint8 now = recordLineChange();
        if (!bytes.isEmpty())
            recordRemarks(m_commands.received(bytes, record(Event::DataReceived, now, bytes)), now);
    }
    return bytes;
}

#include "moc_RecordingControl.cpp"
