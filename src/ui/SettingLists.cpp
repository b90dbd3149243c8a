#include "SettingLists.h"

#include "terminal/PortSettings.h"

QStringList settingListEntries(int field) {
    switch (field) {
    case FieldPort: {
        QStringList ports;
        for (int n = 1; n <= 16; ++n)
            ports << QString::number(n);
        return ports;
    }
    case FieldSpeed:
        return {"110",   "300",   "600",   "1200",  "2400",  "4800",  "9600",
                "14400", "19200", "28800", "38400", "57600", "115200"};
    case FieldParity:
        return {"n", "e", "o", "s", "m"};
    case FieldDataBits:
        return {"5", "6", "7", "8"};
    case FieldStopBits:
        return {"1", "2"};
    case FieldFlow:
        return {"0", "1", "2", "3"};
    default:
        return {};
    }
}
