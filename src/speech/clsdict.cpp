#include "speech/clsdict.h"

#include "diagnostics/failure.h"
#include "files/filesubs.h"
#include "speech/wordpositions.h"
#include "text/sharedtext.h"
#include "util/programpaths.h"

#include <algorithm>
#include <array>

namespace {

const QString kModule = QStringLiteral("clsDict");

// In the order the pairs are tried: a trailing separator in the outer loop, then every
// leading one. The first ten are the old list's, in its order; the rest let a word match
// where books put it too: at line breaks and tabs, inside typographic quotes, brackets
// and underscores, and next to dashes and slashes.
constexpr std::array<char16_t, 33> kSeparators = {
    u',',   u'.',   u'\'',  u'?',   u'!',   u'-',   u':',   u';',   u' ', u'"',   u'\t',
    u'\r',  u'\n',  0x2028, 0x2029, 0x00A0, u'(',   u')',   u'[',   u']', u'{',   u'}',
    0x2018, 0x2019, 0x201C, 0x201D, 0x00AB, 0x00BB, 0x2039, 0x203A, u'_', 0x2013, 0x2014};

} // namespace

QString clsDict::fileName()
{
    return ProgramPaths::programFile(QStringLiteral("pl2Dict.txt"));
}

const clsDict::WordList& clsDict::Words() const
{
    static const WordList none;
    return m_words ? *m_words : none;
}

void clsDict::ClearWords()
{
    m_words.reset();
}

bool clsDict::AddWordPair(const std::shared_ptr<clsWordPair>& WordPair)
{
    if (!m_words)
        m_words.emplace();
    if (m_words->size() >= MaxWords) {
        noteFailure(Err::Overflow, QStringLiteral("AddWordPair"), kModule);
        return false;
    }
    m_words->append(WordPair);
    return true;
}

clsDict::WordList clsDict::parseWords(const QString& text, qsizetype* restAt)
{
    WordList words;
    if (restAt)
        *restAt = -1;
    qsizetype start = 0;
    const qsizetype n = text.size();
    while (start < n) {
        qsizetype end = text.indexOf(u'\n', start);
        if (end < 0)
            end = n;
        const qsizetype lineStart = start;
        QStringView line = QStringView(text).mid(start, end - start);
        start = end + 1;
        while (line.endsWith(u'\r'))
            line.chop(1);
        const qsizetype comma = line.indexOf(u',');
        if (comma < 0)
            continue;
        if (words.size() >= MaxWords) {
            if (restAt)
                *restAt = lineStart;
            break;
        }
        auto pair = std::make_shared<clsWordPair>();
        pair->OriginalWord = line.left(comma).toString();
        pair->NewWord = line.mid(comma + 1).toString();
        words.append(std::move(pair));
    }
    return words;
}

QString clsDict::formatWords(const WordList& words)
{
    QString text;
    for (const auto& pair : words) {
        if (!pair)
            continue;
        text += cSharedText::trimSpaces(pair->OriginalWord);
        text += u',';
        text += cSharedText::trimSpaces(pair->NewWord);
        text += QStringLiteral("\r\n");
    }
    return text;
}

void clsDict::LoadWords()
{
    ClearWords();
    m_words.emplace();
    m_unloaded.clear();
    QString text;
    if (!cSharedFileSubs::instance().LoadTextFile(fileName(), text))
        return;
    qsizetype restAt = -1;
    *m_words = parseWords(text, &restAt);
    if (restAt >= 0) {
        m_unloaded = text.mid(restAt);
        noteFailure(Err::Overflow,
                    QStringLiteral("more than %1 pronunciations, the rest ignored").arg(MaxWords),
                    QStringLiteral("LoadWords"), kModule);
    }
}

bool clsDict::SaveWords() const
{
    // WriteTextFile notes its own failures and leaves the old file whole.
    return cSharedFileSubs::instance().WriteTextFile(fileName(), formatWords(Words()) + m_unloaded);
}

namespace {

bool isSeparator(char16_t c)
{
    return std::find(kSeparators.begin(), kSeparators.end(), c) != kSeparators.end();
}

// The working text in two forms: as it will be spoken, and case-folded for matching (the
// same length, one unit for one unit). Positions that follow a separator are indexed by
// their folded character, because every match starts at one of them.
class WorkingText {
public:
    // trace, when given, follows every replacement.
    explicit WorkingText(QString text, cTracedText* trace = nullptr)
        : m_text(std::move(text)), m_trace(trace)
    {
        refold();
    }
    bool usable() const { return m_folded.size() == m_text.size(); }
    const QString& text() const { return m_text; }

    // Whether word stands anywhere between two separators.
    bool standsAlone(QStringView word) const
    {
        if (word.isEmpty())
            return true;
        const auto range = std::equal_range(
            m_starts.begin(), m_starts.end(), std::pair<char16_t, qsizetype>(word[0].unicode(), 0),
            [](const auto& a, const auto& b) { return a.first < b.first; });
        for (auto it = range.first; it != range.second; ++it) {
            const qsizetype end = it->second + word.size();
            if (end < m_folded.size() && isSeparator(m_folded[end].unicode()) &&
                QStringView(m_folded).mid(it->second, word.size()) == word)
                return true;
        }
        return false;
    }

