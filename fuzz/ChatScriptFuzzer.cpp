// libFuzzer target for the chat script reader: any file text, and the same bytes as words, is
// read or refused without a crash; a refused script has a reason and no words; an accepted one
// runs on a hand-moved clock, with the rest of the input arriving on the line, and ends (or is
// stopped) with a chat exit code, writing nothing once finished.

#include "terminal/Clock.h"
#include "terminal/chat/ChatRunner.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

void check(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "chat script: %s\n", what);
        std::abort();
    }
}

void checkReading(const ChatScriptReading& reading) {
    check(reading.accepted() || reading.script.words.isEmpty(), "words kept from a refusal");
    for (const QByteArray& word : reading.script.words)
        check(!word.contains('\0'), "a NUL in a word");
}

void run(const ChatScript& script, const QByteArray& input) {
    // Replies read from files (@file) may wait on a pipe; they are not the reader's business.
    for (const QByteArray& word : script.words) {
        if (word.startsWith('@'))
            return;
    }
    Clock clock;
    qsizetype written = 0;
    bool finished = false;
    ChatRunner runner(clock, script, ChatOptions{2, true, {}},
                      ChatLine{[&](const QByteArray& bytes) {
                                   check(!finished, "written after the end");
                                   written += bytes.size();
                               },
                               {}});
    QObject::connect(&runner, &ChatRunner::finished, [&](int code, const QString&) {
        check(!finished, "finished twice");
        check(code >= 0 && code < 4 + 50, "an exit code out of range");
        finished = true;
    });
    runner.start();
    for (qsizetype at = 0; at < input.size() && !finished; at += 7) {
        runner.received(input.mid(at, 7));
        clock.advanceBy(30);
    }
    for (int step = 0; step < 100 && !finished; ++step)
        clock.advanceBy(1000);
    runner.stop();
    check(finished && runner.isFinished(), "not finished after stop");
    const qsizetype before = written;
    clock.advanceBy(5000);
    runner.received("OK\r\n");
    check(written == before, "written after stop");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray text(reinterpret_cast<const char*>(data), qsizetype(size));
    const ChatScriptReading fromFile = readChatScript(text);
    checkReading(fromFile);
    const ChatScriptReading fromWords = chatScriptFromWords(text.split('\n'));
    checkReading(fromWords);
    if (size <= 2048) {
        if (fromFile.accepted())
            run(fromFile.script, text);
        if (fromWords.accepted())
            run(fromWords.script, text);
    }
    return 0;
}
