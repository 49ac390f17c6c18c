#include "speech/clsdict.h"

#include "diagnostics/failure.h"
#include "files/filesubs.h"
#include "text/sharedtext.h"
#include "util/programpaths.h"

#include <array>

namespace {

const QString kModule = QStringLiteral("clsDict");

// In the order the pairs are tried: a trailing separator in the outer loop, then every
// leading one.
constexpr std::array<char16_t, 10> kSeparators = {u',', u'.', u'\'', u'?', u'!',
                                                  u'-', u':', u';',  u' ', u'"'};

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

clsDict::WordList clsDict::parseWords(const QString& text, bool* truncated)
{
    WordList words;
    if (truncated)
        *truncated = false;
    qsizetype start = 0;
    const qsizetype n = text.size();
    while (start < n) {
        qsizetype end = text.indexOf(u'\n', start);
        if (end < 0)
            end = n;
        QStringView line = QStringView(text).mid(start, end - start);
        start = end + 1;
        while (line.endsWith(u'\r'))
            line.chop(1);
        const qsizetype comma = line.indexOf(u',');
        if (comma < 0)
            continue;
        if (words.size() >= MaxWords) {
            if (truncated)
                *truncated = true;
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
    QString text;
    if (!cSharedFileSubs::instance().LoadTextFile(fileName(), text))
        return;
    bool truncated = false;
    *m_words = parseWords(text, &truncated);
    if (truncated)
        noteFailure(Err::Overflow,
                    QStringLiteral("more than %1 pronunciations, the rest ignored").arg(MaxWords),
                    QStringLiteral("LoadWords"), kModule);
}

bool clsDict::SaveWords() const
{
    // WriteTextFile notes its own failures and leaves the old file whole.
    return cSharedFileSubs::instance().WriteTextFile(fileName(), formatWords(Words()));
}

QString clsDict::TranslateText(const QString& Sentence) const
{
    QString text = QChar(u' ') + Sentence;
    if (!m_words)
        return text;
    QString pattern;
    QString replacement;
    for (const auto& pair : *m_words) {
        if (!pair || !text.contains(pair->OriginalWord, Qt::CaseInsensitive))
            continue;
        const QString& original = pair->OriginalWord;
        const QString& spoken = pair->NewWord;
        for (const char16_t trailing : kSeparators) {
            for (const char16_t leading : kSeparators) {
                pattern.clear();
                pattern += QChar(leading);
                pattern += original;
                pattern += QChar(trailing);
                if (!text.contains(pattern, Qt::CaseInsensitive))
                    continue;
                replacement.clear();
                replacement += QChar(leading);
                replacement += spoken;
                replacement += QChar(trailing);
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
