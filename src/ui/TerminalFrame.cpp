#include "TerminalFrame.h"

#include "ChannelLayout.h"
#include "Colours.h"
#include "Lamp.h"
#include "Placement.h"
#include "SettingLists.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>

#include <limits>

namespace {

const char* const kLineNames[6] = {"RTS", "DTR", "CTS", "DSR", "DCD", "RI"};
const char* const kFieldCaptions[6] = {"COM", "bps", "parity", "data", "stop", "control"};

QString elementName(const char* arrayName, int i) {
    return QStringLiteral("%1_%2").arg(QLatin1String(arrayName)).arg(i);
}

QComboBox* buildCombo(QWidget* panel, const QString& name, const QRect& inTwips, int field,
                      bool editable) {
    auto* box = new QComboBox(panel);
    box->setObjectName(name);
    box->setGeometry(toPixels(inTwips));
    box->addItems(settingListEntries(field));
    box->setEditable(editable);
    if (editable) {
        // Typed text is taken as it is: never added to the list, never completed.
        box->setInsertPolicy(QComboBox::NoInsert);
        box->setCompleter(nullptr);
    }
    // A list-only box shows nothing until start-up gives it its value.
    box->setCurrentIndex(-1);
    box->setAccessibleName(QLatin1String(kFieldCaptions[field]));
    return box;
}

void buildPortPanel(ChannelControls& c, const ChannelLayout& l) {
    QGroupBox* panel = c.portPanel;
    for (int f = 0; f < 6; ++f) {
        auto* caption = place<QLabel>(panel, l.comboCaptions[f], QLatin1String(kFieldCaptions[f]));
        const bool left = f == FieldPort && l.portCaptionLeftAligned;
        caption->setAlignment((left ? Qt::AlignLeft : Qt::AlignRight) | Qt::AlignVCenter);
        c.comboCaptions[f] = caption;
        c.Combo[f] =
            buildCombo(panel, elementName(l.comboName, f), l.combos[f], f, l.comboEditable[f]);
        caption->setBuddy(c.Combo[f]);
    }

    c.portLamp = place<Lamp>(panel, l.portLamp, kRed);
    c.portLamp->setAccessibleName(QStringLiteral("Port open"));
    c.portLamp->setAccessibleDescription(QStringLiteral("green: the port is open; red: closed"));

    c.rtsBox = place<QCheckBox>(panel, l.rtsBox);
    c.rtsBox->setAccessibleName(QStringLiteral("RTS"));
    c.dtrBox = place<QCheckBox>(panel, l.dtrBox);
    c.dtrBox->setAccessibleName(QStringLiteral("DTR"));
    c.dtrBox->setChecked(true);

    for (int i = 0; i < 6; ++i) {
        const QRect lamp = l.firstLineLamp.translated(0, l.lineLampStep * i);
        c.lineLamps[i] = place<Lamp>(panel, qPrintable(elementName(l.lineLampName, i)), lamp, kOff);
        c.lineLamps[i]->setAccessibleName(QLatin1String(kLineNames[i]));
        const QRect name = l.firstLineName.translated(0, l.lineNameStep * i);
        c.lineNames[i] = place<QLabel>(panel, qPrintable(elementName(l.lineNameName, i)), name,
                                       QLatin1String(kLineNames[i]));
    }

    c.summary = place<QLabel>(panel, l.summary, QLatin1String(l.summary.name));
    c.summary->setAlignment(Qt::AlignCenter);
    QFont summaryFont(QStringLiteral("MS Sans Serif"));
    summaryFont.setPointSizeF(9.75);
    c.summary->setFont(summaryFont);
}

} // namespace

ChannelControls buildTerminalFrame(const ChannelLayout& l, QWidget* client) {
    ChannelControls c;
    c.frame = place<QGroupBox>(client, l.frame, QStringLiteral("Terminal"));
    paintBackground(c.frame, l.number == 1 ? kTerminal1Background : kTerminal2Background);
    QWidget* f = c.frame;

    c.endCodeBox = place<QLineEdit>(f, l.endCodeBox, QStringLiteral("13"));
    c.endCodeBox->setAccessibleName(QStringLiteral("End character code"));
    c.endCodeCheck =
        place<QCheckBox>(f, l.endCodeCheck, QStringLiteral("Character code command to complete"));
    c.endCodeCheck->setChecked(true);
    c.infoLine = place<QLabel>(f, l.infoLine);
    c.infoLine->setAccessibleName(QStringLiteral("Character information"));
    c.insertCodeBox = place<QLineEdit>(f, l.insertCodeBox, QStringLiteral("255"));
    c.insertCodeBox->setAccessibleName(QStringLiteral("Character code to insert"));
    c.insertButton = place<QPushButton>(f, l.insertButton, QStringLiteral("Insert Char 0-255"));

    c.commandBox = place<QLineEdit>(f, l.commandBox, QStringLiteral("AT"));
    c.commandBox->setAccessibleName(QStringLiteral("Command"));
    c.commandBox->setMaxLength(std::numeric_limits<int>::max());
    QFont commandFont(QStringLiteral("Courier New"));
    commandFont.setStyleHint(QFont::Monospace);
    commandFont.setPointSizeF(l.commandFontPoints);
    c.commandBox->setFont(commandFont);
    c.emptyButton = place<QPushButton>(f, l.emptyButton, QStringLiteral("*"));
    c.emptyButton->setAccessibleName(QStringLiteral("Empty the command"));
    c.runButton = place<QPushButton>(f, l.runButton, QStringLiteral("Run"));

    if (l.hexBox.name) {
        c.hexBox = place<QLineEdit>(f, l.hexBox, QStringLiteral("4154"));
        c.hexBox->setAccessibleName(QStringLiteral("Command in hex"));
        QFont hexFont(QStringLiteral("Terminal"));
        hexFont.setStyleHint(QFont::Monospace);
        hexFont.setPointSize(9);
        c.hexBox->setFont(hexFont);
        QPalette pal = c.hexBox->palette();
        pal.setColor(QPalette::Base, kTerminal1Background);
        c.hexBox->setPalette(pal);
        c.hexBox->setFocusPolicy(Qt::ClickFocus);
    }

    c.log = place<QPlainTextEdit>(f, l.log);
    c.log->setAccessibleName(QStringLiteral("Log"));
    c.log->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    c.showCommand = place<QCheckBox>(f, l.showCommand, QStringLiteral("Show entered command"));
    c.hexFormat = place<QCheckBox>(f, l.hexFormat, QStringLiteral("HEX Format"));
    c.clearButton = place<QPushButton>(f, l.clearButton, QStringLiteral("Clear"));

    // The port panel keeps the platform's own colours.
    c.portPanel = place<QGroupBox>(f, l.portPanel, QLatin1String(l.portPanelCaption));
    paintBackground(c.portPanel, QApplication::palette().color(QPalette::Window));
    buildPortPanel(c, l);

    c.applyTimer = new QTimer(client);
    c.applyTimer->setObjectName(QLatin1String(l.applyTimerName));
    c.applyTimer->setInterval(100);
    return c;
}
