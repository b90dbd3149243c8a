#include "CaptureSession.h"

#include "CaptureFile.h"

#include "serial/PortDevice.h"

#include <QStringList>

CaptureSession::CaptureSession(QObject* parent) : QObject(parent) {}

CaptureSession::~CaptureSession() = default;

void CaptureSession::start(const QString& fileName, const QList<qint16>& portNumbers) {
    stop();
    QStringList names;
    for (qint16 port : portNumbers)
        names << portLabel(port);
    m_file = std::make_unique<CaptureFile>(fileName, names);
    connect(m_file.get(), &CaptureFile::failed, this, &CaptureSession::failed);
    m_lastLines.assign(size_t(names.size()), 0);
    emit started();
}

void CaptureSession::stop() {
    m_file.reset();
}

bool CaptureSession::isRecording() const {
    return m_file && !m_file->hasFailed();
}

QString CaptureSession::fileName() const {
    return m_file ? m_file->fileName() : QString();
}

qint64 CaptureSession::bytesWritten() const {
    return m_file ? m_file->bytesWritten() : 0;
}

qint64 CaptureSession::append(int port, RtacSerial::Event event, quint8 lines,
                              const QByteArray& bytes, const QString& comment) {
    const qint64 now = CaptureFile::microsecondsNow();
    if (!m_file || port < 0 || size_t(port) >= m_lastLines.size())
        return now;
    m_lastLines[size_t(port)] = lines;
    m_file->append({port, event, lines, bytes, comment, now});
    return now;
}

void CaptureSession::note(const QString& comment) {
    if (!m_lastLines.empty())
        append(0, RtacSerial::Event::StatusChange, m_lastLines.front(), {}, comment);
}

#include "moc_CaptureSession.cpp"
