#include "library/cataloguesearch.h"

namespace CatalogueSearch {

namespace {

// Letters that carry no combining mark to remove but that readers type plainly.
const char16_t* plainLetters(char16_t c)
{
    switch (c) {
    case u'ß':
        return u"ss";
    case u'æ':
        return u"ae";
    case u'œ':
        return u"oe";
    case u'ø':
        return u"o";
    case u'đ':
    case u'ð':
        return u"d";
    case u'þ':
        return u"th";
    case u'ł':
        return u"l";
    case u'ı':
        return u"i";
    case u'\u2018':
    case u'\u2019':
        return u"'";
    default:
        return nullptr;
    }
}

bool isAscii(QStringView text)
{
    for (QChar c : text) {
        if (c.unicode() >= 0x80)
            return false;
    }
    return true;
}

void appendBlank(QString& folded, qsizetype start)
{
    if (folded.size() > start && !folded.endsWith(u' '))
        folded += u' ';
}

} // namespace

QString fold(QStringView text)
{
    QString folded;
    folded.reserve(text.size());
    foldAppend(folded, text);
    return folded;
}

void foldAppend(QString& folded, QStringView text)
{
    const qsizetype start = folded.size();
    if (isAscii(text)) {
        for (QChar c : text) {
            if (c.isSpace())
                appendBlank(folded, start);
            else
                folded += c.toLower();
        }
    } else {
        // Compatibility decomposition parts letters from their accents and ligatures into
        // their letters; the marks are then dropped.
        const QString decomposed =
            text.toString().normalized(QString::NormalizationForm_KD).toCaseFolded();
        for (QChar c : decomposed) {
            if (c.isMark())
                continue;
            if (c.isSpace())
                appendBlank(folded, start);
            else if (const char16_t* plain = plainLetters(c.unicode()))
                folded += QStringView(plain);
            else
                folded += c;
        }
    }
    if (folded.size() > start && folded.endsWith(u' '))
        folded.chop(1);
}

QStringList queryWords(QStringView query)
{
    return fold(query).split(u' ', Qt::SkipEmptyParts);
}

bool matchesFolded(const QStringList& words, QStringView foldedTitle, QStringView foldedAuthor)
{
    for (const QString& word : words) {
        if (!foldedTitle.contains(word) && !foldedAuthor.contains(word))
            return false;
    }
    return true;
}

bool matches(QStringView query, QStringView title, QStringView author)
{
    return matchesFolded(queryWords(query), fold(title), fold(author));
}

bool hasLanguage(QStringView languages, QStringView code)
{
    const QStringView wanted = code.trimmed();
    if (wanted.isEmpty())
        return true;
    // Called for every row on every keystroke: no lists made.
    qsizetype start = 0;
    while (start <= languages.size()) {
        qsizetype end = start;
        while (end < languages.size() && languages[end] != u';' && languages[end] != u',')
            ++end;
        if (languages.sliced(start, end - start).trimmed().compare(wanted, Qt::CaseInsensitive) ==
            0)
            return true;
        start = end + 1;
    }
    return false;
}

} // namespace CatalogueSearch
