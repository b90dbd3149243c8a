#include "CommandEditing.h"

#include "TextConversions.h"
#include "ui/ChannelControls.h"

#include <QLineEdit>
#include <QPushButton>

void Text4_Change(ChannelControls& c) {
    if (c.hexBox)
        c.hexBox->setText(StringToHEX_noSP(c.commandBox->text()));
}

void insertCharacter(ChannelControls& c) {
    const qint16 n = CharacterCode(c.insertCodeBox->text());
    c.commandBox->setText(c.commandBox->text() + CharacterOfCode(n));
}

void connectCommandEditing(ChannelControls& c) {
    if (c.hexBox)
        QObject::connect(c.commandBox, &QLineEdit::textChanged, c.hexBox,
                         [&c] { Text4_Change(c); });
    QObject::connect(c.insertButton, &QPushButton::clicked, c.insertButton,
                     [&c] { insertCharacter(c); });
}
