#include "TransmitStrip.h"

#include "Colours.h"
#include "Placement.h"

#include <QLabel>
#include <QPushButton>
#include <QRadioButton>

namespace {

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

TransmitStrip::TransmitStrip(QWidget* client) : TransmitView(client) {
    m_banner = place<QLabel>(client, "Label4", QRect(1995, 4950, 3660, 510),
                             QStringLiteral("Transmit Port 2 to Port 1"));
    m_banner->setAlignment(Qt::AlignCenter);
    m_banner->setAutoFillBackground(true);
    QPalette pal = m_banner->palette();
    pal.setColor(QPalette::Window, Qt::white);
    pal.setColor(QPalette::WindowText, kBannerText);
    m_banner->setPalette(pal);
    QFont bannerFont(QStringLiteral("MS Sans Serif"));
    bannerFont.setStyleHint(QFont::SansSerif);
    bannerFont.setPointSizeF(13.5);
    m_banner->setFont(bannerFont);
    m_banner->hide();

    m_switchOff = pictureButton(client, "Command2", QRect(5760, 4800, 510, 690),
                                ":/artwork/arrow.png", "Switch transmit mode off");
    m_switchOn = pictureButton(client, "Command5", QRect(5775, 4815, 510, 690),
                               ":/artwork/cross.png", "Switch transmit mode on");
    m_follow = option(client, "Option4", QRect(6315, 4905, 3165, 240), "RTS/DTR = CTS/DSR");
    m_follow->setChecked(true);
    m_manual = option(client, "Option3", QRect(6315, 5175, 3165, 240), "RTS/DTR = Manual Check");
    // The banner lies behind everything else on the window.
    m_banner->lower();
    connect(m_switchOn, &QPushButton::clicked, this, &TransmitView::switchOnClicked);
    connect(m_switchOff, &QPushButton::clicked, this, &TransmitView::switchOffClicked);
}

void TransmitStrip::showTransmitMode(bool on) {
    if (on) {
        m_banner->show();
        m_manual->show();
        m_follow->show();
        m_switchOff->show();
        m_switchOn->hide();
    } else {
        m_banner->hide();
        m_manual->hide();
        m_follow->hide();
        m_switchOff->hide();
        m_switchOn->show();
    }
}

bool TransmitStrip::option3Selected() const {
    return m_manual->isChecked();
}

bool TransmitStrip::option4Selected() const {
    return m_follow->isChecked();
}

#include "moc_TransmitStrip.cpp"
