#include "reader/wordmark.h"

#include <QPainter>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>

cWordMark::cWordMark(QTextEdit* box) : QWidget(box->viewport()), m_box(box)
{
    setObjectName(QStringLiteral("wordMark"));
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
    hide();
    m_later.setSingleShot(true);
    connect(&m_later, &QTimer::timeout, this, &cWordMark::place);
}

void cWordMark::mark(int start, int length)
{
    m_start = start;
    m_length = length;
    if (m_later.isActive())
        return;
    const qint64 since = m_placed.isValid() ? m_placed.elapsed() : kMinGapMs;
    if (since >= kMinGapMs)
        place();
    else
        m_later.start(int(kMinGapMs - since));
}

void cWordMark::clear()
{
    m_later.stop();
    m_start = -1;
    m_length = 0;
    hide();
}

void cWordMark::place()
{
    m_placed.start();
    const QTextDocument* doc = m_box->document();
    const int last = doc->characterCount() - 1;
    if (m_start < 0 || m_length <= 0 || m_start >= last) {
        hide();
        return;
    }
    QTextCursor from(m_box->document());
    from.setPosition(m_start);
    QTextCursor to(from);
    to.setPosition(qMin(m_start + m_length, last));
    const QRect a = m_box->cursorRect(from);
    const QRect b = m_box->cursorRect(to);
    // A word broken over two lines is marked on the first.
    const int right = b.top() == a.top() ? b.left() : m_box->viewport()->width();
    const int thickness = qMax(2, a.height() / 10);
    setGeometry(a.left(), a.bottom() - thickness + 1, qMax(1, right - a.left()), thickness);
    // Inside the highlighted sentence in the colour of its letters; elsewhere (the pieces
    // of a sentence with voice tags run ahead) in the highlight's own.
    const QTextCursor sentence = m_box->textCursor();
    const bool inside =
        sentence.selectionStart() <= m_start && m_start + m_length <= sentence.selectionEnd();
    m_colour = m_box->palette().color(QPalette::Active,
                                      inside ? QPalette::HighlightedText : QPalette::Highlight);
    show();
    update();
}

void cWordMark::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), m_colour);
}
