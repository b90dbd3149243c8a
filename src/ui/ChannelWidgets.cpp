#include "ChannelWidgets.h"

#include "CachedGroupBox.h"
#include "Captions.h"
#include "ChannelLayout.h"
#include "Colours.h"
#include "ComboText.h"
#include "FittingFont.h"
#include "Lamp.h"
#include "LogFinder.h"
#include "LogView.h"
#include "Placement.h"
#include "SearchBar.h"
#include "SettingLists.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QShortcut>
#include <QTimer>

#include <limits>

namespace {

const char* const kLineNames[6] = {"RTS", "DTR", "CTS", "DSR", "DCD", "RI"};
const char* const kFieldCaptions[kSettingFieldCount] = {"COM",  "bps",  "parity",
                                                        "data", "stop", "control"};

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

QFont fontOf(const char* family, QFont::StyleHint hint, double points) {
    QFont font{QString::fromLatin1(family)};
    font.setStyleHint(hint);
    font.setPointSizeF(points);
    return font;
}

int valueOf(const QCheckBox* box) {
    switch (box->checkState()) {
    case Qt::Checked:
        return 1;
    case Qt::PartiallyChecked:
        return 2;
    default:
        return 0;
    }
}

} // namespace

ChannelWidgets::ChannelWidgets(const ChannelLayout& layout, QWidget* client)
    : ChannelView(client), m_number(layout.number) {
    buildFrame(layout, client);
    m_portPanel =
        place<CachedGroupBox>(m_frame, layout.portPanel, QLatin1String(layout.portPanelCaption));
    // The port panel keeps the platform's own colours.
    paintBackground(m_portPanel, QApplication::palette().color(QPalette::Window));
    buildPortPanel(layout);

    connect(m_commandBox, &QLineEdit::textChanged, this, &ChannelView::commandChanged);
    connect(m_insertButton, &QPushButton::clicked, this, &ChannelView::insertClicked);
    connect(m_runButton, &QPushButton::clicked, this, &ChannelView::runClicked);
    connect(m_clearButton, &QPushButton::clicked, this, &ChannelView::clearClicked);
    connect(m_emptyButton, &QPushButton::clicked, this, &ChannelView::emptyClicked);
    for (int f = 0; f < kSettingFieldCount; ++f) {
        QComboBox* box = m_combos[size_t(f)];
        connect(box, &QComboBox::activated, this, [this, f] {
            if (!m_typingEnds)
                emit settingPicked(f);
        });
        if (box->lineEdit()) {
            box->installEventFilter(this);
            box->lineEdit()->installEventFilter(this);
        }
    }
    connect(m_rtsBox, &QCheckBox::clicked, this, &ChannelView::rtsBoxClicked);
    connect(m_dtrBox, &QCheckBox::clicked, this, &ChannelView::dtrBoxClicked);
}

QString ChannelWidgets::commandText() const {
    return m_commandBox->text();
}

QString ChannelWidgets::endCodeText() const {
    return m_endCodeBox->text();
}

bool ChannelWidgets::endCodeChecked() const {
    return m_endCodeCheck->checkState() == Qt::Checked;
}

bool ChannelWidgets::showCommandChecked() const {
    return m_showCommand->checkState() == Qt::Checked;
}

bool ChannelWidgets::hexFormatChecked() const {
    return m_hexFormat->checkState() == Qt::Checked;
}

QString ChannelWidgets::insertCodeText() const {
    return m_insertCodeBox->text();
}

QString ChannelWidgets::settingFieldText(int field) const {
    return m_combos[size_t(field)]->currentText();
}

int ChannelWidgets::rtsBoxValue() const {
    return valueOf(m_rtsBox);
}

int ChannelWidgets::dtrBoxValue() const {
    return valueOf(m_dtrBox);
}

void ChannelWidgets::setFrameCaption(const QString& caption) {
    m_frame->setTitle(caption);
}

void ChannelWidgets::setInfoLine(const QString& text) {
    m_infoLine->setText(text);
}

void ChannelWidgets::appendToLog(const QByteArray& bytes) {
    m_log->appendBytes(bytes);
}

void ChannelWidgets::writeToLog(qint64 size, const std::function<void(char*)>& fill) {
    m_log->appendBytes(size, fill);
}

void ChannelWidgets::moveLogCaretToEnd() {
    m_log->moveCaretToEnd();
}

void ChannelWidgets::clearLog() {
    m_log->clear();
}

void ChannelWidgets::setCommandText(const QString& text) {
    m_commandBox->setText(text);
}

void ChannelWidgets::focusCommand() {
    m_commandBox->setFocus();
}

