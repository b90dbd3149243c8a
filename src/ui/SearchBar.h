#pragma once

#include <QWidget>

class QLabel;
class QLineEdit;
class QToolButton;
struct CaptionSet;

// A small find bar: a box for what to look for, typed as text or as hex bytes, buttons for the
// next and previous match and to close, and how many matches there are.
class SearchBar : public QWidget {
    Q_OBJECT
public:
    explicit SearchBar(QWidget* parent = nullptr);
    // Shows the bar and puts the cursor in its box, the box's text selected.
    void open();
    // The bytes to look for: the text in the 8-bit character set, or with hex on the bytes typed
    // as hex ("41 54" or "4154"); empty when the box is empty or its hex is not whole bytes (or
    // its text holds a character the set lacks).
    QByteArray pattern() const;
    bool hexMode() const;
    // "3 of 12", "No match" or nothing; also announced to accessibility tools. A total of 0
    // says "No match" while there is something to look for; a negative total shows nothing.
    void showMatches(int current, int total);

    void setCaptions(const CaptionSet& captions);

signals:
    void patternChanged();    // typed, or hex switched
    void nextRequested();     // Enter, F3, the next button
    void previousRequested(); // Shift+Enter, Shift+F3, the previous button
    void closed();            // Escape or the close button; the bar hides itself

protected:
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void close();
    void showCount();

    QLineEdit* m_text = nullptr;
    QToolButton* m_hex = nullptr;
    QToolButton* m_previous = nullptr;
    QToolButton* m_next = nullptr;
    QToolButton* m_close = nullptr;
    QLabel* m_matches = nullptr;
    QString m_matchesFormat;
    QString m_noMatch;
    int m_current = 0;
    int m_total = -1;
};
