#include "ChannelScript.h"

#include "ChannelView.h"
#include "CommandEditing.h"
#include "Product.h"
#include "TerminalChannel.h"
#include "chat/ChatRunner.h"
#include "serial/SerialControl.h"
#include "text/AnsiCodePage.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

ChannelScript::ChannelScript(TerminalChannel& ch, Clock& clock, const Seams& seams, QObject* parent)
    : QObject(parent), m_ch(ch), m_clock(clock), m_seams(seams),
      m_replyTyped(clock, 50, [this] { showSent(); }) {}

ChannelScript::~ChannelScript() = default;

bool ChannelScript::isRunning() const {
    return m_runner && m_runner->isRunning();
}

QString ChannelScript::refusal(bool transmitting) const {
    if (transmitting)
        return QStringLiteral("A script does not run in transmit mode.");
    if (isRunning())
        return QStringLiteral("A script is running on Terminal %1 already.").arg(m_ch.number);
    if (!m_ch.MSComm.PortOpen())
        return QStringLiteral("COM%1 is closed: a script runs on an open port.")
            .arg(m_ch.MSComm.CommPort());
    return {};
}

void ChannelScript::chooseAndRun(bool transmitting) {
    QString refused = refusal(transmitting);
    if (refused.isEmpty()) {
        const QString path =
            m_seams.chooseOpenFile(QStringLiteral("Run a script on Terminal %1").arg(m_ch.number));
        if (path.isEmpty())
            return;
        // The port may have gone while the user was choosing.
        refused = refusal(transmitting);
        if (refused.isEmpty())
            refused = run(path);
    }
    if (!refused.isEmpty())
        m_seams.messageBox(kMessageTitle, refused);
}

QString ChannelScript::run(const QString& path) {
    QFile file(path);
    const QByteArray text = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    const QString shownPath = QDir::toNativeSeparators(path);
    if (file.error() != QFileDevice::NoError)
        return QStringLiteral("The script %1 could not be read: %2")
            .arg(shownPath, file.errorString());
    const ChatScriptReading reading = readChatScript(text);
    if (!reading.accepted())
        return QStringLiteral("The script %1 is refused: %2").arg(shownPath, reading.refusal);

    m_name = ansi::encode(QFileInfo(path).fileName());
    m_unshown.clear();
    m_held.clear();
    ChatLine line;
    line.write = [this](const QByteArray& bytes) {
        m_ch.MSComm.writeBytes(bytes);
    };
    m_runner = std::make_unique<ChatRunner>(m_clock, reading.script, ChatOptions(), line);
    connect(m_runner.get(), &ChatRunner::sent, this, &ChannelScript::sent);
    connect(m_runner.get(), &ChatRunner::said, this, &ChannelScript::logLine);
    connect(m_runner.get(), &ChatRunner::reported, this, &ChannelScript::logLine);
    connect(m_runner.get(), &ChatRunner::finished, this, &ChannelScript::finished);
    m_ch.view.showScriptRunning(true);
    m_runner->start();
    return {};
}

void ChannelScript::received(const QByteArray& logged, const QByteArray& bytes) {
    if (m_unshown.isEmpty())
        m_ch.view.appendToLog(logged);
    else
        m_held += logged;
    if (isRunning())
        m_runner->received(bytes);
}

void ChannelScript::portClosed(const QString& reason) {
    if (isRunning())
        m_runner->lineLost(reason);
}

void ChannelScript::stop() {
    if (isRunning())
        m_runner->stop();
}

void ChannelScript::sent(const QByteArray& bytes) {
    m_unshown += bytes;
    m_replyTyped.setEnabled(false);
    // A carriage return ends a command line: its echo need not wait.
    if (bytes.endsWith('\r'))
        showSent();
    else
        m_replyTyped.setEnabled(true);
}

void ChannelScript::showSent() {
    m_replyTyped.setEnabled(false);
    if (!m_unshown.isEmpty()) {
        const bool ended = m_unshown.endsWith('\r');
        echoCommand(m_ch, ended ? m_unshown.chopped(1) : m_unshown,
                    ended ? QByteArray("\r") : QByteArray());
        m_unshown.clear();
    }
    if (!m_held.isEmpty()) {
        m_ch.view.appendToLog(m_held);
        m_held.clear();
    }
}

void ChannelScript::finished(int exitCode, const QString& reason) {
    QByteArray outcome = m_name + " ended: " + QByteArray::number(exitCode);
    if (!reason.isEmpty())
        outcome += ", " + ansi::encode(reason);
    logLine(outcome);
    m_ch.view.showScriptRunning(false);
}

void ChannelScript::logLine(const QByteArray& text) {
    showSent();
    QByteArray line = text;
    while (line.endsWith('\r') || line.endsWith('\n'))
        line.chop(1);
    m_ch.view.appendToLog("\r\nPROG: " + line + "\r\n");
}

#include "moc_ChannelScript.cpp"
