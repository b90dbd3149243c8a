#pragma once

#include <QRect>
#include <QScrollBar>

// The log's scroll bar, repainted only when what it shows changes. A log growing at the bottom
// changes the range on every append, and then the value, while the slider, at its smallest
// and at the end already, stays where it was: redrawing the bar for that was a tenth of an
// append's cost.
class LogScrollBar : public QScrollBar {
public:
    explicit LogScrollBar(QWidget* parent = nullptr) : QScrollBar(Qt::Vertical, parent) {}

    // Changes made while a Batch lives are judged together when it ends.
    class Batch {
    public:
        explicit Batch(LogScrollBar* bar) : m_bar(bar) { ++m_bar->m_batches; }
        ~Batch() { m_bar->batchEnded(); }
        Batch(const Batch&) = delete;
        Batch& operator=(const Batch&) = delete;

    private:
        LogScrollBar* m_bar;
    };

protected:
    void sliderChange(SliderChange change) override;
    void paintEvent(QPaintEvent* event) override;

private:
    struct Look {
        QRect slider;
        bool atStart = false;
        bool atEnd = false;
        bool operator==(const Look& other) const {
            return slider == other.slider && atStart == other.atStart && atEnd == other.atEnd;
        }
    };
    Look look() const;
    void batchEnded();

    Look m_painted;
    bool m_everPainted = false;
    int m_batches = 0;
    bool m_changedInBatch = false;
};
