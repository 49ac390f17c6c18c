#include "text/chapters.h"

#include "text/sharedhtml.h"

#include <QRegularExpression>

namespace {

bool isBreak(QChar c)
{
    return c == u'\n' || c == u'\r' || c == QChar::ParagraphSeparator || c == QChar::LineSeparator;
}

bool isBlankLine(QStringView line)
{
    return line.trimmed().isEmpty();
}

// A heading line is short: anything longer is prose that happens to start alike.
constexpr qsizetype kLongestHeading = 80;

const QRegularExpression& headingLine()
{
    static const QRegularExpression re(
        QStringLiteral("^(?:(?<kind>CHAPTER|Chapter|BOOK|Book|PART|Part|VOLUME|Volume)\\s+"
                       "(?<number>[IVXLCDM]+|\\d+|[A-Z][A-Za-z]+(-[A-Za-z]+)?)|"
                       "(?:(?<ordinal>FIRST|SECOND|THIRD|First|Second|Third)\\s+)?"
                       "(?<closing>EPILOGUE|Epilogue|PROLOGUE|Prologue))"
                       "(\\.|:|\\.?\\s*[.:\\x{2014}-]\\s*\\S.*)?$"));
    return re;
}

struct Heading {
    cChapter chapter;
    QString kind;  // "chapter", "book", "epilogue"..., in lower case
    QString key;   // the kind and its number, which a contents and the book share
    qsizetype end; // past the heading's line
};

bool onlyBlanks(QStringView shown, qsizetype from, qsizetype to)
{
    for (qsizetype i = from; i < to; ++i)
        if (!shown[i].isSpace())
            return false;
    return true;
}

// Headings of one kind one after another with no text between them are a table of
// contents; a part heading right over its first chapter is not.
bool kindRepeats(const QList<Heading>& headings, qsizetype from, qsizetype to)
{
    QStringList kinds;
    for (qsizetype i = from; i < to; ++i) {
        if (kinds.contains(headings[i].kind))
            return true;
        kinds << headings[i].kind;
    }
    return false;
}

QList<Heading> withoutContents(QStringView shown, const QList<Heading>& all)
{
    QList<Heading> kept;
    for (qsizetype i = 0; i < all.size();) {
        qsizetype j = i + 1;
        while (j < all.size() && onlyBlanks(shown, all[j - 1].end, all[j].chapter.position))
            ++j;
        qsizetype from = i;
        if (kindRepeats(all, i, j)) {
            // The book itself may begin right under its contents, with the contents' first
            // heading again.
            from = j;
            for (qsizetype k = j - 1; k > i; --k)
                if (all[k].key == all[i].key) {
                    from = kindRepeats(all, k, j) ? j : k;
                    break;
                }
        }
        kept.append(all.sliced(from, j - from));
        i = j;
    }
    return kept;
}

// Where chapter titles repeat from one part of the book to the next, a chapter is named
// with its part.
void nameByPart(QList<Heading>& headings)
{
    QStringList titles;
    bool repeat = false;
    for (const Heading& h : headings)
        if (h.kind == u"chapter") {
            repeat = repeat || titles.contains(h.key);
            titles << h.key;
        }
    if (!repeat)
        return;
    QString part;
    for (Heading& h : headings) {
        if (h.kind != u"chapter")
            part = h.chapter.title;
        else if (!part.isEmpty())
            h.chapter.title = part + QStringLiteral(" \u2014 ") + h.chapter.title;
    }
}

} // namespace

