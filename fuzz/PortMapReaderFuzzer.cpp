// libFuzzer target for the port map reader: any content gives at most the few named problems
// and a count, only ports 1 to 16 with devices as a line can hold them, the same map from the
// file as from its content, and a map that, written out again, reads back unchanged and clean.

#include "serial/PortDevice.h"
#include "serial/PortMap.h"

#include <QFile>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

void check(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "port map reader: %s\n", what);
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray content(reinterpret_cast<const char*>(data), qsizetype(size));
    const PortMap map = parsePortMap(content);
    check(map.problems.size() <= kPortMapProblemsNamed + 1, "too many problems named");
    QByteArray written;
    for (auto entry = map.devices.cbegin(); entry != map.devices.cend(); ++entry) {
        check(entry.key() >= kFirstPort && entry.key() <= kLastPort, "a port out of range");
        const QString& device = *entry;
        check(!device.isEmpty() && device == device.trimmed(), "a device empty or not trimmed");
        for (const QChar c : device)
            check(c.unicode() >= 0x20 && c.unicode() != 0x7F, "a control character kept");
        written += "COM" + QByteArray::number(entry.key()) + '=' + device.toUtf8() + '\n';
    }
    const PortMap again = parsePortMap(written);
    check(again.devices == map.devices, "the map written out reads back changed");
    check(again.problems.isEmpty(), "the map written out has problems");

    static QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Duplink ports.ini"));
    {
        QFile file(path);
        check(file.open(QIODevice::WriteOnly | QIODevice::Truncate), "cannot write the input");
        file.write(content);
    }
    check(readPortMap(path).devices == map.devices, "the file reads other than its content");
    return 0;
}
