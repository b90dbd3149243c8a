#pragma once

#include <QRect>
#include <QString>

#include <array>

// Names and places (in twips) of one channel's controls; the two channels differ only in these.
struct Placed {
    const char* name;
    QRect twips; // left, top, width, height
};

struct ChannelLayout {
    int number;
    Placed frame;
    Placed endCodeBox, endCodeCheck, infoLine, insertCodeBox, insertButton;
    Placed commandBox, emptyButton, runButton, hexBox, log;
    Placed showCommand, hexFormat, clearButton;
    Placed portPanel;
    const char* portPanelCaption;
    double commandFontPoints;

    // Port panel.
    const char* comboName; // "Combo1": elements are Combo1_0 ... Combo1_5
    std::array<QRect, 6> combos;
    std::array<bool, 6> comboEditable;
    std::array<Placed, 6> comboCaptions; // by field
    bool portCaptionLeftAligned;
    Placed portLamp, rtsBox, dtrBox;
    const char* lineLampName; // "Shape2"
    QRect firstLineLamp;
    int lineLampStep;
    const char* lineNameName; // "Label3"
    QRect firstLineName;
    int lineNameStep;
    Placed summary;
};

const ChannelLayout& channelLayout(int index); // 0 for Terminal 1, 1 for Terminal 2
