#include "FakeChannelView.h"

namespace {

const QStringList kLists[kSettingFieldCount] = {
    {"1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "11", "12", "13", "14", "15", "16"},
    {"110", "300", "600", "1200", "2400", "4800", "9600", "14400", "19200", "28800", "38400",
     "57600", "115200"},
    {"n", "e", "o", "s", "m"},
    {"5", "6", "7", "8"},
    {"1", "2"},
    {"0", "1", "2", "3"},
};

} // namespace

void FakeChannelView::setCommandText(const QString& text) {
    command = text;
    emit commandChanged();
}

bool FakeChannelView::setSettingFieldText(int field, const QString& text) {
    if (!editable[size_t(field)] && !kLists[field].contains(text))
        return false;
    fields[size_t(field)] = text;
    return true;
}

void FakeChannelView::pick(int field, const QString& text) {
    fields[size_t(field)] = text;
    emit settingPicked(field);
}

void FakeChannelView::appendToLog(const QByteArray& bytes) {
    log += bytes;
    ++appends;
    caretAtEnd = true;
}