void ChannelWidgets::setCommandHex(const QString& hex) {
    if (m_hexBox)
        m_hexBox->setText(hex);
}

bool ChannelWidgets::setSettingFieldText(int field, const QString& text) {
    return setComboText(m_combos[size_t(field)], text);
}

void ChannelWidgets::setPortLamp(int colour) {
    m_portLamp->setFillColor(colour);
}

void ChannelWidgets::setLineLamp(int line, int colour) {
    m_lineLamps[size_t(line)]->setFillColor(colour);
}

void ChannelWidgets::setRtsBoxVisible(bool visible) {
    m_rtsBox->setVisible(visible);
}

void ChannelWidgets::setDtrBoxVisible(bool visible) {
    m_dtrBox->setVisible(visible);
}

void ChannelWidgets::setPortSummary(const QString& text) {
    // Made smaller rather than cut off; only below the smallest size does the middle give way.
    const int room = m_summary->contentsRect().width();
    const QFont font = fontFitting(m_summaryFont, {{text, room}}, kSmallestPoints);
    m_summary->setFont(font);
    m_summary->setText(QFontMetrics(font).elidedText(text, Qt::ElideMiddle, room));
}

void ChannelWidgets::setPortSummaryColour(int colour) {
    QPalette pal = m_summary->palette();
    pal.setColor(QPalette::WindowText, fromPacked(colour));
    m_summary->setPalette(pal);
}

void ChannelWidgets::describePorts(const QStringList& byNumber) {
    QComboBox* ports = m_combos[FieldPort];
    for (int i = 0; i < ports->count() && i < byNumber.size(); ++i) {
        ports->setItemData(i, byNumber[i], Qt::ToolTipRole);
        ports->setItemData(i, byNumber[i], Qt::AccessibleDescriptionRole);
    }
}

void ChannelWidgets::setPortDetails(const QString& details) {
    m_summary->setToolTip(details);
    m_summary->setAccessibleDescription(details);
}

void ChannelWidgets::showScriptRunning(bool running) {
    m_runScriptAction->setEnabled(!running);
    m_stopScriptAction->setVisible(running);
}

qint64 ChannelWidgets::logSize() const {
    return m_log->size();
}

QByteArray ChannelWidgets::logSlice(qint64 from, qint64 to) const {
    return m_log->logText().slice(from, to);
}

void ChannelWidgets::setCaptions(const CaptionSet& c) {
    const QString frame = m_number == 1 ? c.Frame2 : c.Frame5;
    m_frame->setTitle(frame);
    m_endCodeCheck->setText(c.Check3);
    m_showCommand->setText(c.Check5);
    m_hexFormat->setText(c.Check9);
    m_runButton->setText(c.Command3);
    m_clearButton->setText(c.Command4);
    m_insertButton->setText(c.Command8);
    m_findAction->setText(c.findItem);
    m_saveAction->setText(c.saveLogItem);
    m_runScriptAction->setText(c.runScriptItem);
    m_stopScriptAction->setText(c.stopScriptItem);
    m_searchBar->setCaptions(c);
}

bool ChannelWidgets::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_commandBox)
        return event->type() == QEvent::KeyPress &&
               commandKeyPressed(*static_cast<QKeyEvent*>(event));
    // Qt takes typed text that matches an entry for a choice of that entry when the typing
    // ends (Return, or leaving the box); only a choice from the list counts as a pick.
    const bool typingEnds = (event->type() == QEvent::FocusOut &&
                             static_cast<QFocusEvent*>(event)->reason() != Qt::PopupFocusReason) ||
                            (event->type() == QEvent::KeyPress &&
                             (static_cast<QKeyEvent*>(event)->key() == Qt::Key_Return ||
                              static_cast<QKeyEvent*>(event)->key() == Qt::Key_Enter));
    if (typingEnds && !m_typingEnds) {
        m_typingEnds = true;
        QTimer::singleShot(0, this, [this] { m_typingEnds = false; });
    }
    return ChannelView::eventFilter(watched, event);
}

bool ChannelWidgets::commandKeyPressed(const QKeyEvent& key) {
    // The keypad's keys count as the main ones; Return alone stays with the box, sending nothing.
    const Qt::KeyboardModifiers held = key.modifiers() & ~Qt::KeypadModifier;
    switch (key.key()) {
    case Qt::Key_Up:
        if (held != Qt::NoModifier)
            return false;
        emit olderCommandAsked();
        return true;
    case Qt::Key_Down:
        if (held != Qt::NoModifier)
            return false;
        emit newerCommandAsked();
        return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (held != Qt::ControlModifier)
            return false;
        emit runClicked();
        return true;
    default:
        return false;
    }
}

