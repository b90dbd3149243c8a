#include "Form1.h"

#include "ChannelLayout.h"
#include "Colours.h"
#include "Lamp.h"
#include "Placement.h"
#include "TerminalFrame.h"

#include <QCloseEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

static void initArtwork() {
    Q_INIT_RESOURCE(artwork);
}

namespace {

constexpr int kClientWidth = 12465;
constexpr int kClientHeight = 9870;

QPushButton* pictureButton(QWidget* parent, const char* name, const QRect& inTwips,
                           const char* picture, const char* accessibleName) {
    auto* b = place<QPushButton>(parent, name, inTwips);
    const QPixmap pixmap{QString::fromLatin1(picture)};
    b->setIcon(QIcon(pixmap));
    b->setIconSize(pixmap.size());
    b->setAccessibleName(QLatin1String(accessibleName));
    return b;
}

QRadioButton* option(QWidget* parent, const char* name, const QRect& inTwips, const char* text) {
    auto* o = place<QRadioButton>(parent, name, inTwips, QLatin1String(text));
    paintBackground(o, kWindowBackground);
    o->hide();
    return o;
}

} // namespace

Form1::Form1(QWidget* parent) : QMainWindow(parent) {
    initArtwork();
    Lamp::installAccessibility();
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Amberfields"));
    setWindowIcon(QIcon(QStringLiteral(":/artwork/Icon1.png")));
    QFont dialogFont(QStringLiteral("MS Sans Serif"));
    dialogFont.setStyleHint(QFont::SansSerif);
    dialogFont.setPointSizeF(8.25);
    setFont(dialogFont);

    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("client"));
    client->setFixedSize(px(kClientWidth), px(kClientHeight));
    paintBackground(client, kWindowBackground);
    setCentralWidget(client);
    buildMenu();

    // Built back to front, so that each control lies in front of the ones made before it.
    for (int i = 1; i >= 0; --i)
        channel[size_t(i)] = buildTerminalFrame(channelLayout(i), client);
    Label4 = place<QLabel>(client, "Label4", QRect(1995, 4950, 3660, 510),
                           QStringLiteral("Transmit Port 2 to Port 1"));
    buildTransmitStrip(client);
    buildSettingsPanel(client);
    Label4->lower();

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(100);

    layout()->setSizeConstraint(QLayout::SetFixedSize);
}

void Form1::buildMenu() {
    mnu_File = menuBar()->addMenu(QStringLiteral("Меню"));
    mnu_File->setObjectName(QStringLiteral("mnu_File"));
    mnu_Exit = mnu_File->addAction(QStringLiteral("Выход"));
    mnu_Exit->setObjectName(QStringLiteral("mnu_Exit"));
    mnu_Setting = menuBar()->addAction(QStringLiteral("Настройки"));
    mnu_Setting->setObjectName(QStringLiteral("mnu_Setting"));
    mnu_lanq = menuBar()->addMenu(QStringLiteral("Язык"));
    mnu_lanq->setObjectName(QStringLiteral("mnu_lanq"));
    mnu_rus = mnu_lanq->addAction(QStringLiteral("rus"));
    mnu_rus->setObjectName(QStringLiteral("mnu_rus"));
    mnu_eng = mnu_lanq->addAction(QStringLiteral("eng"));
    mnu_eng->setObjectName(QStringLiteral("mnu_eng"));
}

void Form1::buildTransmitStrip(QWidget* client) {
    Label4->setAlignment(Qt::AlignCenter);
    Label4->setAutoFillBackground(true);
    QPalette pal = Label4->palette();
    pal.setColor(QPalette::Window, Qt::white);
    pal.setColor(QPalette::WindowText, kBannerText);
    Label4->setPalette(pal);
    QFont bannerFont(QStringLiteral("MS Sans Serif"));
    bannerFont.setStyleHint(QFont::SansSerif);
    bannerFont.setPointSizeF(13.5);
    Label4->setFont(bannerFont);
    Label4->hide();

    Command2 = pictureButton(client, "Command2", QRect(5760, 4800, 510, 690), ":/artwork/arrow.png",
                             "Switch transmit mode off");
    Command5 = pictureButton(client, "Command5", QRect(5775, 4815, 510, 690), ":/artwork/cross.png",
                             "Switch transmit mode on");
    Option4 = option(client, "Option4", QRect(6315, 4905, 3165, 240), "RTS/DTR = CTS/DSR");
    Option4->setChecked(true);
    Option3 = option(client, "Option3", QRect(6315, 5175, 3165, 240), "RTS/DTR = Manual Check");
}

void Form1::buildSettingsPanel(QWidget* client) {
    Frame1 = place<QGroupBox>(client, "Frame1", QRect(840, 0, 9240, 4110),
                              QStringLiteral("Настройки программы"));
    Frame1->setAutoFillBackground(true);
    Label1_0 = place<QLabel>(Frame1, "Label1_0", QRect(180, 270, 3300, 240),
                             QStringLiteral("Директория для хранения результатов"));
    Text1 = place<QLineEdit>(Frame1, "Text1", QRect(225, 540, 7215, 285));
    Label1_0->setBuddy(Text1);
    Command1 = place<QPushButton>(Frame1, "Command1", QRect(7560, 540, 1095, 285),
                                  QStringLiteral("Изменить"));
    Frame1->hide();
}

void Form1::closeWithoutUnload() {
    m_unloadAnnounced = true;
    close();
}

void Form1::closeEvent(QCloseEvent* event) {
    if (!m_unloadAnnounced) {
        m_unloadAnnounced = true;
        emit unloading();
    }
    event->accept();
}
