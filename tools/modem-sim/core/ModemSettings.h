#pragma once

#include <array>

// The settings a command line can change: E, V, Q and the S-registers. ATZ and AT&F put them
// back to these defaults.
class ModemSettings {
public:
    bool echo = true;
    bool verbose = true;
    bool quiet = false;

    static bool hasRegister(int n);
    int reg(int n) const { return m_registers[std::size_t(n)]; }
    void setReg(int n, int value) { m_registers[std::size_t(n)] = value; }

    int autoAnswerRings() const { return reg(0); }
    int ringCount() const { return reg(1); }
    void setRingCount(int n) { setReg(1, n); }
    char escapeCharacter() const { return char(reg(2)); }
    // An escape character above 127 turns the escape sequence off.
    bool escapeEnabled() const { return reg(2) <= 127; }
    char lineTerminator() const { return char(reg(3)); }
    char lineFeed() const { return char(reg(4)); }
    char backspace() const { return char(reg(5)); }
    int carrierWaitMs() const { return reg(7) * 1000; }
    int guardTimeMs() const { return reg(12) * 20; }

private:
    // Registers the simulator knows; the others stay zero and are refused by hasRegister().
    std::array<int, 13> m_registers{0, 0, 43, 13, 10, 8, 2, 50, 2, 0, 14, 0, 50};
};
