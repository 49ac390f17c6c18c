#include "reader/skipping.h"

#include "reader/readingcontroller.h"

namespace {

bool isBlank(QChar c)
{
    return c == u' ' || c == u'\t' || cSentenceEnds::isLineBreak(c);
}

} // namespace

cSkipPlaces::cSkipPlaces(const QString& text, const cSentenceEnds& ends)
    : m_text(text), m_ends(ends)
{
}

int cSkipPlaces::contentFrom(int at) const
{
    const int n = int(m_text.size());
    while (at < n && isBlank(m_text[at]))
        ++at;
    return at;
}

int cSkipPlaces::contentBefore(int at) const
{
    --at;
    while (at >= 0 && isBlank(m_text[at]))
        --at;
    return at;
}

int cSkipPlaces::paragraphStart(int at) const
{
    for (int k = at - 1; k >= 0; --k) {
        if (cSentenceEnds::isLineBreak(m_text[k]) && cSentenceEnds::paragraphBreakAt(m_text, k))
            return contentFrom(k + 1);
    }
    return 0;
}

int cSkipPlaces::nextParagraph(int at) const
{
    const int n = int(m_text.size());
    for (int k = at; k < n; ++k) {
        if (cSentenceEnds::isLineBreak(m_text[k]) && cSentenceEnds::paragraphBreakAt(m_text, k)) {
            const int start = contentFrom(k + 1);
            return start < n ? start : kPastEnd;
        }
    }
    return kPastEnd;
}

std::vector<cSkipPlaces::Sentence> cSkipPlaces::sentencesFrom(int anchor, int until) const
{
    const int n = int(m_text.size());
    // The highlight's own walk, so that the places are the ones it would select.
    cReadingController walk;
    walk.begin(m_text, anchor, m_ends, false);
    std::vector<Sentence> sentences;
    for (;;) {
        const cReadingController::Range range = walk.next();
        if (range.start >= n)
            break;
        const int length = range.length > 0 ? range.length : n - range.start;
        // A run of blanks after the last delimiter is no sentence; the voice says nothing.
        if (contentFrom(range.start) < range.start + length)
            sentences.push_back({range.start, qMax(0, range.length)});
        if (range.length <= 0 || range.start > until)
            break;
    }
    return sentences;
}

int cSkipPlaces::step(int at, Step step) const
{
    const int n = int(m_text.size());
    const int lastContent = contentBefore(n);
    if (lastContent < 0)
        return step == Step::BackSentence || step == Step::BackParagraph ? 0 : kPastEnd;
    at = contentFrom(qBound(0, at, n));
    const int paragraph = paragraphStart(qMin(at, lastContent));
    const std::vector<Sentence> here = sentencesFrom(paragraph, at);
    // The sentence being read: the last one that starts at or before `at`.
    int current = -1;
    for (size_t i = 0; i < here.size() && here[i].start <= at; ++i)
        current = int(i);
    const int first = here.empty() ? paragraph : here.front().start;

    switch (step) {
    case Step::ForwardSentence:
        for (const Sentence& sentence : here) {
            if (sentence.start > at)
                return sentence.start;
        }
        return kPastEnd;
    case Step::ForwardParagraph: {
        const int next = nextParagraph(at);
        if (next == kPastEnd)
            return kPastEnd;
        const std::vector<Sentence> there = sentencesFrom(next, next);
        return there.empty() ? kPastEnd : there.front().start;
    }
    case Step::BackSentence:
    case Step::BackParagraph:
        break;
    }
    if (current >= 1)
        return step == Step::BackSentence ? here[size_t(current) - 1].start : first;
    const int before = contentBefore(paragraph);
    if (before < 0)
        return first;
    const std::vector<Sentence> previous = sentencesFrom(paragraphStart(before), before);
    int target = -1;
    for (const Sentence& sentence : previous) {
        if (sentence.start > before)
            break;
        target = sentence.start;
        if (step == Step::BackParagraph)
            break;
    }
    return target < 0 ? first : target;
}

int cSkipPlaces::sentenceLength(int start) const
{
    const std::vector<Sentence> sentences = sentencesFrom(start, start);
    return sentences.empty() || sentences.front().start != start ? 0 : sentences.front().length;
}
