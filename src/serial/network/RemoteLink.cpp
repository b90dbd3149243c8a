#include "RemoteLink.h"

#include <gensio/gensio.h>
#include <gensio/sergensio.h>

#include <algorithm>

namespace {

constexpr int kLastAnswersMs = 500;

QString errorText(int err) {
    return QString::fromUtf8(gensio_err_to_str(err));
}

QString noSettings() {
    return QStringLiteral("The server takes no serial settings (no RFC 2217)");
}

} // namespace

RemoteLink::RemoteLink(std::function<void()> notify) : m_notify(std::move(notify)) {}

RemoteLink::~RemoteLink() {
    // Answers in flight get a moment; what is still unanswered then is lost.
    m_loop.post([this] {
        m_notify = nullptr;
        close();
        m_loop.after(kLastAnswersMs, [this] {
            for (gensio* io : std::exchange(m_retiring, {}))
                closeNow(io);
        });
    });
}

void RemoteLink::connect(quint64 attempt, const NetworkAddress& address) {
    m_loop.post([this, attempt, address] { open(attempt, address); });
}

void RemoteLink::disconnect() {
    m_loop.post([this] { close(); });
}

void RemoteLink::applyLine(quint64 request, const LineRequest& line) {
    m_loop.post([this, request, line] { ask(request, line); });
}

void RemoteLink::setOutputLines(std::optional<bool> rts, bool dtr) {
    m_loop.post([this, rts, dtr] {
        if (!m_sio)
            return;
        sergensio_dtr(m_sio, dtr ? SERGENSIO_DTR_ON : SERGENSIO_DTR_OFF, nullptr, nullptr);
        if (rts)
            sergensio_rts(m_sio, *rts ? SERGENSIO_RTS_ON : SERGENSIO_RTS_OFF, nullptr, nullptr);
    });
}

void RemoteLink::write(const QByteArray& bytes) {
    bool post = false;
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_unsent += bytes;
        post = !m_sendPosted;
        m_sendPosted = true;
    }
    if (post)
        m_loop.post([this] { sendUnsent(); });
}

qint64 RemoteLink::unsent() const {
    const std::lock_guard<std::mutex> lock(m_mutex);
    return m_unsent.size();
}

QByteArray RemoteLink::takeReceived() {
    QByteArray taken;
    bool resume = false;
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        taken.swap(m_received);
        resume = std::exchange(m_readingPaused, false);
    }
    if (resume)
        m_loop.post([this] { resumeReading(); });
    return taken;
}

void RemoteLink::dropReceived() {
    // After what is posted before, so that nothing of an earlier connection comes after it.
    m_loop.post([this] {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_received.clear();
        m_readingPaused = false;
    });
}

std::optional<LinkEvent> RemoteLink::nextEvent() {
    const std::lock_guard<std::mutex> lock(m_mutex);
    if (m_events.empty()) {
        m_notified = false;
        return std::nullopt;
    }
    LinkEvent event = std::move(m_events.front());
    m_events.pop_front();
    return event;
}

bool RemoteLink::waitForEvent(std::chrono::steady_clock::time_point deadline) {
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_arrived.wait_until(lock, deadline, [this] { return !m_events.empty(); });
}

void RemoteLink::push(LinkEvent event) {
    bool notify = false;
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_events.push_back(std::move(event));
        notify = !std::exchange(m_notified, true);
    }
    m_arrived.notify_all();
    if (notify && m_notify)
        m_notify();
}

void RemoteLink::open(quint64 attempt, const NetworkAddress& address) {
    close();
    m_attempt = attempt;
    gensio* io = nullptr;
    int err = str_to_gensio(address.gensioString().constData(), m_loop.os(), onEvent, this, &io);
    if (!err) {
        err = gensio_open(io, onOpened, this);
        if (err)
            gensio_free(io);
    }
    if (err) {
        fail(errorText(err));
        return;
    }
    m_io = io;
}

