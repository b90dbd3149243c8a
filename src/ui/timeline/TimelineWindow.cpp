#include "TimelineWindow.h"

#include "TimelineCaptions.h"
#include "TimelineDelegate.h"
#include "TimelineModel.h"
#include "capture/TimelineExport.h"
#include "ui/Captions.h"
#include "ui/SearchBar.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QShortcut>
#include <QSpinBox>
#include <QTableView>
#include <QTimeEdit>
#include <QVBoxLayout>

#include <algorithm>

namespace {

// A slice of reading or searching: short enough that the window never stalls.
constexpr int sliceMilliseconds = 15;
// How often a file that reached its end is looked at again, beside the watcher's word.
constexpr int growthCheckMilliseconds = 250;

template <class Widget> Widget* named(Widget* widget, const char* name) {
    widget->setObjectName(QLatin1String(name));
    return widget;
}

} // namespace

TimelineWindow::TimelineWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("timelineWindow"));
    resize(900, 600);
    m_model = new TimelineModel(this);
    auto* column = new QVBoxLayout(this);
    auto* controls = new QHBoxLayout;
    column->addLayout(controls);
    buildControls(controls);
    m_status = named(new QLabel(this), "timelineStatus");
    m_status->setTextFormat(Qt::PlainText);
    m_status->setWordWrap(true);
    column->addWidget(m_status);
    m_table = named(new QTableView(this), "timelineRows");
    m_table->setModel(m_model);
    m_table->setItemDelegate(new TimelineDelegate(*m_model, m_table));
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setWordWrap(false);
    m_table->setShowGrid(false);
    m_table->setAutoScroll(false);
    m_table->setTabKeyNavigation(false);
    m_table->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_table->verticalHeader()->hide();
    // Every row the same height: which rows of the file are in view is arithmetic.
    m_table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_table->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
    m_table->horizontalHeader()->setStretchLastSection(true);
    m_table->setColumnWidth(TimelineModel::TimeColumn, fontMetrics().horizontalAdvance("0") * 16);
    m_table->installEventFilter(this);
    m_table->viewport()->installEventFilter(this);
    m_scroll = named(new QScrollBar(Qt::Vertical, this), "timelineScroll");
    m_scroll->setSingleStep(1);
    connect(m_scroll, &QScrollBar::valueChanged, this, [this](int first) { showRowsFrom(first); });
    auto* rows = new QHBoxLayout;
    rows->setSpacing(0);
    rows->addWidget(m_table, 1);
    rows->addWidget(m_scroll);
    column->addLayout(rows, 1);
    m_searchBar = new SearchBar(this);
    column->addWidget(m_searchBar);

    m_watcher = new QFileSystemWatcher(this);
    connect(m_watcher, &QFileSystemWatcher::fileChanged, this, [this] {
        if (!m_reading.isActive() || m_reading.interval() > 0)
            m_reading.start(0);
    });
    connect(&m_reading, &QTimer::timeout, this, &TimelineWindow::readOn);
    connect(&m_searching, &QTimer::timeout, this, &TimelineWindow::searchOn);
    connect(&m_exporting, &QTimer::timeout, this, &TimelineWindow::exportOn);
    connect(m_model, &TimelineModel::portsChanged, this, &TimelineWindow::showPorts);

    auto* findShortcut = new QShortcut(QKeySequence::Find, this);
    connect(findShortcut, &QShortcut::activated, m_searchBar, &SearchBar::open);
    auto* next = new QShortcut(QKeySequence(Qt::Key_F3), this);
    connect(next, &QShortcut::activated, this, [this] { find(true); });
    auto* previous = new QShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F3), this);
    connect(previous, &QShortcut::activated, this, [this] { find(false); });
    connect(m_searchBar, &SearchBar::patternChanged, this, &TimelineWindow::searchChanged);
    connect(m_searchBar, &SearchBar::nextRequested, this, [this] { find(true); });
    connect(m_searchBar, &SearchBar::previousRequested, this, [this] { find(false); });
    connect(m_searchBar, &SearchBar::closed, this, [this] {
        m_model->setPattern({});
        m_searching.stop();
        m_table->setFocus();
    });
    setLanguage(0);
}

TimelineWindow::~TimelineWindow() = default;

