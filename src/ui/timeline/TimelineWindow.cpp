#include "TimelineWindow.h"

#include "TimelineDelegate.h"
#include "TimelineModel.h"
#include "ui/SearchBar.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDateTime>
#include <QDir>
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

const QString captureOff =
    QStringLiteral("Capture is off: turn on Capture in the menu to record this session.");

template <class Widget>
Widget* named(Widget* widget, const char* name, const QString& accessibleName = {}) {
    widget->setObjectName(QLatin1String(name));
    if (!accessibleName.isEmpty())
        widget->setAccessibleName(accessibleName);
    return widget;
}

} // namespace

TimelineWindow::TimelineWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("timelineWindow"));
    setWindowTitle(QStringLiteral("Timeline"));
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
    m_table = named(new QTableView(this), "timelineRows", QStringLiteral("Timeline"));
    m_table->setModel(m_model);
    m_table->setItemDelegate(new TimelineDelegate(*m_model, m_table));
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setWordWrap(false);
    m_table->setShowGrid(false);
    m_table->verticalHeader()->hide();
    // Every row the same height: the view never measures the rows it does not show.
    m_table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_table->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
    m_table->horizontalHeader()->setStretchLastSection(true);
    m_table->setColumnWidth(TimelineModel::TimeColumn, fontMetrics().horizontalAdvance("0") * 16);
    m_table->installEventFilter(this);
    column->addWidget(m_table, 1);
    m_searchBar = new SearchBar(this);
    column->addWidget(m_searchBar);

    m_watcher = new QFileSystemWatcher(this);
    connect(m_watcher, &QFileSystemWatcher::fileChanged, this, [this] {
        if (!m_reading.isActive() || m_reading.interval() > 0)
            m_reading.start(0);
    });
    connect(&m_reading, &QTimer::timeout, this, &TimelineWindow::readOn);
    connect(&m_searching, &QTimer::timeout, this, &TimelineWindow::searchOn);
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
    showStatus();
}

TimelineWindow::~TimelineWindow() = default;

void TimelineWindow::buildControls(QHBoxLayout* row) {
    const auto caption = [&](const QString& text, QWidget* buddy) {
        auto* label = new QLabel(text, this);
        label->setBuddy(buddy);
        row->addWidget(label);
        row->addWidget(buddy);
    };
    m_timeMode = named(new QComboBox(this), "timeMode", QStringLiteral("Time"));
    m_timeMode->addItems({QStringLiteral("Time of day"), QStringLiteral("Since the first row"),
                          QStringLiteral("Since the row above")});
    caption(QStringLiteral("&Time"), m_timeMode);
    m_bytesMode = named(new QComboBox(this), "bytesMode", QStringLiteral("Bytes"));
    m_bytesMode->addItems({QStringLiteral("Text, \u240D\u240A"), QStringLiteral("Text, \\r\\n"),
                           QStringLiteral("Hex")});
    caption(QStringLiteral("&Bytes"), m_bytesMode);
    m_gap = named(new QSpinBox(this), "gapBox", QStringLiteral("Gap that ends a row, ms"));
    m_gap->setRange(0, 60000);
    m_gap->setValue(20);
    m_gap->setSuffix(QStringLiteral(" ms"));
    caption(QStringLiteral("&Gap"), m_gap);
    m_portBoxes = new QHBoxLayout;
    row->addLayout(m_portBoxes);
    m_received = named(new QCheckBox(QStringLiteral("Received"), this), "showReceived");
    m_sent = named(new QCheckBox(QStringLiteral("Sent"), this), "showSent");
    m_other = named(new QCheckBox(QStringLiteral("Lines, events"), this), "showOther");
    for (QCheckBox* box : {m_received, m_sent, m_other}) {
        box->setChecked(true);
        row->addWidget(box);
        connect(box, &QCheckBox::toggled, this, &TimelineWindow::applyFilter);
    }
    m_goTo = named(new QTimeEdit(this), "goToTime", QStringLiteral("Go to time"));
    m_goTo->setDisplayFormat(QStringLiteral("HH:mm:ss.zzz"));
    caption(QStringLiteral("G&o to"), m_goTo);
    auto* go = named(new QPushButton(QStringLiteral("Go"), this), "goToButton");
    row->addWidget(go);
    row->addStretch(1);
    connect(go, &QPushButton::clicked, this, [this] { goToTime(m_goTo->time()); });
    connect(m_goTo, &QTimeEdit::editingFinished, this, [this] { goToTime(m_goTo->time()); });
    connect(m_timeMode, &QComboBox::currentIndexChanged, this,
            [this](int mode) { m_model->setTimeMode(TimelineText::Time(mode)); });
    connect(m_bytesMode, &QComboBox::currentIndexChanged, this,
            [this](int mode) { m_model->setBytesMode(TimelineText::Bytes(mode)); });
    connect(m_gap, &QSpinBox::valueChanged, this, [this] { open(m_model->fileName()); });
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
    m_search.reset();
    m_model->open(fileName, qint64(m_gap->value()) * 1000);
    if (const TimelineIndex* index = m_model->timelineIndex()) {
        m_search = std::make_unique<TimelineSearch>(*index);
        m_watcher->addPath(fileName);
    }
    applyFilter();
    searchChanged();
    if (isVisible())
        m_reading.start(0);
    showStatus();
}