void ChannelWidgets::buildFrame(const ChannelLayout& l, QWidget* client) {
    m_frame = place<CachedGroupBox>(client, l.frame, QStringLiteral("Terminal"));
    paintBackground(m_frame, m_number == 1 ? kTerminal1Background : kTerminal2Background);
    QWidget* f = m_frame;

    m_endCodeBox = place<QLineEdit>(f, l.endCodeBox, QStringLiteral("13"));
    m_endCodeBox->setAccessibleName(QStringLiteral("End character code"));
    m_endCodeCheck =
        place<QCheckBox>(f, l.endCodeCheck, QStringLiteral("Character code command to complete"));
    m_endCodeCheck->setChecked(true);
    m_infoLine = place<QLabel>(f, l.infoLine);
    m_infoLine->setTextFormat(Qt::PlainText); // it repeats whatever is typed in the code box
    // Screen readers read what the line shows; this says what it is.
    m_infoLine->setAccessibleDescription(QStringLiteral("Character information"));
    m_insertCodeBox = place<QLineEdit>(f, l.insertCodeBox, QStringLiteral("255"));
    m_insertCodeBox->setAccessibleName(QStringLiteral("Character code to insert"));
    m_insertButton = place<QPushButton>(f, l.insertButton, QStringLiteral("Insert Char 0-255"));

    m_commandBox = place<QLineEdit>(f, l.commandBox, QStringLiteral("AT"));
    m_commandBox->setAccessibleName(QStringLiteral("Command"));
    m_commandBox->setAccessibleDescription(
        QStringLiteral("Up and Down: the commands sent before; Ctrl+Return: Run"));
    m_commandBox->installEventFilter(this);
    m_commandBox->setMaxLength(std::numeric_limits<int>::max());
    m_commandBox->setFont(fontOf("Courier New", QFont::Monospace, l.commandFontPoints));
    m_emptyButton = place<QPushButton>(f, l.emptyButton, QStringLiteral("*"));
    m_emptyButton->setAccessibleName(QStringLiteral("Empty the command"));
    m_runButton = place<QPushButton>(f, l.runButton, QStringLiteral("Run"));

    if (l.hexBox.name) {
        m_hexBox = place<QLineEdit>(f, l.hexBox, QStringLiteral("4154"));
        m_hexBox->setAccessibleName(QStringLiteral("Command in hex"));
        m_hexBox->setFont(fontOf("Terminal", QFont::Monospace, 9));
        QPalette pal = m_hexBox->palette();
        pal.setColor(QPalette::Base, kTerminal1Background);
        m_hexBox->setPalette(pal);
        m_hexBox->setFocusPolicy(Qt::ClickFocus);
    }

    m_log = place<LogView>(f, l.log);
    m_log->setAccessibleName(QStringLiteral("Log"));
    m_showCommand = place<QCheckBox>(f, l.showCommand, QStringLiteral("Show entered command"));
    m_hexFormat = place<QCheckBox>(f, l.hexFormat, QStringLiteral("HEX Format"));
    m_clearButton = place<QPushButton>(f, l.clearButton, QStringLiteral("Clear"));
    buildFinding(f);
}

void ChannelWidgets::buildFinding(QWidget* frame) {
    // Hidden it takes no room; open, it covers the bottom of the log.
    m_searchBar = new SearchBar(frame);
    const QRect log = m_log->geometry();
    const int height = m_searchBar->sizeHint().height();
    m_searchBar->setGeometry(log.left(), log.bottom() + 1 - height, log.width(), height);
    m_searchBar->layout()->activate();
    m_finder = new LogFinder(*m_log, *m_searchBar, [this] { return hexFormatChecked(); });
    connect(m_hexFormat, &QCheckBox::toggled, m_finder, [this] {
        if (m_searchBar->isVisible())
            m_finder->restart();
    });

    // Anywhere in the channel; in the log's menu too.
    m_findAction = new QAction(QStringLiteral("Find"), this);
    m_findAction->setObjectName(QStringLiteral("findInLog"));
    m_findAction->setShortcut(QKeySequence::Find);
    m_findAction->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    connect(m_findAction, &QAction::triggered, m_finder, &LogFinder::open);
    frame->addAction(m_findAction);
    m_log->addAction(m_findAction);
    m_saveAction = new QAction(QStringLiteral("Save as\u2026"), this);
    m_saveAction->setObjectName(QStringLiteral("saveLogAs"));
    connect(m_saveAction, &QAction::triggered, this, &ChannelView::saveLogChosen);
    m_log->addAction(m_saveAction);
    m_runScriptAction = new QAction(QStringLiteral("Run script\u2026"), this);
    m_runScriptAction->setObjectName(QStringLiteral("runScript"));
    connect(m_runScriptAction, &QAction::triggered, this, &ChannelView::runScriptChosen);
    m_log->addAction(m_runScriptAction);
    m_stopScriptAction = new QAction(QStringLiteral("Stop script"), this);
    m_stopScriptAction->setObjectName(QStringLiteral("stopScript"));
    m_stopScriptAction->setVisible(false);
    connect(m_stopScriptAction, &QAction::triggered, this, &ChannelView::stopScriptChosen);
    m_log->addAction(m_stopScriptAction);

    const auto step = [this](const QKeySequence& keys, void (LogFinder::*move)()) {
        auto* shortcut =
            new QShortcut(keys, m_frame, nullptr, nullptr, Qt::WidgetWithChildrenShortcut);
        connect(shortcut, &QShortcut::activated, m_finder, [this, move] {
            if (m_searchBar->isHidden())
                m_finder->open();
            else
                (m_finder->*move)();
        });
    };
    step(QKeySequence(Qt::Key_F3), &LogFinder::next);
    step(QKeySequence(Qt::SHIFT | Qt::Key_F3), &LogFinder::previous);
}

