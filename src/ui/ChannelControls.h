#pragma once

#include <array>

class Lamp;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTimer;

// The controls of one terminal channel. Terminal 1's names come first, Terminal 2's second.
struct ChannelControls {
    QGroupBox* frame = nullptr;          // Frame2 / Frame5
    QLineEdit* endCodeBox = nullptr;     // Text5 / Text3
    QCheckBox* endCodeCheck = nullptr;   // Check3 / Check4 "Character code command to complete"
    QLabel* infoLine = nullptr;          // Label8 / Label9
    QLineEdit* insertCodeBox = nullptr;  // Text8 / Text9
    QPushButton* insertButton = nullptr; // Command8 / Command9 "Insert Char 0-255"
    QLineEdit* commandBox = nullptr;     // Text4 / Text7
    QPushButton* emptyButton = nullptr;  // Command11 / Command10 "*"
    QPushButton* runButton = nullptr;    // Command3 / Command6 "Run"
    QLineEdit* hexBox = nullptr;         // Text10; Terminal 2 has none
    QPlainTextEdit* log = nullptr;       // Text2 / Text6
    QCheckBox* showCommand = nullptr;    // Check5 / Check8 "Show entered command"
    QCheckBox* hexFormat = nullptr;      // Check9 / Check10 "HEX Format"
    QPushButton* clearButton = nullptr;  // Command4 / Command7 "Clear"

    QGroupBox* portPanel = nullptr;    // Frame3 / Frame6
    std::array<QComboBox*, 6> Combo{}; // Combo1 / Combo2: port, speed, parity, data, stop, flow
    std::array<QLabel*, 6> comboCaptions{};
    QCheckBox* rtsBox = nullptr;        // Check1 / Check6
    QCheckBox* dtrBox = nullptr;        // Check2 / Check7
    Lamp* portLamp = nullptr;           // Shape1 / Shape3
    std::array<Lamp*, 6> lineLamps{};   // Shape2 / Shape4: RTS, DTR, CTS, DSR, DCD, RI
    std::array<QLabel*, 6> lineNames{}; // Label3 / Label6
    QLabel* summary = nullptr;          // Label2 / Label7
    QTimer* applyTimer = nullptr;       // Timer2 / Timer3
};

// Indexes of the six setting fields.
enum SettingField { FieldPort, FieldSpeed, FieldParity, FieldDataBits, FieldStopBits, FieldFlow };
