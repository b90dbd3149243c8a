#include "app/SettingsFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QtEndian>

#include <csignal>
#include <cstring>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

const QDateTime kNow(QDate(2026, 12, 5), QTime(14, 3, 9));

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeAll(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(f.write(bytes), bytes.size());
}

QByteArray record(const QByteArray& file, int n) {
    return file.mid((n - 1) * kRecordLength, kRecordLength);
}

qint16 integerOf(const QByteArray& rec) {
    return qint16(qFromLittleEndian<quint16>(rec.constData()));
}

} // namespace

class SettingsFileTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void defaultsFileByteForByte();
    void longTextsRoundTripOrAreCut();
    void whatThisVersionDoesNotUseIsWrittenBack();
    void whatIsNoSettingsFileOfThisVersionIsKeptAside();
    void aSaveKeepsTheLinkTheOwnerAndTheMode();
    void truncatedFileKeepsWhatItHas();
    void aFullDiskLeavesTheOldFileWhole();
    void aHugeFileIsNeitherReadNorCopied();
    void foldersThatAreThereAndThatTheRecordCanHold();
    void aKillWhileSavingLeavesAWholeFile();

private:
    SettingsRecord defaults() const {
        SettingsRecord r;
        ResetSettings(r, m_folder, kNow);
        return r;
    }

    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_folder;
    QString m_file;
};

void SettingsFileTest::init() {
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_folder = m_dir->path() + QDir::separator();
    m_file = m_folder + settingsFileName();
    QFile::remove(m_file);
}

void SettingsFileTest::defaultsFileByteForByte() {
    // The seed file of the loader's fuzzer is a defaults file made with this folder and time.
    QFile golden(QStringLiteral(SETTINGS_CORPUS "/defaults"));
    QVERIFY(golden.open(QIODevice::ReadOnly));
    SettingsRecord r;
    ResetSettings(r, QStringLiteral("/home/user/.local/share/Duplink v.2.1/"), kNow);
    QVERIFY(SaveSettings(r, m_file).ok);
    QCOMPARE(readAll(m_file), golden.readAll());
}

void SettingsFileTest::longTextsRoundTripOrAreCut() {
    SettingsRecord r = defaults();
    r.ResultsFolder = QString(199, QLatin1Char('x')) + QDir::separator();
    r.ResultsFolder[3] = QChar(0x0416); // a Cyrillic letter survives too
    r.Channel[0].Port = QString(600, QLatin1Char('7'));
    QVERIFY(SaveSettings(r, m_file).ok);
    QCOMPARE(readAll(m_file).size(), 11500);
    SettingsRecord back;
    QVERIFY(!LoadSettings(back, m_file, m_folder, kNow).recovered);
    QCOMPARE(back.ResultsFolder, r.ResultsFolder);
    QCOMPARE(back.Channel[0].Port, QString(498, QLatin1Char('7')));
    QCOMPARE(back.Channel[0].SettingsText, QStringLiteral("9600,n,8,1"));
}

void SettingsFileTest::whatThisVersionDoesNotUseIsWrittenBack() {
    // Reserved values and bytes past the last record, kept by another version of the program.
    QVERIFY(SaveSettings(defaults(), m_file).ok);
    const QByteArray tail("kept by another version of the program");
    QByteArray file = readAll(m_file) + tail;
    file[6 * kRecordLength] = 1;
    file[7 * kRecordLength] = 37;
    writeAll(m_file, file);

    SettingsRecord back;
    LoadSettings(back, m_file, m_folder, kNow);
    back.Language = 1;
    QVERIFY(SaveSettings(back, m_file).ok);
    file = readAll(m_file);
    QCOMPARE(file.size(), 11500 + tail.size());
    QVERIFY(file.endsWith(tail));
    QCOMPARE(integerOf(record(file, 7)), qint16(1));
    QCOMPARE(integerOf(record(file, 8)), qint16(37));
    QCOMPARE(integerOf(record(file, 9)), qint16(1));
    // The timeline window alone reads the language and leaves the file as it is.
    QCOMPARE(storedLanguage(m_file), qint16(1));
    QCOMPARE(readAll(m_file), file);
    // Nothing but the settings file is left in the folder.
    QCOMPARE(QDir(m_folder).entryList(QDir::Files), QStringList{settingsFileName()});
}

