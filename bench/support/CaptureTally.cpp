#include "CaptureTally.h"

#include "Report.h"

#include "capture/CaptureReader.h"
#include "terminal/CaptureSwitch.h"

#include <QFileInfo>

CaptureTally::CaptureTally(CaptureSwitch& capture) {
    connect(&capture, &CaptureSwitch::switched, this, [this](bool on, const QString& fileName) {
        if (on && !m_files.contains(fileName))
            m_files << fileName;
    });
}

bool CaptureTally::count() {
    m_received.fill(0);
    m_transmitted.fill(0);
    m_fileBytes = 0;
    m_problem.clear();
    for (const QString& name : m_files) {
        m_fileBytes += QFileInfo(name).size();
        CaptureReader reader(name);
        CaptureRecord record;
        while (reader.next(record)) {
            const int port = record.entry.port;
            if (port < 0 || port > 1)
                continue;
            if (record.entry.event == RtacSerial::Event::DataReceived)
                m_received[size_t(port)] += record.entry.bytes.size();
            else if (record.entry.event == RtacSerial::Event::DataTransmitted)
                m_transmitted[size_t(port)] += record.entry.bytes.size();
        }
        if (!reader.problem().isEmpty()) {
            m_problem = QFileInfo(name).fileName() + QStringLiteral(": ") + reader.problem();
            return false;
        }
    }
    if (m_files.isEmpty())
        m_problem = QStringLiteral("no file was written");
    return !m_files.isEmpty();
}

QString CaptureTally::perPort() const {
    const auto mb = [](qint64 bytes) {
        return bench::fixed(double(bytes) / 1e6, 1);
    };
    return QStringLiteral("port 1 in/out %1/%2, port 2 in/out %3/%4 MB")
        .arg(mb(received(0)), mb(transmitted(0)), mb(received(1)), mb(transmitted(1)));
}
