#include "DuplinkProcess.h"

#include <QDir>
#include <QFile>
#include <QTest>

// The real program, started as a user starts it, against the simulated modems.
class EndToEndTest : public QObject {
    Q_OBJECT
private slots:
    void opensBothPortsAndEndsOnASignalSaving();
    void aSignalEndsAStartUpMessage();
    void aSignalEndsTheProgramWhenTheSaveFails();
};

void EndToEndTest::opensBothPortsAndEndsOnASignalSaving() {
    DuplinkProcess duplink;
    QVERIFY(duplink.simulator().isRunning());
    QVERIFY(duplink.start());
    QVERIFY(duplink.waitUntilHolding(duplink.simulator().device(1)));
    QVERIFY(duplink.waitUntilHolding(duplink.simulator().device(2)));
    QCOMPARE(QFileInfo(duplink.settingsFile()).size(), 11500);
    QVERIFY(QFile::remove(duplink.settingsFile()));
    QCOMPARE(duplink.terminate(), 0);
    QCOMPARE(QFileInfo(duplink.settingsFile()).size(), 11500);
}

void EndToEndTest::aSignalEndsAStartUpMessage() {
    // Port 1 is missing: start-up shows its message and waits, before port 2 is opened.
    DuplinkProcess duplink;
    QVERIFY(duplink.simulator().isRunning());
    duplink.setPortDevice(1, QStringLiteral("/dev/duplink-no-such-device"));
    QVERIFY(duplink.start());
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(duplink.settingsFile()), 10000);
    QTest::qWait(500);
    QVERIFY(!duplink.isHolding(duplink.simulator().device(2)));
    QVERIFY(QFile::remove(duplink.settingsFile()));
    QCOMPARE(duplink.terminate(), 0);
    QCOMPARE(QFileInfo(duplink.settingsFile()).size(), 11500);
}

void EndToEndTest::aSignalEndsTheProgramWhenTheSaveFails() {
    DuplinkProcess duplink;
    QVERIFY(duplink.simulator().isRunning());
    QVERIFY(duplink.start());
    QVERIFY(duplink.waitUntilHolding(duplink.simulator().device(2)));
    // A folder where the file should be: the save at shutdown cannot replace it.
    QVERIFY(QFile::remove(duplink.settingsFile()));
    QVERIFY(QDir().mkdir(duplink.settingsFile()));
    QCOMPARE(duplink.terminate(), 0);
    const QByteArray errors = duplink.errorOutput();
    QVERIFY2(errors.contains("The settings cannot be saved"), errors.constData());
}

QTEST_GUILESS_MAIN(EndToEndTest)
#include "test_end_to_end.moc"