void TimelineWindow::buildControls(QHBoxLayout* row) {
    const auto caption = [&](QWidget* buddy) {
        auto* label = new QLabel(this);
        label->setBuddy(buddy);
        row->addWidget(label);
        row->addWidget(buddy);
        return label;
    };
    m_timeMode = named(new QComboBox(this), "timeMode");
    m_timeMode->addItems({QString(), QString(), QString()});
    m_timeLabel = caption(m_timeMode);
    m_bytesMode = named(new QComboBox(this), "bytesMode");
    m_bytesMode->addItems({QString(), QString(), QString()});
    m_bytesLabel = caption(m_bytesMode);
    m_gap = named(new QSpinBox(this), "gapBox");
    m_gap->setRange(0, 60000);
    m_gap->setValue(20);
    m_gapLabel = caption(m_gap);
    m_portBoxes = new QHBoxLayout;
    row->addLayout(m_portBoxes);
    m_received = named(new QCheckBox(this), "showReceived");
    m_sent = named(new QCheckBox(this), "showSent");
    m_other = named(new QCheckBox(this), "showOther");
    for (QCheckBox* box : {m_received, m_sent, m_other}) {
        box->setChecked(true);
        row->addWidget(box);
        connect(box, &QCheckBox::toggled, this, &TimelineWindow::applyFilter);
    }
    m_goTo = named(new QTimeEdit(this), "goToTime");
    m_goTo->setDisplayFormat(QStringLiteral("HH:mm:ss.zzz"));
    m_goToLabel = caption(m_goTo);
    m_go = named(new QPushButton(this), "goToButton");
    row->addWidget(m_go);
    m_export = named(new QPushButton(this), "exportCsvButton");
    row->addWidget(m_export);
    row->addStretch(1);
    connect(m_go, &QPushButton::clicked, this, [this] { goToTime(m_goTo->time()); });
    connect(m_goTo, &QTimeEdit::editingFinished, this, [this] { goToTime(m_goTo->time()); });
    connect(m_export, &QPushButton::clicked, this, &TimelineWindow::exportCsv);
    connect(m_timeMode, &QComboBox::currentIndexChanged, this,
            [this](int mode) { m_model->setTimeMode(TimelineText::Time(mode)); });
    connect(m_bytesMode, &QComboBox::currentIndexChanged, this,
            [this](int mode) { m_model->setBytesMode(TimelineText::Bytes(mode)); });
    connect(m_gap, &QSpinBox::valueChanged, this, [this] { open(m_model->fileName()); });
}

void TimelineWindow::setLanguage(qint16 language) {
    m_language = language;
    const TimelineCaptions& c = timelineCaptions(language);
    setWindowTitle(c.title);
    m_table->setAccessibleName(c.title);
    m_timeLabel->setText(c.time);
    m_timeMode->setAccessibleName(c.timeName);
    m_bytesLabel->setText(c.bytes);
    m_bytesMode->setAccessibleName(c.bytesName);
    for (int i = 0; i < m_timeMode->count(); ++i)
        m_timeMode->setItemText(i, c.timeModes.value(i));
    for (int i = 0; i < m_bytesMode->count(); ++i)
        m_bytesMode->setItemText(i, c.bytesModes.value(i));
    m_gapLabel->setText(c.gap);
    m_gap->setAccessibleName(c.gapName);
    m_gap->setSuffix(c.gapSuffix);
    m_received->setText(c.received);
    m_sent->setText(c.sent);
    m_other->setText(c.other);
    m_goToLabel->setText(c.goTo);
    m_goTo->setAccessibleName(c.goToName);
    m_go->setText(c.go);
    m_export->setText(c.exportCsv);
    m_model->setHeaderTitles(c.columns);
    if (const CaptionSet* find = captionsFor(language))
        m_searchBar->setCaptions(*find);
    showStatus();
}

void TimelineWindow::showCapture(bool on, const QString& fileName) {
    m_followsCapture = true;
    m_captureOn = on;
    if (on && fileName != m_model->fileName())
        open(fileName);
    showStatus();
}

void TimelineWindow::openFile(const QString& fileName) {
    m_followsCapture = false;
    open(fileName);
}