void RemoteLink::close(bool dead) {
    m_answers.clear();
    m_sio = nullptr;
    m_up = false;
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_unsent.clear();
    }
    gensio* io = std::exchange(m_io, nullptr);
    if (!io)
        return;
    m_loop.hold();
    // gensio frees what it keeps for a request once the request is answered or timed out
    // (after a few seconds), never when the connection closes: a connection closed with a
    // request unanswered stays until then. One that dropped can time nothing out any more.
    if (!dead && m_unanswered.count(io))
        m_retiring.insert(io);
    else
        closeNow(io);
}

void RemoteLink::retired(gensio* io) {
    if (m_retiring.erase(io))
        closeNow(io);
}

void RemoteLink::closeNow(gensio* io) {
    m_unanswered.erase(io);
    if (gensio_close(io, onClosed, this) != 0) {
        gensio_free(io);
        m_loop.release();
    }
}

void RemoteLink::fail(const QString& reason) {
    close(true);
    LinkEvent event;
    event.attempt = m_attempt;
    event.reason = reason;
    push(std::move(event));
}

void RemoteLink::onOpened(gensio* io, int err, void* self) {
    auto* link = static_cast<RemoteLink*>(self);
    if (io != link->m_io)
        return;
    if (err) {
        // A gensio whose open failed is closed already.
        link->m_io = nullptr;
        gensio_free(io);
        link->fail(errorText(err));
        return;
    }
    link->m_sio = gensio_to_sergensio(io);
    if (link->m_sio)
        sergensio_modemstate(link->m_sio,
                             SERGENSIO_MODEMSTATE_CTS_CHANGED | SERGENSIO_MODEMSTATE_DSR_CHANGED |
                                 SERGENSIO_MODEMSTATE_RI_CHANGED | SERGENSIO_MODEMSTATE_CD_CHANGED |
                                 SERGENSIO_MODEMSTATE_CTS | SERGENSIO_MODEMSTATE_DSR |
                                 SERGENSIO_MODEMSTATE_RI | SERGENSIO_MODEMSTATE_CD);
    link->m_up = true;
    gensio_set_read_callback_enable(io, true);
    LinkEvent event;
    event.kind = LinkEvent::Connected;
    event.attempt = link->m_attempt;
    link->push(std::move(event));
    link->sendUnsent();
}

void RemoteLink::onClosed(gensio* io, void* self) {
    gensio_free(io);
    static_cast<RemoteLink*>(self)->m_loop.release();
}

void RemoteLink::ask(quint64 request, const LineRequest& line) {
    QString failure;
    if (!m_sio)
        failure = m_up ? noSettings() : QStringLiteral("Not connected");
    m_answers.begin(request, LineCodes::of(line), failure);
    askNext();
    reportAnswered();
}

void RemoteLink::askNext() {
    using F = LineCodes;
    static const struct {
        int (*call)(sergensio*, unsigned, sergensio_done, void*);
        sergensio_done done;
    } calls[] = {
        {sergensio_baud, onAnswer<F::Speed>},
        {sergensio_datasize, onAnswer<F::DataBits>},
        {sergensio_parity, onAnswer<F::Parity>},
        {sergensio_stopbits, onAnswer<F::StopBits>},
        {sergensio_flowcontrol, onAnswer<F::OutFlow>},
        {sergensio_iflowcontrol, onAnswer<F::InFlow>},
    };
    while (m_sio) {
        const auto question = m_answers.next();
        if (!question)
            return;
        const auto& c = calls[question->field];
        const int err = c.call(m_sio, question->value, c.done, this);
        if (!err) {
            ++m_unanswered[m_io];
            return;
        }
        m_answers.fail(err == GE_NOTSUP ? noSettings() : errorText(err));
    }
}

template <LineCodes::Field field>
void RemoteLink::onAnswer(sergensio* sio, int err, unsigned value, void* self) {
    static_cast<RemoteLink*>(self)->answer(sio, field, err, value);
}