QList<cChapter> Chapters::inText(QStringView shown)
{
    QList<Heading> headings;
    // Every line with where it starts; only a short one after a blank one is looked at.
    qsizetype start = 0;
    bool blankBefore = true;
    const qsizetype n = shown.size();
    while (start <= n) {
        qsizetype end = start;
        while (end < n && !isBreak(shown[end]))
            ++end;
        const QStringView line = shown.sliced(start, end - start);
        qsizetype next = end + 1;
        if (end < n && shown[end] == u'\r' && next < n && shown[next] == u'\n')
            ++next;
        const bool blank = isBlankLine(line);
        if (blankBefore && !blank && line.size() <= kLongestHeading) {
            // The next line must be blank too (or the text end there).
            qsizetype after = next;
            while (after < n && !isBreak(shown[after]))
                ++after;
            const bool blankAfter = next >= n || isBlankLine(shown.sliced(next, after - next));
            const QString trimmed = line.trimmed().toString();
            const QRegularExpressionMatch m = headingLine().match(trimmed);
            if (blankAfter && m.hasMatch()) {
                const bool closing = m.hasCaptured(u"closing");
                const QString kind =
                    (closing ? m.captured(u"closing") : m.captured(u"kind")).toLower();
                const QString number = closing ? m.captured(u"ordinal") : m.captured(u"number");
                headings.append({{trimmed, start + line.indexOf(trimmed.front())},
                                 kind,
                                 kind + u' ' + number.toLower(),
                                 end});
            }
        }
        blankBefore = blank;
        start = next;
    }
    headings = withoutContents(shown, headings);
    nameByPart(headings);
    QList<cChapter> found;
    for (const Heading& h : headings)
        found.append(h.chapter);
    return found;
}

namespace {

// Past a mention of the title, a heading further on is still looked for within this reach.
constexpr qsizetype kHeadingReach = 5000;

bool isSpace(QChar c)
{
    return c.isSpace();
}

// Whether the words stand at at, separated by blanks or line ends.
bool wordsAt(QStringView shown, qsizetype at, const QStringList& words)
{
    for (qsizetype i = 0; i < words.size(); ++i) {
        if (i > 0) {
            const qsizetype blanks = at;
            while (at < shown.size() && isSpace(shown[at]))
                ++at;
            if (at == blanks)
                return false;
        }
        const QString& word = words[i];
        if (shown.size() - at < word.size() ||
            shown.sliced(at, word.size()).compare(word, Qt::CaseInsensitive) != 0)
            return false;
        at += word.size();
    }
    return true;
}

bool startsLine(QStringView shown, qsizetype at)
{
    while (at > 0 && (shown[at - 1] == u' ' || shown[at - 1] == u'\t'))
        --at;
    return at == 0 || isBreak(shown[at - 1]);
}

} // namespace

qsizetype Chapters::find(QStringView shown, const QString& title, qsizetype from)
{
    const QStringList words = title.simplified().split(u' ', Qt::SkipEmptyParts);
    if (words.isEmpty())
        return -1;
    // A heading starts its line; the same words inside a paragraph are a mention of it,
    // taken only when no heading follows soon after.
    qsizetype mention = -1;
    for (qsizetype at = shown.indexOf(words.first(), from, Qt::CaseInsensitive); at >= 0;
         at = shown.indexOf(words.first(), at + 1, Qt::CaseInsensitive)) {
        if (mention >= 0 && at - mention > kHeadingReach)
            break;
        if (!wordsAt(shown, at, words))
            continue;
        if (startsLine(shown, at))
            return at;
        if (mention < 0)
            mention = at;
    }
    return mention;
}

QList<cChapter> Chapters::inHtml(QStringView markup, QStringView shown)
{
    static const QRegularExpression heading(QStringLiteral("<h([1-3])\\b[^>]*>(.*?)</h\\1\\s*>"),
                                            QRegularExpression::CaseInsensitiveOption |
                                                QRegularExpression::DotMatchesEverythingOption);
    static const QRegularExpression tag(QStringLiteral("<[^>]*>"));
    QList<cChapter> found;
    qsizetype from = 0;
    for (auto it = heading.globalMatch(markup); it.hasNext();) {
        QString title = it.next().captured(2);
        title.replace(tag, QStringLiteral(" "));
        cSharedHTML::instance().HtmlToChar(title);
        title = title.simplified();
        if (title.isEmpty())
            continue;
        const qsizetype at = find(shown, title, from);
        if (at < 0)
            continue;
        found.append({title, at});
        from = at + 1;
    }
    return found;
}