void TimelineWindow::open(const QString& fileName) {
    if (!m_watcher->files().isEmpty())
        m_watcher->removePaths(m_watcher->files());
    // Both read the index the model is about to replace.
    m_exportRun.reset();
    m_exporting.stop();
    m_exportStatus.clear();
    m_search.reset();
    m_selection.clear();
    m_current = m_anchor = -1;
    m_model->open(fileName, qint64(m_gap->value()) * 1000);
    if (const TimelineIndex* index = m_model->timelineIndex()) {
        m_search = std::make_unique<TimelineSearch>(*index);
        m_watcher->addPath(fileName);
    }
    m_readingMore = m_model->timelineIndex() != nullptr;
    fitRows();
    applyFilter();
    searchChanged();
    if (isVisible())
        m_reading.start(0);
    showStatus();
}

void TimelineWindow::readOn() {
    const bool atBottom = m_scroll->value() == m_scroll->maximum();
    m_readingMore = m_model->readOn(sliceMilliseconds);
    fitRows();
    if (atBottom)
        m_scroll->setValue(m_scroll->maximum());
    m_reading.start(m_readingMore ? 0 : growthCheckMilliseconds);
    if (m_search && !m_model->pattern().isEmpty() && !m_searching.isActive())
        m_searching.start(0);
    showStatus();
}

void TimelineWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (m_model->timelineIndex())
        m_reading.start(0);
}

void TimelineWindow::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    m_reading.stop();
}

void TimelineWindow::showPorts() {
    const QStringList names = m_model->portNames();
    while (m_ports.size() > std::min<qsizetype>(names.size(), Timeline::maxPorts))
        delete m_ports.takeLast();
    for (qsizetype port = 0; port < names.size() && port < Timeline::maxPorts; ++port) {
        if (port == m_ports.size()) {
            auto* box = new QCheckBox(this);
            box->setObjectName(QStringLiteral("showPort%1").arg(port + 1));
            box->setChecked(true);
            connect(box, &QCheckBox::toggled, this, &TimelineWindow::applyFilter);
            m_portBoxes->addWidget(box);
            m_ports << box;
        }
        m_ports[port]->setText(TimelineText::portName(names, int(port)));
        m_ports[port]->setToolTip(names[port]);
    }
}

void TimelineWindow::applyFilter() {
    Timeline::Categories shown = 0;
    for (int port = 0; port < Timeline::maxPorts; ++port) {
        if (port < m_ports.size() && !m_ports[port]->isChecked())
            continue;
        const Timeline::Categories first = 1u << (port * Timeline::directions);
        if (m_received->isChecked())
            shown |= first << Timeline::received;
        if (m_sent->isChecked())
            shown |= first << Timeline::sent;
        if (m_other->isChecked())
            shown |= first << Timeline::other;
    }
    if (shown == m_model->shown())
        return;
    m_model->setShown(shown);
    // Rows of the file count shown rows, which are others now.
    m_selection.clear();
    m_current = m_anchor = -1;
    fitRows();
    searchChanged();
}

void TimelineWindow::showStatus() {
    QStringList lines;
    const TimelineIndex* index = m_model->timelineIndex();
    if (m_followsCapture && !m_captureOn)
        lines << timelineCaptions(m_language).captureOff;
    if (index) {
        const QString problem = index->problem();
        const QString file = QDir::toNativeSeparators(index->fileName());
        if (!problem.isEmpty())
            lines << file + QLatin1Char(' ') + problem;
        else if (lines.isEmpty())
            lines << file;
    }
    if (!m_exportStatus.isEmpty())
        lines << m_exportStatus;
    const QString status = lines.join(QLatin1Char('\n'));
    if (m_status->text() != status)
        m_status->setText(status);
}

QString TimelineWindow::selectedText() {
    QStringList lines;
    for (const auto& [first, end] : m_selection.ranges()) {
        for (qint64 row = first; row < end; ++row)
            lines << m_model->rowText(row);
    }
    return lines.join(QLatin1Char('\n'));
}

