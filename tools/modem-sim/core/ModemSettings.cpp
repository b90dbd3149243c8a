#include "ModemSettings.h"

bool ModemSettings::hasRegister(int n) {
    return (n >= 0 && n <= 8) || n == 10 || n == 12;
}
