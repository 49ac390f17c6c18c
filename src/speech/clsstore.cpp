#include "speech/clsstore.h"

#include "text/sharedtext.h"

void clsStore::StoreInSentences(const QString& text)
{
    m_text = text;
    m_slices.clear();
    m_nextIndex = 0;
    const qsizetype n = m_text.size();
    if (n == 0)
        return;
    const QChar* data = m_text.constData();
    qsizetype start = 0;
    // The last character of the current sentence that trimming would keep; a blank line
    // ends the sentence there, and one with nothing to say yet runs on.
    qsizetype lastContent = -1;
    for (qsizetype c = 0; c < n; ++c) {
        const char16_t ch = data[c].unicode();
        // Letters and most other characters sort above all three delimiters and below the
        // two Unicode line breaks.
        if (ch > u'?' && ch < 0x2028) {
            if (lastContent >= start || !cSentenceEnds::isClosingMark(data[c]))
                lastContent = c;
            continue;
        }
        if (ch != u'.' && ch != u'?' && ch != u'!') {
            if (!cSentenceEnds::isLineBreak(data[c])) {
                if (cSentenceEnds::isContent(data[c]) &&
                    (lastContent >= start || !cSentenceEnds::isClosingMark(data[c])))
                    lastContent = c;
            } else if (lastContent >= start && cSentenceEnds::paragraphBreakAt(m_text, c)) {
                m_slices.push_back({start, lastContent - start + 1});
                start = lastContent + 1;
            }
            continue;
        }
        if (!m_ends.endsAt(m_text, c)) {
            lastContent = c;
            continue;
        }
        if (c != start)
            m_slices.push_back({start, c - start + 1});
        start = c + 1;
    }
    // The rest is a sentence of its own unless the text ends with a full stop that ended
    // one; after a final "?" or "!" it is empty, which ends the reading there.
    if (start < n || data[n - 1] != u'.')
        m_slices.push_back({start, n - start});
}

QStringView clsStore::sentence(int index) const
{
    if (index < 0 || index >= count())
        return {};
    const Slice& slice = m_slices[static_cast<size_t>(index)];
    return QStringView(m_text).mid(slice.start, slice.length);
}

QStringList clsStore::Sentences() const
{
    QStringList result;
    result.reserve(count());
    for (int i = 0; i < count(); ++i)
        result << sentence(i).toString();
    return result;
}

QString clsStore::NextSentence()
{
    qsizetype start = 0;
    return NextSentence(start);
}

QString clsStore::NextSentence(qsizetype& start)
{
    ++m_nextIndex;
    start = m_text.size();
    if (m_nextIndex > count())
        return {};
    const QStringView whole = sentence(m_nextIndex - 1);
    QString text = cSharedText::trimSpaces(whole.toString());
    qsizetype lead = 0;
    while (lead < whole.size() && whole[lead] == u' ')
        ++lead;
    const qsizetype trimmed = text.size();
    cSharedText::EatCrapFromStart(text);
    // Only the ends are taken off, so the rest of the sentence is where it was.
    start = m_slices[size_t(m_nextIndex - 1)].start + lead + (trimmed - text.size());
    cSharedText::EatCrapFromEnd(text);
    return text;
}
