#pragma once

#include <QMainWindow>

#include <array>

class ChannelView;
class ChannelWidgets;
class QAction;
class QDateTime;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class TransmitStrip;
class TransmitView;

// The main window and its control tree. It shows what it is told and reports what the user
// does; the behaviour behind it lives in the terminal and the program.
class Form1 : public QMainWindow {
    Q_OBJECT
public:
    explicit Form1(QWidget* parent = nullptr);

    ChannelView& channelView(int index); // 0 for Terminal 1, 1 for Terminal 2
    TransmitView& transmitView();

    // Every language-dependent caption and the dated title, in the language given (0 English,
    // 1 Russian); any other value changes nothing.
    void Lang_Setting(qint16 language, const QDateTime& now);

    // Closes the window without announcing it (the Exit menu item has saved already).
    void closeWithoutUnload();

    // The program settings panel and its folder box.
    bool settingsPanelShown() const;
    void showSettingsPanel(bool shown);
    void setResultsFolderText(const QString& folder);

    // Capture on (its menu item checked, a mark beside the menu whose tooltip names the file)
    // or off.
    void showCapture(bool on, const QString& fileName);

signals:
    // The window is closing by any way other than closeWithoutUnload().
    void unloading();
    void exitChosen();
    void settingsMenuChosen();
    void englishChosen();
    void russianChosen();
    void changeFolderClicked();
    void captureChosen(bool on);
    void timelineChosen();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildMenu();
    void buildSettingsPanel(QWidget* client);

    std::array<ChannelWidgets*, 2> m_channels{};
    QMenu* m_fileMenu = nullptr; // mnu_File
    QAction* m_captureItem = nullptr;
    QAction* m_timelineItem = nullptr;
    QMenu* m_scriptMenu = nullptr; // "Run script": one item per terminal
    std::array<QAction*, 2> m_scriptItems{};
    QLabel* m_captureIndicator = nullptr;
    QAction* m_exitItem = nullptr;         // mnu_Exit
    QAction* m_settingItem = nullptr;      // mnu_Setting
    QMenu* m_languageMenu = nullptr;       // mnu_lanq
    QGroupBox* m_settingsPanel = nullptr;  // Frame1
    QLabel* m_folderCaption = nullptr;     // Label1_0
    QLineEdit* m_folder = nullptr;         // Text1
    QPushButton* m_changeFolder = nullptr; // Command1
    QLabel* m_transmitBanner = nullptr;    // Label4
    TransmitStrip* m_transmit = nullptr;
    bool m_unloadAnnounced = false;
};