void SettingsFileTest::whatIsNoSettingsFileOfThisVersionIsKeptAside() {
    SettingsRecord r = defaults();
    r.Language = 1;
    QByteArray oversized = encodeSettings(r);
    oversized[11 * kRecordLength] = char(0x58);
    oversized[11 * kRecordLength + 1] = char(0x02); // a text length of 600
    r.ProductVersion = QStringLiteral("v.2.0");
    // A file longer than the records would have its start overwritten in place.
    const QByteArray zeros(20000, '\0');
    const SettingsRecord fresh = defaults();
    int n = 0;
    for (const QByteArray& old : {oversized, encodeSettings(r), zeros, QByteArray("\x07")}) {
        writeAll(m_file, old);
        SettingsRecord back;
        const LoadOutcome loaded = LoadSettings(back, m_file, m_folder, kNow);
        QVERIFY(loaded.recovered && loaded.unreadable.isEmpty() && loaded.save.ok);
        QCOMPARE(encodeSettings(back), encodeSettings(fresh));
        QCOMPARE(readAll(m_file), encodeSettings(fresh));
        QCOMPARE(loaded.backup, m_file + (++n == 1 ? QString(".bak") : QString(".bak%1").arg(n)));
        QCOMPARE(readAll(loaded.backup), old);
    }

    // A link to something else is moved aside whole; what it leads to is left as it was.
    const QString notes = m_folder + QStringLiteral("notes");
    writeAll(notes, zeros);
    QVERIFY(QFile::remove(m_file) && QFile::link(notes, m_file));
    SettingsRecord back;
    const LoadOutcome loaded = LoadSettings(back, m_file, m_folder, kNow);
    QVERIFY(loaded.recovered);
    QCOMPARE(QFileInfo(loaded.backup).symLinkTarget(), notes);
    QCOMPARE(readAll(notes), zeros);
    QCOMPARE(readAll(m_file), encodeSettings(fresh));
}

void SettingsFileTest::aSaveKeepsTheLinkTheOwnerAndTheMode() {
    const QString real = m_folder + QStringLiteral("elsewhere.eng");
    SettingsRecord r = defaults();
    QVERIFY(SaveSettings(r, real).ok);
    QVERIFY(QFile::link(real, m_file));
    const QByteArray name = QFile::encodeName(real);
    QCOMPARE(::chmod(name.constData(), 0644), 0);
    const bool root = ::geteuid() == 0;
    if (root)
        QCOMPARE(::chown(name.constData(), 4321, 4321), 0);

    QVERIFY(!LoadSettings(r, m_file, m_folder, kNow).recovered);
    r.Language = 1;
    QVERIFY(SaveSettings(r, m_file).ok);
    QVERIFY(QFileInfo(m_file).isSymLink());
    QCOMPARE(readAll(real), encodeSettings(r));
    struct stat status {};
    QCOMPARE(::stat(name.constData(), &status), 0);
    QCOMPARE(status.st_mode & 07777, mode_t(0644));
    if (root)
        QCOMPARE(status.st_uid, uid_t(4321));
}

void SettingsFileTest::truncatedFileKeepsWhatItHas() {
    SettingsRecord r = defaults();
    r.ResultsFolder = QStringLiteral("/srv/results/");
    r.Language = 1;
    r.Channel[0].Port = QStringLiteral("5");
    r.Channel[1].Port = QStringLiteral("9");
    QVERIFY(SaveSettings(r, m_file).ok);
    // Cut inside record 17: records 1 to 16 are whole, record 17 and later are missing.
    writeAll(m_file, readAll(m_file).left(16 * kRecordLength + 1));

    SettingsRecord back;
    const LoadOutcome loaded = LoadSettings(back, m_file, m_folder, kNow);
    QVERIFY(!loaded.recovered);
    QCOMPARE(back.ResultsFolder, QStringLiteral("/srv/results/"));
    QCOMPARE(back.Language, qint16(1));
    QCOMPARE(back.Channel[0].Port, QStringLiteral("5"));
    QCOMPARE(back.Channel[1].Port, QStringLiteral("2"));
    QCOMPARE(back.Channel[1].SettingsText, QStringLiteral("9600,n,8,1"));
    QCOMPARE(back.Channel[1].Flow, QStringLiteral("0"));

    writeAll(m_file, QByteArray());
    SettingsRecord empty;
    QVERIFY(!LoadSettings(empty, m_file, m_folder, kNow).recovered);
    QCOMPARE(empty.ProductName, QStringLiteral("Duplink"));
    QCOMPARE(empty.Channel[0].Port, QStringLiteral("1"));
}

