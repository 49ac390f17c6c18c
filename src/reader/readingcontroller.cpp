#include "reader/readingcontroller.h"

namespace {

bool isDelimiter(QChar c)
{
    return c == u'.' || c == u'!' || c == u'?';
}

bool isClosingQuote(QChar c)
{
    // Books from the web close quotations with the typographic mark as often as with '"'.
    return c == u'"' || c == QChar(0x201D);
}

bool isBlankOrBreak(QChar c)
{
    return c == u' ' || c == u'\r' || c == u'\n' || c == QChar::ParagraphSeparator ||
           c == QChar::LineSeparator;
}

} // namespace

int FindSentenceEnd(QStringView text, int start, const cSentenceEnds& ends, int from)
{
    const int length = int(text.size());
    // One pass for all three delimiters: searching for each separately would run to the
    // end of the book whenever one of them no longer occurs, for every sentence.
    int i = 0;
    int lastContent = 0;
    for (int at = qMax(start, 1); at <= length; ++at) {
        const QChar c = text[at - 1];
        if (isDelimiter(c)) {
            if (ends.endsAt(text, at - 1, from)) {
                i = at;
                break;
            }
            lastContent = at;
        } else if (cSentenceEnds::isLineBreak(c)) {
            if (lastContent != 0 && cSentenceEnds::paragraphBreakAt(text, at - 1))
                return lastContent;
        } else if (cSentenceEnds::isContent(c) &&
                   (lastContent != 0 || !cSentenceEnds::isClosingMark(c))) {
            lastContent = at;
        }
    }
    if (i == 0)
        return 0;
    while (i < length && isDelimiter(text[i]))
        ++i;
    if (i >= length)
        return length;
    if (isClosingQuote(text[i]))
        ++i;
    return i;
}

cReadingController::Start cReadingController::begin(const QString& text, int cursor,
                                                    const cSentenceEnds& ends, bool topNearEnd)
{
    m_text = text;
    m_ends = ends;
    const int n = int(text.size());
    int p = qBound(0, cursor, n);
    if (topNearEnd && p >= n - 5)
        p = 0;
    Start start;
    start.cursor = p;
    m_sentenceStart = p == 0 ? 1 : p;
    m_sentenceEnd = 0;
    start.text = p == 0 ? text : text.mid(p - 1);
    m_from = p == 0 ? 0 : p - 1;
    // A reading that begins on a sentence's own delimiter gives the Talker no sentence
    // there (it drops a delimiter that would begin one), so the highlight skips it too.
    while (m_sentenceStart <= n && isDelimiter(text[m_sentenceStart - 1]))
        ++m_sentenceStart;
    return start;
}

cReadingController::Range cReadingController::next()
{
    const int n = int(m_text.size());
    m_sentenceEnd = FindSentenceEnd(m_text, m_sentenceStart, m_ends, m_from);
    while (m_sentenceStart <= n && isBlankOrBreak(m_text[m_sentenceStart - 1]))
        ++m_sentenceStart;
    Range range{m_sentenceStart - 1, m_sentenceEnd - m_sentenceStart + 1};
    // Past the last delimiter the highlight stays put; stepping from 0 would send a later
    // piece of the same sentence back to the top of the book.
    m_sentenceStart = m_sentenceEnd == 0 ? n + 1 : m_sentenceEnd + 2;
    return range;
}