void RemoteLink::answer(sergensio* sio, Field field, int err, unsigned value) {
    gensio* io = sergensio_to_gensio(sio);
    const auto unanswered = m_unanswered.find(io);
    if (unanswered != m_unanswered.end() && --unanswered->second == 0) {
        m_unanswered.erase(unanswered);
        // Closed meanwhile: out of gensio's callback before it goes.
        if (m_retiring.count(io))
            m_loop.post([this, io] { retired(io); });
    }
    if (sio != m_sio)
        return;
    m_answers.answer(field, value, err ? errorText(err) : QString());
    askNext();
    reportAnswered();
}

void RemoteLink::reportAnswered() {
    for (RemoteAnswers::Done& done : m_answers.takeDone()) {
        LinkEvent event;
        event.kind = LinkEvent::Answered;
        event.attempt = m_attempt;
        event.request = done.request;
        event.reason = done.failure;
        event.answer = done.answer;
        push(std::move(event));
    }
}

void RemoteLink::sendUnsent() {
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_sendPosted = false;
    }
    if (!m_up)
        return;
    for (;;) {
        QByteArray chunk;
        {
            const std::lock_guard<std::mutex> lock(m_mutex);
            chunk = m_unsent.left(64 * 1024);
        }
        if (chunk.isEmpty())
            break;
        gensiods taken = 0;
        const int err =
            gensio_write(m_io, &taken, chunk.constData(), gensiods(chunk.size()), nullptr);
        if (err) {
            fail(errorText(err));
            return;
        }
        {
            const std::lock_guard<std::mutex> lock(m_mutex);
            m_unsent.remove(0, qsizetype(taken));
        }
        if (taken < gensiods(chunk.size())) {
            // The rest goes when gensio says there is room.
            gensio_set_write_callback_enable(m_io, true);
            return;
        }
    }
    gensio_set_write_callback_enable(m_io, false);
}

void RemoteLink::resumeReading() {
    if (m_up)
        gensio_set_read_callback_enable(m_io, true);
}

int RemoteLink::received(int err, const unsigned char* bytes, unsigned long* length) {
    if (err) {
        fail(errorText(err));
        return 0;
    }
    bool full = false;
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        const qint64 room = std::max<qint64>(0, kReadBufferBytes - m_received.size());
        const auto taken = std::min<qint64>(room, qint64(*length));
        m_received.append(reinterpret_cast<const char*>(bytes), qsizetype(taken));
        full = taken < qint64(*length) || m_received.size() >= kReadBufferBytes;
        *length = gensiods(taken);
        m_readingPaused = m_readingPaused || full;
    }
    // What gensio keeps waits in the network until the control takes some: takeReceived
    // turns reading on again, after this.
    if (full)
        gensio_set_read_callback_enable(m_io, false);
    return 0;
}

int RemoteLink::onEvent(gensio* io, void* self, int event, int err, unsigned char* buf,
                        unsigned long* buflen, const char* const*) {
    auto* link = static_cast<RemoteLink*>(self);
    // A connection being closed has nothing more to say; one that drops meanwhile will never
    // answer.
    if (io != link->m_io) {
        if (event == GENSIO_EVENT_READ && err && link->m_retiring.count(io))
            link->m_loop.post([link, io] { link->retired(io); });
        return event == GENSIO_EVENT_READ ? 0 : GE_NOTSUP;
    }
    switch (event) {
    case GENSIO_EVENT_READ:
        return link->received(err, buf, buflen);
    case GENSIO_EVENT_WRITE_READY:
        link->sendUnsent();
        return 0;
    case GENSIO_EVENT_SER_MODEMSTATE: {
        const unsigned state = *reinterpret_cast<const unsigned*>(buf);
        LinkEvent report;
        report.kind = LinkEvent::ModemState;
        report.attempt = link->m_attempt;
        report.cts = state & SERGENSIO_MODEMSTATE_CTS;
        report.dsr = state & SERGENSIO_MODEMSTATE_DSR;
        report.dcd = state & SERGENSIO_MODEMSTATE_CD;
        report.ri = state & SERGENSIO_MODEMSTATE_RI;
        report.ringEnded = state & SERGENSIO_MODEMSTATE_RI_CHANGED;
        link->push(std::move(report));
        return 0;
    }
    default:
        return GE_NOTSUP;
    }
}