void SettingsFileTest::aFullDiskLeavesTheOldFileWhole() {
    SettingsRecord r = defaults();
    QVERIFY(SaveSettings(r, m_file).ok);
    const QByteArray before = readAll(m_file);
    // A file size limit plays the full disk: the first write stops at 4096 bytes, the next fails.
    rlimit old{};
    QCOMPARE(::getrlimit(RLIMIT_FSIZE, &old), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = old;
    small.rlim_cur = 4096;
    QCOMPARE(::setrlimit(RLIMIT_FSIZE, &small), 0);
    r.Language = 1;
    const FileOutcome outcome = SaveSettings(r, m_file);
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);

    QVERIFY(!outcome.ok);
    QVERIFY2(outcome.error.startsWith(m_file + QStringLiteral(": ")), qPrintable(outcome.error));
    QCOMPARE(readAll(m_file), before);
    QCOMPARE(QDir(m_folder).entryList(QDir::Files), QStringList{settingsFileName()});
}

void SettingsFileTest::aHugeFileIsNeitherReadNorCopied() {
    QVERIFY(SaveSettings(defaults(), m_file).ok);
    const qint64 size = qint64(1) << 30; // sparse: takes no room on disk
    QVERIFY(QFile::resize(m_file, size));
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    const long peakBefore = usage.ru_maxrss;

    SettingsRecord back;
    QVERIFY(!LoadSettings(back, m_file, m_folder, kNow).recovered);
    back.Language = 1;
    QVERIFY(SaveSettings(back, m_file).ok);
    ::getrusage(RUSAGE_SELF, &usage);
    QVERIFY2(usage.ru_maxrss - peakBefore < 64 * 1024,
             qPrintable(QStringLiteral("peak grew by %1 KiB").arg(usage.ru_maxrss - peakBefore)));
    QCOMPARE(QFileInfo(m_file).size(), size);
    QFile file(m_file);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(integerOf(record(file.read(11500), 9)), qint16(1));
}

void SettingsFileTest::foldersThatAreThereAndThatTheRecordCanHold() {
    writeAll(m_file, "x");
    QVERIFY(PathExists(m_folder));
    QVERIFY(PathExists(m_file));
    QVERIFY(!PathExists(m_file + QDir::separator()));
    QVERIFY(!PathExists(m_folder + QStringLiteral("missing")));
    QVERIFY(!PathExists(QString()));
    const QString cyrillic = QStringLiteral("/home/Иван/");
    QCOMPARE(storableFolder(cyrillic), cyrillic);
    QCOMPARE(storableFolder(QStringLiteral("/home/jürgen/")), QString());
    QCOMPARE(storableFolder(QStringLiteral("/中/")), QString());
    QCOMPARE(storableFolder(QString(kMaxTextBytes + 1, QLatin1Char('x'))), QString());
}

void SettingsFileTest::aKillWhileSavingLeavesAWholeFile() {
    const SettingsRecord first = defaults();
    SettingsRecord second = first;
    second.Language = 1;
    second.ResultsFolder = QString(400, QLatin1Char('r'));
    QVERIFY(SaveSettings(first, m_file).ok);
    for (int round = 0; round < 20; ++round) {
        const pid_t saver = ::fork();
        if (saver == 0) {
            for (int i = 0;; ++i)
                SaveSettings(i % 2 ? first : second, m_file);
        }
        QThread::usleep(500 + 250 * unsigned(round));
        ::kill(saver, SIGKILL);
        ::waitpid(saver, nullptr, 0);
        SettingsRecord back;
        QVERIFY(!LoadSettings(back, m_file, m_folder, kNow).recovered);
        const QByteArray found = encodeSettings(back);
        QVERIFY(found == encodeSettings(first) || found == encodeSettings(second));
        QCOMPARE(readAll(m_file).size(), 11500);
    }
}

QTEST_APPLESS_MAIN(SettingsFileTest)
#include "test_settings_file.moc"