    // Every separator + word + separator, trailing separator in the outer loop, each
    // pattern replaced everywhere in one left-to-right pass without overlap.
    void replace(QStringView word, const QString& spoken)
    {
        const QString spokenFolded = spoken.toCaseFolded();
        const qsizetype length = word.size();
        std::vector<qsizetype> found = occurrences(word);
        for (const char16_t trailing : kSeparators) {
            for (const char16_t leading : kSeparators) {
                QString text;
                QString folded;
                qsizetype copied = 0;
                qsizetype nextFree = 0;
                std::vector<qsizetype> replaced;
                for (const qsizetype at : found) {
                    const qsizetype start = at - 1;
                    const qsizetype end = at + length;
                    if (start < nextFree || end >= m_folded.size() || m_folded[start] != leading ||
                        m_folded[end] != trailing)
                        continue;
                    text += QStringView(m_text).mid(copied, start - copied);
                    folded += QStringView(m_folded).mid(copied, start - copied);
                    text += QChar(leading) + spoken + QChar(trailing);
                    folded += QChar(leading) + spokenFolded + QChar(trailing);
                    copied = end + 1;
                    nextFree = end + 1;
                    if (m_trace)
                        replaced.push_back(at);
                }
                if (copied == 0)
                    continue;
                if (m_trace)
                    m_trace->replaceAll(replaced, length, spoken);
                text += QStringView(m_text).mid(copied);
                folded += QStringView(m_folded).mid(copied);
                m_text = std::move(text);
                m_folded = std::move(folded);
                found = occurrences(word);
            }
        }
        index();
    }

private:
    void refold()
    {
        m_folded = m_text.toCaseFolded();
        index();
    }
    void index()
    {
        m_starts.clear();
        for (qsizetype i = 1; i < m_folded.size(); ++i)
            if (isSeparator(m_folded[i - 1].unicode()))
                m_starts.emplace_back(m_folded[i].unicode(), i);
        std::sort(m_starts.begin(), m_starts.end());
    }
    std::vector<qsizetype> occurrences(QStringView word) const
    {
        std::vector<qsizetype> found;
        for (qsizetype at = QStringView(m_folded).indexOf(word); at >= 0;
             at = at < m_folded.size() ? QStringView(m_folded).indexOf(word, at + 1) : -1)
            found.push_back(at);
        return found;
    }

    QString m_text;
    cTracedText* m_trace;
    QString m_folded;
    std::vector<std::pair<char16_t, qsizetype>> m_starts;
};

} // namespace

const QString& clsDict::foldedOriginal(qsizetype index) const
{
    if (m_folded.size() < size_t(m_words->size()))
        m_folded.resize(size_t(m_words->size()));
    Folded& entry = m_folded[size_t(index)];
    const QString& original = m_words->at(index)->OriginalWord;
    if (entry.source != original || entry.source.isNull() != original.isNull()) {
        entry.source = original;
        entry.folded = original.toCaseFolded();
    }
    return entry.folded;
}

QString clsDict::TranslateText(const QString& Sentence) const
{
    return translate(Sentence, nullptr);
}

cTracedText clsDict::TranslateText(const cTracedText& Sentence) const
{
    cTracedText trace = Sentence;
    translate(Sentence.text(), &trace);
    return trace;
}

QString clsDict::translate(const QString& Sentence, cTracedText* trace) const
{
    if (trace)
        trace->prepend(u" ");
    if (!m_words || m_words->isEmpty())
        return QChar(u' ') + Sentence;
    // A blank at each end lets the first and the last word match; the one at the end stays
    // where it is through every replacement and is taken off again.
    const auto withoutEnd = [trace](QString text) {
        text.chop(1);
        if (trace)
            trace->chop(1);
        return text;
    };
    if (trace)
        trace->append(u" ");
    WorkingText working(QChar(u' ') + Sentence + QChar(u' '), trace);
    if (!working.usable())
        return withoutEnd(translateSlowly(working.text(), trace));
    for (qsizetype i = 0; i < m_words->size(); ++i) {
        const auto& pair = m_words->at(i);
        if (!pair)
            continue;
        const QString& word = foldedOriginal(i);
        if (word.size() != pair->OriginalWord.size()) {
            // A word whose folding changes its length; the plain rule from here on.
            QString rest = working.text();
            clsDict tail;
            tail.m_words.emplace(m_words->mid(i));
            return withoutEnd(tail.translateSlowly(rest, trace));
        }
        if (working.standsAlone(word))
            working.replace(word, pair->NewWord);
    }
    return withoutEnd(working.text());
}

QString clsDict::translateSlowly(QString text, cTracedText* trace) const
{
    if (!m_words)
        return text;
    QString pattern;
    QString replacement;
    for (const auto& pair : *m_words) {
        if (!pair || !text.contains(pair->OriginalWord, Qt::CaseInsensitive))
            continue;
        for (const char16_t trailing : kSeparators) {
            for (const char16_t leading : kSeparators) {
                pattern = QChar(leading) + pair->OriginalWord + QChar(trailing);
                if (!text.contains(pattern, Qt::CaseInsensitive))
                    continue;
                replacement = QChar(leading) + pair->NewWord + QChar(trailing);
                if (trace) {
                    // Where QString::replace below finds the pattern, one after another.
                    std::vector<qsizetype> found;
                    for (qsizetype at = text.indexOf(pattern, 0, Qt::CaseInsensitive); at >= 0;
                         at = text.indexOf(pattern, at + pattern.size(), Qt::CaseInsensitive))
                        found.push_back(at + 1);
                    trace->replaceAll(found, pair->OriginalWord.size(), pair->NewWord);
                }
                text.replace(pattern, replacement, Qt::CaseInsensitive);
            }
        }
    }
    return text;
}

clsDict& PronDict()
{
    static clsDict dict;
    return dict;
}
