#include "Form1.h"

#include "CachedGroupBox.h"
#include "Captions.h"
#include "ChannelLayout.h"
#include "ChannelWidgets.h"
#include "Colours.h"
#include "FittingFont.h"
#include "Lamp.h"
#include "Placement.h"
#include "TransmitStrip.h"

#include <QCloseEvent>
#include <QDateTime>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QLocale>
#include <QMenuBar>
#include <QPushButton>

static void initArtwork() {
    Q_INIT_RESOURCE(artwork);
}

namespace {

constexpr int kClientWidth = 12465;
constexpr int kClientHeight = 9870;

template <class Item> Item* named(Item* item, const char* name) {
    item->setObjectName(QLatin1String(name));
    return item;
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
        m_channels[size_t(i)] = new ChannelWidgets(channelLayout(i), client);
    for (size_t i = 0; i < 2; ++i)
        connect(m_scriptItems[i], &QAction::triggered, m_channels[i],
                &ChannelView::runScriptChosen);
    m_transmit = new TransmitStrip(client);
    buildSettingsPanel(client);

    layout()->setSizeConstraint(QLayout::SetFixedSize);
}

ChannelView& Form1::channelView(int index) {
    return *m_channels[size_t(index)];
}

TransmitView& Form1::transmitView() {
    return *m_transmit;
}

void Form1::buildMenu() {
    m_fileMenu = named(menuBar()->addMenu(QStringLiteral("Меню")), "mnu_File");
    m_captureItem = named(m_fileMenu->addAction(QStringLiteral("Запись")), "captureItem");
    m_captureItem->setCheckable(true);
    m_timelineItem = named(m_fileMenu->addAction(QStringLiteral("Хронология")), "timelineItem");
    m_scriptMenu =
        named(m_fileMenu->addMenu(QStringLiteral("Выполнить сценарий")), "runScriptMenu");
    m_scriptItems[0] =
        named(m_scriptMenu->addAction(QStringLiteral("Терминал 1")), "runScriptOnTerminal1");
    m_scriptItems[1] =
        named(m_scriptMenu->addAction(QStringLiteral("Терминал 2")), "runScriptOnTerminal2");
    m_fileMenu->addSeparator();
    m_exitItem = named(m_fileMenu->addAction(QStringLiteral("Выход")), "mnu_Exit");
    m_settingItem = named(menuBar()->addAction(QStringLiteral("Настройки")), "mnu_Setting");
    m_languageMenu = named(menuBar()->addMenu(QStringLiteral("Язык")), "mnu_lanq");
    QAction* russian = named(m_languageMenu->addAction(QStringLiteral("rus")), "mnu_rus");
    QAction* english = named(m_languageMenu->addAction(QStringLiteral("eng")), "mnu_eng");
    connect(m_captureItem, &QAction::triggered, this, &Form1::captureChosen);
    connect(m_timelineItem, &QAction::triggered, this, &Form1::timelineChosen);
    connect(m_exitItem, &QAction::triggered, this, &Form1::exitChosen);
    m_captureIndicator =
        named(new QLabel(QStringLiteral("\u25CF Запись"), menuBar()), "captureIndicator");
    m_captureIndicator->setStyleSheet(QStringLiteral("color: #c00000; padding: 0 6px;"));
    m_captureIndicator->hide();
    menuBar()->setCornerWidget(m_captureIndicator);
    connect(m_settingItem, &QAction::triggered, this, &Form1::settingsMenuChosen);
    connect(russian, &QAction::triggered, this, &Form1::russianChosen);
    connect(english, &QAction::triggered, this, &Form1::englishChosen);
}

void Form1::buildSettingsPanel(QWidget* client) {
    m_settingsPanel = place<CachedGroupBox>(client, "Frame1", QRect(840, 0, 9240, 4110),
                                       QStringLiteral("Настройки программы"));
    m_settingsPanel->setAutoFillBackground(true);
    m_folderCaption = place<QLabel>(m_settingsPanel, "Label1_0", QRect(180, 270, 3300, 240),
                                    QStringLiteral("Директория для хранения результатов"));
    m_folder = place<QLineEdit>(m_settingsPanel, "Text1", QRect(225, 540, 7215, 285));
    m_folderCaption->setBuddy(m_folder);
    m_changeFolder = place<QPushButton>(m_settingsPanel, "Command1", QRect(7560, 540, 1095, 285),
                                        QStringLiteral("Изменить"));
    connect(m_changeFolder, &QPushButton::clicked, this, &Form1::changeFolderClicked);
    m_settingsPanel->hide();
}

bool Form1::settingsPanelShown() const {
    return !m_settingsPanel->isHidden();
}

void Form1::showSettingsPanel(bool shown) {
    m_settingsPanel->setVisible(shown);
}

void Form1::setResultsFolderText(const QString& folder) {
    m_folder->setText(folder);
}

void Form1::showCapture(bool on, const QString& fileName) {
    m_captureItem->setChecked(on);
    m_captureIndicator->setVisible(on);
    const QString shown = QDir::toNativeSeparators(fileName);
    m_captureIndicator->setToolTip(shown);
    m_captureIndicator->setAccessibleDescription(shown);
}

void Form1::Lang_Setting(qint16 language, const QDateTime& now) {
    const CaptionSet* c = captionsFor(language);
    if (!c)
        return;
    m_fileMenu->setTitle(c->mnu_File);
    m_exitItem->setText(c->mnu_Exit);
    m_captureItem->setText(c->captureItem);
    m_timelineItem->setText(c->timelineItem);
    m_scriptMenu->setTitle(c->runScriptMenu);
    m_scriptItems[0]->setText(c->Frame2);
    m_scriptItems[1]->setText(c->Frame5);
    m_captureIndicator->setText(c->captureIndicator);
    m_settingItem->setText(c->mnu_Setting);
    m_languageMenu->setTitle(c->mnu_lanq);
    m_settingsPanel->setTitle(c->Frame1);
    m_folderCaption->setText(c->Label1_0);
    m_folderCaption->setFont(fontFitting(m_settingsPanel->font(),
                                         {{c->Label1_0, m_folderCaption->contentsRect().width()}},
                                         kSmallestPoints));
    m_changeFolder->setText(c->Command1);
    for (ChannelWidgets* channel : m_channels)
        channel->setCaptions(*c);
    const QDate today = now.date();
    setWindowTitle(::windowTitle(
        language, today, QLocale::system().dayName(today.dayOfWeek(), QLocale::LongFormat)));
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

#include "moc_Form1.cpp"
