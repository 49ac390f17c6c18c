#include "text/chapters.h"

#include "text/sharedhtml.h"

#include <QRegularExpression>

#include <algorithm>
#include <iterator>

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
                       "(?<number>[IVXLCDM]+|\\d+|[A-Z][A-Za-z]+(-[A-Za-z]+)?|"
                       "(?:the|THE)\\s+(?:FIRST|SECOND|THIRD|FOURTH|FIFTH|SIXTH|SEVENTH|EIGHTH|"
                       "NINTH|TENTH|LAST|First|Second|Third|Fourth|Fifth|Sixth|Seventh|Eighth|"
                       "Ninth|Tenth|Last))|"
                       "(?:(?<ordinal>FIRST|SECOND|THIRD|First|Second|Third)\\s+)?"
                       "(?<closing>EPILOGUE|Epilogue|PROLOGUE|Prologue))"
                       "(\\.|:|\\.?\\s*[.:\\x{2014}-]\\s*\\S.*)?$"));
    return re;
}

// A chapter numbered and nothing more: "IV" or "IV." on a line of its own.
const QRegularExpression& bareNumeral()
{
    static const QRegularExpression re(QStringLiteral("^(?<number>[IVXLC]+)\\.?$"));
    return re;
}

// A bare number's title, when one follows on a short line of its own.
constexpr qsizetype kLongestTitle = 60;

struct Heading {
    cChapter chapter;
    QString kind;  // "chapter", "book", "epilogue"..., in lower case
    QString key;   // the kind and its number, which a contents and the book share
    qsizetype end; // past the heading's line (and a bare number's title)
    bool bare = false;
};

struct Line {
    qsizetype start;
    qsizetype end;  // at its line break
    qsizetype next; // where the next line starts
};

Line lineAt(QStringView shown, qsizetype start)
{
    qsizetype end = start;
    while (end < shown.size() && !isBreak(shown[end]))
        ++end;
    qsizetype next = end + 1;
    if (end < shown.size() && shown[end] == u'\r' && next < shown.size() && shown[next] == u'\n')
        ++next;
    return {start, end, next};
}

bool blankLineAt(QStringView shown, qsizetype start)
{
    if (start >= shown.size())
        return true;
    const Line line = lineAt(shown, start);
    return isBlankLine(shown.sliced(start, line.end - start));
}

// The short line standing alone after a bare chapter number, within a few blank lines:
// "I" over "The Period". Empty when the chapter's text starts there.
Line titleAfter(QStringView shown, qsizetype from)
{
    for (int blanks = 0; from < shown.size() && blanks <= 3; ++blanks) {
        const Line line = lineAt(shown, from);
        const QStringView text = shown.sliced(from, line.end - from).trimmed();
        if (!text.isEmpty()) {
            if (text.size() <= kLongestTitle && blankLineAt(shown, line.next))
                return line;
            break;
        }
        from = line.next;
    }
    return {from, from, from};
}

// Bare numbers are chapters only where the book numbers them so from the first on: a
// lone "I." may be a line of dialogue.
QList<Heading> withCountedBareNumbers(const QList<Heading>& all)
{
    const bool counted = std::any_of(all.cbegin(), all.cend(), [](const Heading& h) {
        return h.bare && h.key == QLatin1String("chapter ii");
    });
    if (counted)
        return all;
    QList<Heading> kept;
    std::copy_if(all.cbegin(), all.cend(), std::back_inserter(kept),
                 [](const Heading& h) { return !h.bare; });
    return kept;
}

// A contents may list the book's parts on lines of their own, with the chapters on lines
// between them that are no headings: such a part is followed closely by another of its
// kind, with no chapter heading between.
constexpr qsizetype kListedPartReach = 2000;

QList<Heading> withoutListedParts(const QList<Heading>& all)
{
    QList<Heading> kept;
    for (qsizetype i = 0; i < all.size(); ++i) {
        const Heading& h = all[i];
        const bool part = h.kind == u"book" || h.kind == u"part" || h.kind == u"volume";
        if (part && i + 1 < all.size() && all[i + 1].kind == h.kind &&
            all[i + 1].chapter.position - h.end < kListedPartReach)
            continue;
        kept.append(h);
    }
    return kept;
}

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
    // Every line with where it starts; only a short one standing alone between blank lines
    // (or the text's ends) is looked at.
    bool blankBefore = true;
    for (qsizetype start = 0; start <= shown.size();) {
        const Line at = lineAt(shown, start);
        const QStringView line = shown.sliced(start, at.end - start);
        const bool blank = isBlankLine(line);
        if (blankBefore && !blank && line.size() <= kLongestHeading &&
            blankLineAt(shown, at.next)) {
            const QString trimmed = line.trimmed().toString();
            const qsizetype position = start + line.indexOf(trimmed.front());
            if (const QRegularExpressionMatch m = headingLine().match(trimmed); m.hasMatch()) {
                const bool closing = m.hasCaptured(u"closing");
                const QString kind =
                    (closing ? m.captured(u"closing") : m.captured(u"kind")).toLower();
                const QString number = closing ? m.captured(u"ordinal") : m.captured(u"number");
                headings.append(
                    {{trimmed, position}, kind, kind + u' ' + number.toLower(), at.end});
            } else if (const QRegularExpressionMatch bare = bareNumeral().match(trimmed);
                       bare.hasMatch()) {
                const Line title = titleAfter(shown, at.next);
                const QString number = bare.captured(u"number");
                const QStringView named = shown.sliced(title.start, title.end - title.start);
                headings.append(
                    {{named.isEmpty() ? trimmed
                                      : number + QStringLiteral(". ") + named.trimmed().toString(),
                      position},
                     QStringLiteral("chapter"),
                     QStringLiteral("chapter ") + number.toLower(),
                     named.isEmpty() ? at.end : title.end,
                     true});
            }
        }
        blankBefore = blank;
        start = at.next;
    }
    headings = withoutContents(shown, withCountedBareNumbers(headings));
    headings = withoutListedParts(headings);
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
