#include <QTest>

class NetworkPortTest : public QObject {
    Q_OBJECT
};

QTEST_MAIN(NetworkPortTest)
#include "test_network_port.moc"