void TimelineWindow::goToTime(const QTime& time) {
    const TimelineIndex* index = m_model->timelineIndex();
    if (!index || m_model->rows() == 0)
        return;
    const qint64 first = index->places().front().microseconds;
    const QDateTime firstDay = QDateTime::fromMSecsSinceEpoch(first / 1000, Qt::LocalTime);
    qint64 target = QDateTime(firstDay.date(), time).toMSecsSinceEpoch() * 1000;
    // A time of day before the first row's is on the day after.
    if (target < first - 999)
        target = QDateTime(firstDay.date().addDays(1), time).toMSecsSinceEpoch() * 1000;
    qint64 row = m_model->rowAtTime(target);
    if (row < 0)
        row = m_model->rows() - 1;
    selectOnly(row, true);
}

void TimelineWindow::searchChanged() {
    const QByteArray pattern = m_searchBar->isVisible() ? m_searchBar->pattern() : QByteArray();
    m_model->setPattern(pattern);
    if (!m_search)
        return;
    m_search->setPattern(pattern, m_model->shown());
    m_finding = false;
    showMatchCount();
    if (pattern.isEmpty()) {
        m_searching.stop();
        return;
    }
    // The first match from the current row on.
    m_search->startFind({std::max<qint64>(m_current, 0), -1}, true);
    m_finding = true;
    m_searching.start(0);
}

void TimelineWindow::find(bool forward) {
    if (!m_search || m_model->pattern().isEmpty()) {
        m_searchBar->open();
        return;
    }
    m_search->startFind(m_model->currentMatch(), forward);
    m_finding = true;
    searchOn();
}

void TimelineWindow::searchOn() {
    if (!m_search)
        return;
    if (m_finding) {
        TimelineSearch::Match found;
        const TimelineSearch::Step step = m_search->findOn(sliceMilliseconds, found);
        if (step != TimelineSearch::Step::Searching)
            m_finding = false;
        if (step == TimelineSearch::Step::Found) {
            m_model->setCurrentMatch(found);
            selectOnly(found.row);
        }
    } else {
        m_search->count(sliceMilliseconds);
    }
    showMatchCount();
    const bool counting = m_search->total() < 0;
    if (m_finding || counting)
        m_searching.start(0);
    else
        m_searching.stop();
}

void TimelineWindow::showMatchCount() {
    if (!m_search || m_model->pattern().isEmpty())
        return m_searchBar->showMatches(0, -1);
    const qint64 total = m_search->total();
    const qint64 current = total > 0 ? m_search->ordinal(m_model->currentMatch()) : 0;
    m_searchBar->showMatches(int(std::max<qint64>(current, 0)), int(total));
}

void TimelineWindow::exportCsv() {
    const TimelineIndex* index = m_model->timelineIndex();
    if (!index || !m_seams.chooseSaveFile)
        return;
    const TimelineCaptions& c = timelineCaptions(m_language);
    const QFileInfo capture(index->fileName());
    const QString target = m_seams.chooseSaveFile(
        c.exportTitle, capture.dir().filePath(capture.completeBaseName() + QStringLiteral(".csv")));
    // The chooser may have let the file be replaced meanwhile.
    if (target.isEmpty() || m_model->timelineIndex() != index)
        return;
    m_exportRun = std::make_unique<TimelineExport>(*index, m_model->shown(), target);
    exportOn();
}

void TimelineWindow::exportOn() {
    if (!m_exportRun)
        return;
    const TimelineCaptions& c = timelineCaptions(m_language);
    const QString file = QDir::toNativeSeparators(m_exportRun->target());
    switch (m_exportRun->writeOn(sliceMilliseconds, !m_readingMore)) {
    case TimelineExport::Step::Writing:
        m_exportStatus = c.exporting.arg(file).arg(m_exportRun->percent());
        m_exporting.start(m_readingMore ? growthCheckMilliseconds / 10 : 0);
        break;
    case TimelineExport::Step::Done:
        m_exportStatus = c.exported.arg(m_exportRun->rowsWritten()).arg(file);
        m_exportRun.reset();
        break;
    case TimelineExport::Step::Failed: {
        const QString message = c.exportFailed.arg(file, m_exportRun->problem());
        m_exportRun.reset();
        m_exportStatus.clear();
        showStatus();
        if (m_seams.messageBox)
            m_seams.messageBox(c.title, message);
        return;
    }
    }
    showStatus();
}

#include "moc_TimelineWindow.cpp"
