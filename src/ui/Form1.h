#pragma once

#include "ChannelControls.h"

#include <QMainWindow>

#include <array>

class QAction;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QRadioButton;
class QGroupBox;

// The main window and its control tree. It holds no behaviour of its own beyond telling when
// it is about to close.
class Form1 : public QMainWindow {
    Q_OBJECT
public:
    explicit Form1(QWidget* parent = nullptr);

    std::array<ChannelControls, 2> channel;

    QMenu* mnu_File = nullptr;
    QAction* mnu_Exit = nullptr;
    QAction* mnu_Setting = nullptr;
    QMenu* mnu_lanq = nullptr;
    QAction* mnu_rus = nullptr;
    QAction* mnu_eng = nullptr;

    QGroupBox* Frame1 = nullptr; // program settings panel
    QLabel* Label1_0 = nullptr;
    QLineEdit* Text1 = nullptr;
    QPushButton* Command1 = nullptr;

    QRadioButton* Option3 = nullptr; // "RTS/DTR = Manual Check"
    QRadioButton* Option4 = nullptr; // "RTS/DTR = CTS/DSR"
    QPushButton* Command5 = nullptr; // transmit mode on
    QPushButton* Command2 = nullptr; // transmit mode off
    QLabel* Label4 = nullptr;        // "Transmit Port 2 to Port 1"

    QTimer* Timer1 = nullptr; // the poll loop's timer, started once start-up is done

    // Closes the window without announcing it (the Exit menu item has saved already).
    void closeWithoutUnload();

signals:
    // The window is closing by any way other than closeWithoutUnload().
    void unloading();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildMenu();
    void buildSettingsPanel(QWidget* client);
    void buildTransmitStrip(QWidget* client);
    bool m_unloadAnnounced = false;
};