void ChannelWidgets::buildPortPanel(const ChannelLayout& l) {
    QGroupBox* panel = m_portPanel;
    std::array<QLabel*, kSettingFieldCount> captions{};
    for (int f = 0; f < kSettingFieldCount; ++f) {
        auto* caption = captions[size_t(f)] =
            place<QLabel>(panel, l.comboCaptions[f], QLatin1String(kFieldCaptions[f]));
        const bool left = f == FieldPort && l.portCaptionLeftAligned;
        caption->setAlignment((left ? Qt::AlignLeft : Qt::AlignRight) | Qt::AlignVCenter);
        m_combos[size_t(f)] =
            buildCombo(panel, elementName(l.comboName, f), l.combos[f], f, l.comboEditable[f]);
        caption->setBuddy(m_combos[size_t(f)]);
    }

    m_portLamp = place<Lamp>(panel, l.portLamp, kRed);
    m_portLamp->setAccessibleName(QStringLiteral("Port open"));
    m_portLamp->setAccessibleDescription(QStringLiteral("green: the port is open; red: closed"));

    m_rtsBox = place<QCheckBox>(panel, l.rtsBox);
    m_rtsBox->setAccessibleName(QStringLiteral("RTS"));
    m_dtrBox = place<QCheckBox>(panel, l.dtrBox);
    m_dtrBox->setAccessibleName(QStringLiteral("DTR"));
    m_dtrBox->setChecked(true);

    for (int i = 0; i < 6; ++i) {
        const QRect lamp = l.firstLineLamp.translated(0, l.lineLampStep * i);
        m_lineLamps[size_t(i)] =
            place<Lamp>(panel, qPrintable(elementName(l.lineLampName, i)), lamp, kOff);
        m_lineLamps[size_t(i)]->setAccessibleName(QLatin1String(kLineNames[i]));
        const QRect name = l.firstLineName.translated(0, l.lineNameStep * i);
        place<QLabel>(panel, qPrintable(elementName(l.lineNameName, i)), name,
                      QLatin1String(kLineNames[i]));
    }

    fitPortPanelTexts(captions);

    m_summary = place<QLabel>(panel, l.summary, QLatin1String(l.summary.name));
    m_summary->setTextFormat(Qt::PlainText);
    m_summary->setAlignment(Qt::AlignCenter);
    m_summaryFont = fontOf("MS Sans Serif", QFont::SansSerif, 9.75);
    m_summary->setFont(m_summaryFont);
}

void ChannelWidgets::fitPortPanelTexts(const std::array<QLabel*, kSettingFieldCount>& captions) {
    // One size for all six boxes, and one for their captions, so that the panel reads evenly.
    QList<TextRoom> entries;
    for (const QComboBox* box : m_combos)
        entries += entriesAndRoom(box);
    const QFont boxFont = fontFitting(m_portPanel->font(), entries, kSmallestPoints);
    for (QComboBox* box : m_combos)
        box->setFont(boxFont);
    QList<TextRoom> captionTexts;
    for (const QLabel* caption : captions)
        captionTexts.append({caption->text(), caption->contentsRect().width()});
    const QFont captionFont = fontFitting(m_portPanel->font(), captionTexts, kSmallestPoints);
    for (QLabel* caption : captions)
        caption->setFont(captionFont);
}

#include "moc_ChannelWidgets.cpp"
