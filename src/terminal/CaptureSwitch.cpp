#include "CaptureSwitch.h"

#include "Product.h"
#include "capture/RecordingControl.h"

#include <QDir>

namespace {

constexpr int newFileCheckMs = 1000;

} // namespace

CaptureSwitch::CaptureSwitch(Clock& clock, Seams seams, std::array<RecordingControl*, 2> ports,
                             QObject* parent)
    : QObject(parent), m_seams(std::move(seams)), m_ports(ports),
      m_newFileCheck(clock, newFileCheckMs, [this] { startNewFileWhenDue(); }) {
    connect(&m_session, &CaptureSession::failed, this, &CaptureSwitch::captureFailed);
}

CaptureSwitch::~CaptureSwitch() {
    stop();
}

bool CaptureSwitch::setOn(bool on) {
    if (on == m_on)
        return true;
    if (!on) {
        stop();
        emit switched(false, {});
        return true;
    }
    if (!startFile()) {
        emit switched(false, {});
        return false;
    }
    m_on = true;
    for (size_t i = 0; i < m_ports.size(); ++i)
        m_ports[i]->setSession(&m_session, int(i));
    m_newFileCheck.setEnabled(true);
    emit switched(true, fileName());
    return true;
}

void CaptureSwitch::note(const QString& comment) {
    if (m_on)
        m_session.note(comment);
}

bool CaptureSwitch::startFile() {
    // The file under way is closed first, so that it is on disk when the next one is named.
    m_session.stop();
    const QDateTime start = m_seams.now();
    QString problem;
    const QString name = m_naming ? m_naming(start, problem) : QString();
    if (name.isEmpty()) {
        m_seams.messageBox(kMessageTitle,
                           QStringLiteral("The capture cannot start: %1").arg(problem));
        return false;
    }
    m_fileDate = start.date();
    m_filePorts = {m_ports[0]->CommPort(), m_ports[1]->CommPort()};
    m_session.start(name, {m_filePorts[0], m_filePorts[1]});
    return true;
}

void CaptureSwitch::stop() {
    if (!m_on)
        return;
    m_on = false;
    m_newFileCheck.setEnabled(false);
    for (RecordingControl* port : m_ports)
        port->setSession(nullptr, 0);
    m_session.stop();
}

void CaptureSwitch::startNewFileWhenDue() {
    const bool renumbered =
        m_ports[0]->CommPort() != m_filePorts[0] || m_ports[1]->CommPort() != m_filePorts[1];
    if (m_seams.now().date() == m_fileDate && m_session.bytesWritten() < m_sizeLimit && !renumbered)
        return;
    m_session.note(QStringLiteral("continued in the next file"));
    if (startFile()) {
        emit switched(true, fileName());
    } else {
        stop();
        emit switched(false, {});
    }
}

void CaptureSwitch::captureFailed(QString fileName, QString reason) {
    if (!m_on || fileName != m_session.fileName())
        return;
    stop();
    emit switched(false, {});
    m_seams.messageBox(kMessageTitle, QStringLiteral("The capture into %1 has stopped: %2")
                                          .arg(QDir::toNativeSeparators(fileName), reason));
}

#include "moc_CaptureSwitch.cpp"
