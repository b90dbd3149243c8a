#include "SimulatorOptions.h"

#include <algorithm>
#include <map>
#include <optional>

namespace {

constexpr int kMaxLines = 64;

std::optional<long long> wholeNumber(const std::string& text, long long low, long long high) {
    if (text.empty() || text.size() > 9 ||
        text.find_first_not_of("0123456789") != std::string::npos)
        return std::nullopt;
    const long long value = std::stoll(text);
    if (value < low || value > high)
        return std::nullopt;
    return value;
}

struct LineChoices {
    std::map<int, Millis> delays;
    std::map<int, LineKind> kinds;
    std::map<int, std::string> records;
};

std::optional<LineKind> kindOption(const std::string& name) {
    if (name == "--mute")
        return LineKind::Mute;
    if (name == "--raw")
        return LineKind::Raw;
    if (name == "--device")
        return LineKind::Device;
    return std::nullopt;
}

bool chooseKind(LineChoices& choices, int line, LineKind kind, std::string& error) {
    const auto [it, added] = choices.kinds.emplace(line, kind);
    if (!added && it->second != kind) {
        error = "line " + std::to_string(line) + " is given two of --mute, --raw and --device";
        return false;
    }
    return true;
}

bool finish(const LineChoices& choices, std::optional<int> lineCount, SimulatorOptions& options,
            std::string& error) {
    const int count = lineCount               ? *lineCount
                      : options.links.empty() ? 2
                                              : int(options.links.size());
    if (int(options.links.size()) > count) {
        error = "more --link options than lines";
        return false;
    }
    const int highest = std::max({choices.delays.empty() ? 0 : choices.delays.rbegin()->first,
                                  choices.kinds.empty() ? 0 : choices.kinds.rbegin()->first,
                                  choices.records.empty() ? 0 : choices.records.rbegin()->first});
    if (highest > count) {
        error = "there is no line " + std::to_string(highest);
        return false;
    }
    options.lines.assign(std::size_t(count), LineOptions());
    for (const auto& [line, delay] : choices.delays)
        options.lines[std::size_t(line - 1)].replyDelay = delay;
    for (const auto& [line, kind] : choices.kinds)
        options.lines[std::size_t(line - 1)].kind = kind;
    for (const auto& [line, file] : choices.records)
        options.lines[std::size_t(line - 1)].recordFile = file;
    return true;
}

} // namespace

bool parseSimulatorOptions(const std::vector<std::string>& args, SimulatorOptions& options,
                           std::string& error) {
    options = SimulatorOptions();
    LineChoices choices;
    std::optional<int> lineCount;
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string name = args[i];
        std::optional<std::string> inlineValue;
        if (const auto eq = name.find('='); name.rfind("--", 0) == 0 && eq != std::string::npos) {
            inlineValue = name.substr(eq + 1);
            name.resize(eq);
        }
        if (name == "--help" || name == "-h") {
            options.help = true;
            return true;
        }
        if (name != "--lines" && name != "--link" && name != "--delay" &&
            name != "--ring-interval" && name != "--record" && !kindOption(name)) {
            error = "unknown option " + args[i];
            return false;
        }
        if (!inlineValue && i + 1 >= args.size()) {
            error = name + " needs a value";
            return false;
        }
        const std::string value = inlineValue ? *inlineValue : args[++i];
        const auto bad = [&] {
            error = "bad value for " + name + ": " + value;
            return false;
        };
        if (name == "--link") {
            if (value.empty())
                return bad();
            options.links.push_back(value);
        } else if (name == "--lines") {
            const auto n = wholeNumber(value, 1, kMaxLines);
            if (!n)
                return bad();
            lineCount = int(*n);
        } else if (name == "--ring-interval") {
            const auto ms = wholeNumber(value, 1, 3600000);
            if (!ms)
                return bad();
            options.ringInterval = *ms;
        } else if (name == "--record") {
            const auto colon = value.find(':');
            const auto line = wholeNumber(value.substr(0, colon), 1, kMaxLines);
            if (!line || colon == std::string::npos || colon + 1 >= value.size())
                return bad();
            choices.records[int(*line)] = value.substr(colon + 1);
        } else if (name == "--delay") {
            const auto colon = value.find(':');
            const auto line = wholeNumber(value.substr(0, colon), 1, kMaxLines);
            const auto ms = colon == std::string::npos
                                ? std::nullopt
                                : wholeNumber(value.substr(colon + 1), 0, 3600000);
            if (!line || !ms)
                return bad();
            choices.delays[int(*line)] = *ms;
        } else {
            const auto line = wholeNumber(value, 1, kMaxLines);
            if (!line)
                return bad();
            if (!chooseKind(choices, int(*line), *kindOption(name), error))
                return false;
        }
    }
    return finish(choices, lineCount, options, error);
}

