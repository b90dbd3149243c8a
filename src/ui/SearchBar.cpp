#include "SearchBar.h"

#include "Captions.h"
#include "text/AnsiCodePage.h"
#include "text/TextConversions.h"

#include <QAccessible>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QStyle>
#include <QToolButton>

namespace {

QToolButton* button(QWidget* parent, const char* name) {
    auto* b = new QToolButton(parent);
    b->setObjectName(QLatin1String(name));
    b->setAutoRaise(true);
    b->setFocusPolicy(Qt::TabFocus);
    return b;
}

void describe(QWidget* w, const QString& caption) {
    w->setAccessibleName(caption);
    w->setToolTip(caption);
}

} // namespace

SearchBar::SearchBar(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("searchBar"));
    // It is laid over other controls: it paints a background of its own.
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Window);

    m_text = new QLineEdit(this);
    m_text->setObjectName(QStringLiteral("searchText"));
    m_text->setClearButtonEnabled(false);
    m_text->installEventFilter(this);
    m_hex = button(this, "searchHex");
    m_hex->setText(QStringLiteral("HEX"));
    m_hex->setCheckable(true);
    m_previous = button(this, "searchPrevious");
    m_previous->setArrowType(Qt::UpArrow);
    m_next = button(this, "searchNext");
    m_next->setArrowType(Qt::DownArrow);
    m_close = button(this, "searchClose");
    m_close->setIcon(style()->standardIcon(QStyle::SP_TitleBarCloseButton));
    m_matches = new QLabel(this);
    m_matches->setObjectName(QStringLiteral("searchMatches"));
    m_matches->setTextFormat(Qt::PlainText);

    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(2, 1, 2, 1);
    row->setSpacing(2);
    row->addWidget(m_text, 1);
    row->addWidget(m_hex);
    row->addWidget(m_previous);
    row->addWidget(m_next);
    row->addWidget(m_matches);
    row->addWidget(m_close);
    setFocusProxy(m_text);

    connect(m_text, &QLineEdit::textChanged, this, &SearchBar::patternChanged);
    connect(m_hex, &QToolButton::toggled, this, &SearchBar::patternChanged);
    connect(m_previous, &QToolButton::clicked, this, &SearchBar::previousRequested);
    connect(m_next, &QToolButton::clicked, this, &SearchBar::nextRequested);
    connect(m_close, &QToolButton::clicked, this, &SearchBar::close);
    if (const CaptionSet* english = captionsFor(0))
        setCaptions(*english);
    hide();
}

void SearchBar::open() {
    show();
    raise();
    m_text->setFocus(Qt::ShortcutFocusReason);
    m_text->selectAll();
}

QByteArray SearchBar::pattern() const {
    const QString typed = m_text->text();
    if (hexMode())
        return bytesOfHex(typed);
    for (const QChar c : typed) {
        if (ansi::codeOf(c) < 0)
            return {};
    }
    return ansi::encode(typed);
}

bool SearchBar::hexMode() const {
    return m_hex->isChecked();
}

void SearchBar::showMatches(int current, int total) {
    m_current = current;
    m_total = total;
    showCount();
}

void SearchBar::setCaptions(const CaptionSet& c) {
    describe(m_text, c.findText);
    m_text->setPlaceholderText(c.findItem);
    describe(m_hex, c.findHex);
    describe(m_previous, c.findPrevious);
    describe(m_next, c.findNext);
    describe(m_close, c.findClose);
    m_matchesFormat = c.findMatches;
    m_noMatch = c.findNoMatch;
    showCount();
}

void SearchBar::showCount() {
    QString shown;
    if (m_total > 0)
        shown = m_matchesFormat.arg(m_current).arg(m_total);
    else if (m_total == 0 && !m_text->text().isEmpty())
        shown = m_noMatch;
    if (shown == m_matches->text())
        return;
    m_matches->setText(shown);
    m_matches->setAccessibleName(shown);
    if (QAccessible::isActive() && isVisible()) {
        QAccessibleEvent changed(m_matches, QAccessible::NameChanged);
        QAccessible::updateAccessibility(&changed);
    }
}

void SearchBar::close() {
    hide();
    emit closed();
}

void SearchBar::keyPressEvent(QKeyEvent* event) {
    const bool back = event->modifiers() & Qt::ShiftModifier;
    switch (event->key()) {
    case Qt::Key_Escape:
        return close();
    case Qt::Key_F3:
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (back)
            emit previousRequested();
        else
            emit nextRequested();
        return;
    default:
        QWidget::keyPressEvent(event);
    }
}

bool SearchBar::eventFilter(QObject* watched, QEvent* event) {
    // The box would take Enter for itself; here it steps through the matches.
    if (watched == m_text && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter ||
            key->key() == Qt::Key_F3 || key->key() == Qt::Key_Escape) {
            keyPressEvent(static_cast<QKeyEvent*>(event));
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

#include "moc_SearchBar.cpp"
