#pragma once

#include "terminal/ChannelView.h"
#include "terminal/PortSettings.h"

#include <QFont>

#include <array>

class Lamp;
class QCheckBox;
class QComboBox;
class QKeyEvent;
class QGroupBox;
class QLabel;
class QLineEdit;
class LogFinder;
class LogView;
class QAction;
class SearchBar;
class QPushButton;
class QWidget;
struct ChannelLayout;
struct CaptionSet;

// One terminal channel's frame and port panel, and the channel as the terminal sees it.
class ChannelWidgets final : public ChannelView {
    Q_OBJECT
public:
    // Builds the frame inside `client`, in front of what is there already.
    ChannelWidgets(const ChannelLayout& layout, QWidget* client);

    QString commandText() const override;
    QString endCodeText() const override;
    bool endCodeChecked() const override;
    bool showCommandChecked() const override;
    bool hexFormatChecked() const override;
    QString insertCodeText() const override;
    QString settingFieldText(int field) const override;
    int rtsBoxValue() const override;
    int dtrBoxValue() const override;
    void setFrameCaption(const QString& caption) override;
    void setInfoLine(const QString& text) override;
    void appendToLog(const QByteArray& bytes) override;
    void writeToLog(qint64 size, const std::function<void(char*)>& fill) override;
    void moveLogCaretToEnd() override;
    void clearLog() override;
    void setCommandText(const QString& text) override;
    void focusCommand() override;
    void setCommandHex(const QString& hex) override;
    bool setSettingFieldText(int field, const QString& text) override;
    void setPortLamp(int colour) override;
    void setLineLamp(int line, int colour) override;
    void setRtsBoxVisible(bool visible) override;
    void setDtrBoxVisible(bool visible) override;
    void setPortSummary(const QString& text) override;
    void setPortSummaryColour(int colour) override;
    void describePorts(const QStringList& byNumber) override;
    void setPortDetails(const QString& details) override;
    void showScriptRunning(bool running) override;
    qint64 logSize() const override;
    QByteArray logSlice(qint64 from, qint64 to) const override;

    void setCaptions(const CaptionSet& captions);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildFrame(const ChannelLayout& l, QWidget* client);
    void buildPortPanel(const ChannelLayout& l);
    void fitPortPanelTexts(const std::array<QLabel*, kSettingFieldCount>& captions);
    void buildFinding(QWidget* frame);
    // Up, Down and Ctrl+Return in the command box; true when the key was one of them.
    bool commandKeyPressed(const QKeyEvent& key);

    int m_number;
    bool m_typingEnds = false;           // typing in a setting field is ending: no pick comes of it
    QGroupBox* m_frame = nullptr;        // Frame2 / Frame5
    QLineEdit* m_endCodeBox = nullptr;   // Text5 / Text3
    QCheckBox* m_endCodeCheck = nullptr; // Check3 / Check4
    QLabel* m_infoLine = nullptr;        // Label8 / Label9
    QLineEdit* m_insertCodeBox = nullptr;  // Text8 / Text9
    QPushButton* m_insertButton = nullptr; // Command8 / Command9
    QLineEdit* m_commandBox = nullptr;     // Text4 / Text7
    QPushButton* m_emptyButton = nullptr;  // Command11 / Command10 "*"
    QPushButton* m_runButton = nullptr;    // Command3 / Command6
    QLineEdit* m_hexBox = nullptr;         // Text10; Terminal 2 has none
    LogView* m_log = nullptr;              // Text2 / Text6
    QCheckBox* m_showCommand = nullptr;    // Check5 / Check8
    QCheckBox* m_hexFormat = nullptr;      // Check9 / Check10
    QPushButton* m_clearButton = nullptr;  // Command4 / Command7
    SearchBar* m_searchBar = nullptr;      // over the bottom of the log while open
    LogFinder* m_finder = nullptr;
    QAction* m_findAction = nullptr;
    QAction* m_saveAction = nullptr;
    QAction* m_runScriptAction = nullptr;
    QAction* m_stopScriptAction = nullptr; // only while a script runs

    QGroupBox* m_portPanel = nullptr;                      // Frame3 / Frame6
    std::array<QComboBox*, kSettingFieldCount> m_combos{}; // Combo1 / Combo2
    QCheckBox* m_rtsBox = nullptr;                         // Check1 / Check6
    QCheckBox* m_dtrBox = nullptr;                         // Check2 / Check7
    Lamp* m_portLamp = nullptr;                            // Shape1 / Shape3
    std::array<Lamp*, 6> m_lineLamps{};                    // Shape2 / Shape4
    QLabel* m_summary = nullptr;                           // Label2 / Label7
    QFont m_summaryFont;
};