const char* simulatorUsage() {
    return R"(Usage: duplink-modem-sim [OPTION]...
Simulates Hayes-compatible modems on pseudo-terminals. The lines form a small telephone
exchange: line k answers at number k, so ATD2 on line 1 rings line 2.

Once every line exists, prints the slave device of each line on a line of its own, in line
order, and flushes standard output. Runs until SIGTERM, SIGINT or SIGHUP, then removes its
links and exits with status 0. A client may close and reopen a line at any time.

Options:
  --lines N           number of lines, 1 to 64 (default: one per --link, or 2)
  --link PATH         make PATH a symbolic link to the next line's device; repeatable.
                      A symbolic link already there is replaced.
  --delay LINE:MS     LINE takes MS milliseconds to carry out each command line: its
                      answer comes that much later and input meanwhile waits
  --record LINE:FILE  append every byte a client writes on LINE to FILE
  --mute LINE         LINE reads everything and answers nothing; calls to it ring unanswered
  --raw LINE          LINE has no command mode: no echo, no result codes, bytes only. Raw
                      lines are wired together in pairs in line order like a null-modem
                      cable; a raw line without a partner discards what it receives.
                      Dialling a raw line gives NO CARRIER.
  --device LINE       LINE is a device that uses a modem, not a modem: it answers nothing,
                      but once anything has arrived on it, it sends AT and CR every three
                      seconds, checking on its modem. Dialling it gives NO CARRIER.
  --ring-interval MS  time between RINGs of a called line (default 2000)
  -h, --help          show this text and exit

Commands (AT or at, ended by CR; spaces ignored; A/ repeats the last line):
  A           answer a ringing line
  D<number>   dial (T, P, W and , are ignored)
  E0 E1       command echo off/on
  H0          hang up, or refuse a ringing call
  I0-I4       product code, telephone number, ROM check, identification, settings
  O           back online after +++
  Q0 Q1       result codes on/off
  V0 V1       numeric/verbose result codes
  Z &F        reset settings (Z also hangs up)
  Sn=v Sn?    S-registers: S0 rings before auto-answer, S1 ring count, S2 escape
              character, S3 CR, S4 LF, S5 backspace, S7 seconds to wait for an
              answer, S12 escape guard time in 1/50 s
  +GMI +GMM +GMR +CGMI +CGMM +CGMR  manufacturer, model, revision
  L M X &C &D  accepted, no effect

Results: OK (0), CONNECT 9600 (12), RING (2), NO CARRIER (3), ERROR (4), BUSY (7).
Online, data passes byte for byte to the other line. The escape back to command mode is a
guard time (S12) with nothing sent, exactly three escape characters (S2) less than a guard
time apart, and a guard time with nothing sent after them; then OK. Anything sent within
the guard time after them, even a CR, cancels it: send "+++" on its own.
Dialling a line that is in a call or dialling gives BUSY, an unknown number NO CARRIER; any
character typed while dialling abandons the call. A pseudo-terminal has no modem control
lines; a program that preloads libptymodemlines.so, with PTY_MODEM_LINES naming the same
state file as the simulator's, sees DSR and CTS on, DCD while a call is up and a pulse on RI
for every ring.
)";
}
