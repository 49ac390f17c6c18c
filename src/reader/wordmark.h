#pragma once

#include <QColor>
#include <QElapsedTimer>
#include <QTimer>
#include <QWidget>

class QTextEdit;

// The word being spoken, underlined inside the highlighted sentence. The sentence is the
// box's selection, which the box paints over anything drawn into the text, so the mark is
// a thin bar of its own over the box's page; it moves with the page as it scrolls. A mark
// follows the last word it was given, at most once per kMinGapMs, the rhythm in which the
// reader lets a fast reading repaint: a word heard for less time than that would not be
// seen, and a reading far faster than speech spends its time on words rather than on
// marking them. The first word after a pause in the marking is marked at once.
class cWordMark : public QWidget {
    Q_OBJECT
public:
    static constexpr int kMinGapMs = 40;

    explicit cWordMark(QTextEdit* box);

    // The characters [start, start + length) of the box's document.
    void mark(int start, int length);
    void clear();
    // The word marked, or about to be; -1 when none.
    int markedStart() const { return m_start; }
    int markedLength() const { return m_length; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void place();

    QTextEdit* m_box;
    int m_start = -1;
    int m_length = 0;
    QColor m_colour;
    QElapsedTimer m_placed;
    QTimer m_later;
};