void TimelineWindow::readOn() {
    QScrollBar* bar = m_table->verticalScrollBar();
    const bool atBottom = bar->value() == bar->maximum();
    const bool more = m_model->readOn(sliceMilliseconds);
    if (atBottom)
        m_table->scrollToBottom();
    m_reading.start(more ? 0 : growthCheckMilliseconds);
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
    searchChanged();
}

void TimelineWindow::showStatus() {
    QString status;
    const TimelineIndex* index = m_model->timelineIndex();
    if (m_followsCapture && !m_captureOn)
        status = captureOff;
    if (index) {
        const QString problem = index->problem();
        const QString file = QDir::toNativeSeparators(index->fileName());
        if (!problem.isEmpty())
            status += (status.isEmpty() ? QString() : QStringLiteral("\n")) + file +
                      QLatin1Char(' ') + problem;
        else if (status.isEmpty())
            status = file;
    }
    if (m_status->text() != status)
        m_status->setText(status);
}

QString TimelineWindow::selectedText() const {
    QModelIndexList rows = m_table->selectionModel()->selectedRows();
    std::sort(rows.begin(), rows.end());
    QStringList lines;
    for (const QModelIndex& row : rows)
        lines << m_model->rowText(row.row());
    return lines.join(QLatin1Char('\n'));
}

bool TimelineWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_table && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->matches(QKeySequence::Copy)) {
        QApplication::clipboard()->setText(selectedText());
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void TimelineWindow::goToTime(const QTime& time) {
    const TimelineIndex* index = m_model->timelineIndex();
    if (!index || m_model->rowCount() == 0)
        return;
    const qint64 first = index->places().front().microseconds;
    const QDateTime firstDay = QDateTime::fromMSecsSinceEpoch(first / 1000, Qt::LocalTime);
    qint64 target = QDateTime(firstDay.date(), time).toMSecsSinceEpoch() * 1000;
    // A time of day before the first row's is on the day after.
    if (target < first - 999)
        target = QDateTime(firstDay.date().addDays(1), time).toMSecsSinceEpoch() * 1000;
    int row = m_model->rowAtTime(target);
    if (row < 0)
        row = m_model->rowCount() - 1;
    m_table->selectRow(row);
    m_table->scrollTo(m_model->index(row, 0), QAbstractItemView::PositionAtCenter);
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
    // The first match from the row selected on.
    const QModelIndex current = m_table->currentIndex();
    m_search->startFind({current.isValid() ? current.row() : 0, -1}, true);
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
            m_table->selectRow(int(found.row));
            m_table->scrollTo(m_model->index(int(found.row), TimelineModel::BytesColumn));
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
