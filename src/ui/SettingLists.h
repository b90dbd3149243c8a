#pragma once

#include <QStringList>

// The entries of the six setting fields, in list order.
QStringList settingListEntries(int field);
