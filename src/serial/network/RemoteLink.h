#pragma once

#include "GensioLoop.h"
#include "NetworkAddress.h"
#include "RemoteAnswers.h"

#include <QByteArray>
#include <QString>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <set>

struct gensio;
struct sergensio;

// What the link reports, in the order it happened.
struct LinkEvent {
    enum Kind { Connected, Failed, Answered, ModemState };
    Kind kind = Failed;
    quint64 attempt = 0;
    // Failed: why. Answered: why there is no answer.
    QString reason;
    quint64 request = 0;
    std::optional<LineRequest> answer;
    bool cts = false;
    bool dsr = false;
    bool dcd = false;
    bool ri = false;
    // The server saw RI go off (a ring ended), whatever RI reads now.
    bool ringEnded = false;
};

// One connection at a time to a network port, through gensio on a thread of its own. Called
// from the control's thread; what happens there comes back as events.
class RemoteLink {
public:
    // `notify` runs on the link's thread when an event arrives after the control found none
    // waiting; it must hand over to the control's thread.
    explicit RemoteLink(std::function<void()> notify);
    ~RemoteLink();
    RemoteLink(const RemoteLink&) = delete;
    RemoteLink& operator=(const RemoteLink&) = delete;

    // Empty when the link can work.
    QString problem() const { return m_loop.problem(); }

    // Drops any connection, with what was not sent yet, and starts one: Connected or Failed
    // follows, with `attempt`. A connection reported Failed is closed already.
    void connect(quint64 attempt, const NetworkAddress& address);
    void disconnect();
    // Answered follows, with `request`.
    void applyLine(quint64 request, const LineRequest& line);
    // RTS is left as it is when not given.
    void setOutputLines(std::optional<bool> rts, bool dtr);

    // Sent in order once connected.
    void write(const QByteArray& bytes);
    qint64 unsent() const;
    QByteArray takeReceived();
    void dropReceived();

    std::optional<LinkEvent> nextEvent();
    // Whether an event is waiting by `deadline`.
    bool waitForEvent(std::chrono::steady_clock::time_point deadline);

    // What is held of what the server sent until it is taken; past this the server is held
    // back.
    static constexpr qint64 kReadBufferBytes = 4 * 1024 * 1024;

private:
    using Field = LineCodes::Field;

    // On the link's thread.
    void open(quint64 attempt, const NetworkAddress& address);
    // A dead connection is closed at once, a live one once its requests are answered or have
    // timed out.
    void close(bool dead = false);
    void retired(gensio* io);
    void closeNow(gensio* io);
    void fail(const QString& reason);
    void ask(quint64 request, const LineRequest& line);
    void askNext();
    void answer(sergensio* sio, Field field, int err, unsigned value);
    void reportAnswered();
    void sendUnsent();
    void resumeReading();
    int received(int err, const unsigned char* bytes, unsigned long* length);
    void push(LinkEvent event);

    static int onEvent(gensio* io, void* self, int event, int err, unsigned char* buf,
                       unsigned long* buflen, const char* const* auxdata);
    static void onOpened(gensio* io, int err, void* self);
    static void onClosed(gensio* io, void* self);
    template <LineCodes::Field field>
    static void onAnswer(sergensio* sio, int err, unsigned value, void* self);

    std::function<void()> m_notify;

    mutable std::mutex m_mutex;
    std::condition_variable m_arrived;
    std::deque<LinkEvent> m_events;
    bool m_notified = false;
    QByteArray m_received;
    bool m_readingPaused = false;
    QByteArray m_unsent;
    bool m_sendPosted = false;

    // The link's thread only.
    gensio* m_io = nullptr;
    sergensio* m_sio = nullptr;
    bool m_up = false;
    quint64 m_attempt = 0;
    RemoteAnswers m_answers;
    // Requests each connection has not answered yet.
    std::map<gensio*, int> m_unanswered;
    // Closed by the control, waiting for those answers or their time-outs.
    std::set<gensio*> m_retiring;

    // Last, so that its thread stops before anything above goes.
    GensioLoop m_loop;
};
