#include <QTest>

class LogViewTest : public QObject {
    Q_OBJECT
};

QTEST_MAIN(LogViewTest)
#include "test_log_view.moc"
