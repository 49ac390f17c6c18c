#include "text/sharedhtml.h"

#include "diagnostics/failure.h"
#include "platform/textcodec.h"
#include "text/markup.h"
#include "text/sharedtext.h"

#include <QStringMatcher>

#include <algorithm>
#include <exception>
#include <new>

namespace {

const QString kModule = QStringLiteral("cHtml");

// The one failure handler of this class: the note goes to the action trail and the caller
// carries on with whatever the operation had finished.
template <typename Fn> void guarded(const char* procedure, Fn&& fn)
{
    try {
        fn();
    } catch (const std::bad_alloc&) {
        noteFailure(7, QStringLiteral("Out of memory"), QLatin1StringView(procedure), kModule);
    } catch (const std::exception& e) {
        noteFailure(Err::InvalidCall, QString::fromLocal8Bit(e.what()),
                    QLatin1StringView(procedure), kModule);
    }
}

bool isBlank(const QString& text)
{
    for (QChar c : text) {
        if (c != u' ')
            return false;
    }
    return true;
}

// The first match at or after from of an ASCII pattern that starts with a non-letter
// ("<BR>", "</head>", "&#"): a fast search for that first character does most of the work.
qsizetype findAscii(QStringView text, QLatin1StringView pattern, qsizetype from,
                    Qt::CaseSensitivity cs)
{
    const QChar first = QLatin1Char(pattern.front());
    const qsizetype last = text.size() - pattern.size();
    for (qsizetype at = text.indexOf(first, from); at >= 0 && at <= last;
         at = text.indexOf(first, at + 1)) {
        if (text.sliced(at, pattern.size()).compare(pattern, cs) == 0)
            return at;
    }
    return -1;
}

// Replaces every match that find(text, from) reports, left to right without overlap;
// replaced text is never searched again. A replacement no longer than the match is
// written in place, so large books are not copied for every step.
template <typename Find>
void replaceEach(QString& text, qsizetype length, QStringView with, Find find)
{
    qsizetype at = find(text, 0);
    if (at < 0)
        return;
    if (with.size() > length) {
        QString out;
        out.reserve(text.size() + text.size() / 8);
        qsizetype copied = 0;
        while (at >= 0) {
            out.append(QStringView(text).mid(copied, at - copied));
            out.append(with);
            copied = at + length;
            at = find(text, copied);
        }
        out.append(QStringView(text).mid(copied));
        text = out;
        return;
    }
    QChar* d = text.data();
    qsizetype w = at;
    qsizetype r = at;
    while (at >= 0) {
        w = std::copy(d + r, d + at, d + w) - d;
        w = std::copy(with.begin(), with.end(), d + w) - d;
        r = at + length;
        at = find(text, r);
    }
    w = std::copy(d + r, d + text.size(), d + w) - d;
    text.truncate(w);
}

void replaceAll(QString& text, const QString& lookFor, QStringView replaceWith,
                Qt::CaseSensitivity cs)
{
    if (lookFor.isEmpty())
        return;
    const QStringMatcher matcher(lookFor, cs);
    replaceEach(text, lookFor.size(), replaceWith,
                [&](const QString& t, qsizetype from) { return matcher.indexIn(t, from); });
}

void replaceAscii(QString& text, QLatin1StringView lookFor, QStringView replaceWith,
                  Qt::CaseSensitivity cs)
{
    replaceEach(text, lookFor.size(), replaceWith,
                [&](const QString& t, qsizetype from) { return findAscii(t, lookFor, from, cs); });
}

// Numeric references the conversion maps to plain punctuation on purpose, so that the
// voice reads them simply. They apply to these exact decimal spellings only.
QStringView tableReplacement(QStringView digits)
{
    struct Row {
        const char16_t* digits;
        const char16_t* text;
    };
    static constexpr Row kRows[] = {
        {u"8230", u"..."}, {u"8220", u"\""},     {u"8221", u"\""},     {u"8243", u"\""},
        {u"8216", u"'"},   {u"8217", u"'"},      {u"8242", u"'"},      {u"8212", u"-"},
        {u"8211", u"..."}, {u"8364", u"\u20AC"}, {u"8226", u"\u2022"},
    };
    for (const Row& row : kRows) {
        if (digits == QStringView(row.digits))
            return QStringView(row.text);
    }
    return {};
}

// Writes the character of a numeric reference at d and returns how many units it took
// (0, 1 or 2).
qsizetype writeCodePoint(QChar* d, quint32 code)
{
    if (code == 0)
        return 0; // a reference to nothing leaves nothing, as before
    if (code >= 128 && code <= 159) {
        *d = TextCodec::fromWin1252(static_cast<int>(code)); // as browsers do
        return 1;
    }
    if ((code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF) {
        *d = QChar(QChar::ReplacementCharacter);
        return 1;
    }
    if (QChar::requiresSurrogates(code)) {
        d[0] = QChar(QChar::highSurrogate(code));
        d[1] = QChar(QChar::lowSurrogate(code));
        return 2;
    }
    *d = QChar(static_cast<char16_t>(code));
    return 1;
}

int digitValue(QChar c, bool hex)
{
    const char16_t u = c.unicode();
    if (u >= '0' && u <= '9')
        return u - '0';
    if (hex && u >= 'a' && u <= 'f')
        return u - 'a' + 10;
    if (hex && u >= 'A' && u <= 'F')
        return u - 'A' + 10;
    return -1;
}

// The program's own entities and every numeric reference, in one left-to-right pass in
// place (every replacement is shorter than what it replaces). The named ones cannot
// overlap (they differ right after the "&") and nothing produced here contains "&", so
// one pass gives what a pass per entity would. "&#N;" and "&#xH;" become their
// characters; anything else that starts with "&#" (no digits, no ";" right after them) is
// not a reference and stays as it is.
//
// With withHtmlEntities the same pass first decodes the HTML entities, giving what
// cHtmlToChar followed by this would give: no HTML entity decodes to a character that can
// continue one of these references, and the "&" that "&amp;" leaves is tried as the start
// of one, as the second pass would.
void decodeConstants(QString& text, bool withHtmlEntities = false)
{
    struct Named {
        QLatin1StringView entity;
        QStringView replacement;
        Qt::CaseSensitivity cs;
    };
    static const Named kNamed[] = {
        {QLatin1StringView("&hellip;"), u"...", Qt::CaseInsensitive},
        {QLatin1StringView("&bull;"), u"\u2022", Qt::CaseInsensitive},
        {QLatin1StringView("&prime;"), u"'", Qt::CaseSensitive},
        {QLatin1StringView("&Prime;"), u"\"", Qt::CaseSensitive},
    };
    qsizetype i = text.indexOf(u'&');
    if (i < 0)
        return;
    const qsizetype n = text.size();
    QChar* d = text.data();
    qsizetype w = i;
    qsizetype r = i;
    // Copies the text before a reference that starts at i, then its replacement.
    auto replace = [&](qsizetype end, QStringView with) {
        w = std::copy(d + r, d + i, d + w) - d;
        w = std::copy(with.begin(), with.end(), d + w) - d;
        r = end;
    };
    bool ownOnly = false; // at an "&" that "&amp;" left
    for (; i >= 0 && i < n; i = QStringView(d, n).indexOf(u'&', i + 1), ownOnly = false) {
        if (withHtmlEntities && !ownOnly) {
            qsizetype end = 0;
            const char16_t ch = Markup::entityAt(QStringView(d, n), i, &end);
            if (ch == u'&') {
                w = std::copy(d + r, d + i, d + w) - d;
                d[end] = u'&';
                r = i = end;
                ownOnly = true;
            } else if (ch != 0) {
                replace(end + 1, QStringView(&ch, 1));
                i = end;
                continue;
            }
        }
        if (i + 1 < n && d[i + 1] != u'#') {
            for (const Named& named : kNamed) {
                const QStringView here(d + i, std::min(n - i, named.entity.size()));
                if (here.compare(named.entity, named.cs) == 0) {
                    replace(i + named.entity.size(), named.replacement);
                    i += named.entity.size() - 1;
                    break;
                }
            }
            continue;
        }
        if (i + 2 >= n)
            break;
        qsizetype j = i + 2;
        const bool hex = d[j] == u'x' || d[j] == u'X';
        if (hex)
            ++j;
        const qsizetype firstDigit = j;
        quint32 code = 0;
        int value;
        while (j < n && (value = digitValue(d[j], hex)) >= 0) {
            code = code > 0x10FFFF ? code : code * (hex ? 16 : 10) + static_cast<quint32>(value);
            ++j;
        }
        if (j == firstDigit || j >= n || d[j] != u';')
            continue;
        const QStringView mapped =
            hex ? QStringView() : tableReplacement(QStringView(d + firstDigit, j - firstDigit));
        if (!mapped.isNull()) {
            replace(j + 1, mapped);
        } else {
            QChar unit[2];
            replace(j + 1, QStringView(unit, writeCodePoint(unit, code)));
        }
        i = j;
    }
    w = std::copy(d + r, d + n, d + w) - d;
    text.truncate(w);
}

// Old texts end their lines in CR CR LF and Linux ones in a bare LF; both become CR LF so
// that every book shows one line break per line end.
void normaliseLineEnds(QString& text)
{
    const QStringView s(text);
    auto needsChange = [&](qsizetype lf) {
        return lf == 0 || s[lf - 1] != u'\r' || (lf >= 2 && s[lf - 2] == u'\r');
    };
    qsizetype lf = s.indexOf(u'\n');
    while (lf >= 0 && !needsChange(lf))
        lf = s.indexOf(u'\n', lf + 1);
    if (lf < 0)
        return;
    QString out;
    out.reserve(text.size() + text.size() / 16);
    qsizetype copied = 0;
    for (; lf >= 0; lf = s.indexOf(u'\n', lf + 1)) {
        if (!needsChange(lf))
            continue;
        const qsizetype cut = lf >= 2 && s[lf - 1] == u'\r' && s[lf - 2] == u'\r' ? lf - 1 : lf;
        if (cut < copied)
            continue;
        out.append(s.mid(copied, cut - copied));
        out.append(cut == lf ? u"\r\n" : u"\n");
        copied = lf + 1;
    }
    out.append(s.mid(copied));
    text = out;
}

// Style blocks cut out, in place. The next search begins one character after where the
// previous "</style>" stood in the text before its cut, as it always has; the positions
// are mapped onto the uncut text so that nothing is searched twice.
void removeStyleBlocks(QString& text)
{
    const QLatin1StringView open("<style>");
    const QLatin1StringView close("</style>");
    qsizetype from = 0;
    qsizetype w = -1;
    qsizetype r = 0;
    QChar* d = nullptr;
    for (;;) {
        const qsizetype at = findAscii(text, open, from, Qt::CaseInsensitive);
        if (at < 0)
            break;
        const qsizetype end = findAscii(text, close, at + 1, Qt::CaseInsensitive);
        if (end < 0)
            break;
        if (!d) {
            d = text.data();
            w = at;
        } else {
            w = std::copy(d + r, d + at, d + w) - d;
        }
        r = end + close.size();
        // One past the "</style>" in the cut text, seen through the uncut text.
        from = end + 1 + (end + close.size() - at);
        if (from >= text.size())
            break;
    }
    if (!d)
        return;
    w = std::copy(d + r, d + text.size(), d + w) - d;
    text.truncate(w);
}

} // namespace

cSharedHTML& cSharedHTML::instance()
{
    static cSharedHTML html;
    return html;
}

cSharedHTML::cSharedHTML()
{
    guarded("Initialise", [&] {
        QString probe = QStringLiteral("<b>Parlo</b>");
        Markup::cStripHTML(probe);
        m_libraryChecked = true;
    });
}

void cSharedHTML::HtmlToPlainText(QString& text)
{
    if (isBlank(text))
        return;
    TrimHeadTags(text);
    ConvertBR(text);
    // Tags go before entities are decoded: an escaped "&lt;" in a book is a character of
    // its text, and decoding it first would make it the start of a tag to strip.
    StripHtml(text);
    // HtmlToChar and HTMLConstToChar in one pass.
    if (!isBlank(text))
        guarded("HtmlToChar", [&] { decodeConstants(text, true); });
    normaliseLineEnds(text);
    replaceAscii(text, QLatin1StringView("\r\r"), u"\r\n", Qt::CaseSensitive);
    replaceAscii(text, QLatin1StringView("\n\n"), u"\r\n", Qt::CaseSensitive);
}

void cSharedHTML::TrimHeadTags(QString& text)
{
    const qsizetype at = findAscii(text, QLatin1StringView("</head>"), 0, Qt::CaseInsensitive);
    if (at >= 0)
        text.remove(0, at + 7);
}

void cSharedHTML::ConvertBR(QString& text)
{
    replaceAscii(text, QLatin1StringView("<BR>"), u"\r\n", Qt::CaseInsensitive);
}

void cSharedHTML::HtmlToChar(QString& text)
{
    if (isBlank(text))
        return;
    guarded("HtmlToChar", [&] { Markup::cHtmlToChar(text); });
}

void cSharedHTML::HTMLConstToChar(QString& text)
{
    if (isBlank(text))
        return;
    guarded("HTMLConstToChar", [&] { decodeConstants(text); });
}

void cSharedHTML::StripHtml(QString& text)
{
    if (isBlank(text))
        return;
    guarded("StripHtml", [&] {
        // Without both "<" and ">" there is no style block and no tag, and both steps leave
        // the text alone. They only ever shorten it in place, so a failure (which can only
        // come from taking a private copy of a shared text) loses nothing.
        removeStyleBlocks(text);
        Markup::cStripHTML(text);
        CutOffNull(text);
    });
}

void cSharedHTML::CutOffNull(QString& text)
{
    guarded("CutOffNull", [&] {
        const qsizetype at = text.indexOf(QChar(0));
        if (at >= 0)
            text.truncate(at);
    });
}

void cSharedHTML::CharToHtml(QString& text)
{
    if (isBlank(text))
        return;
    guarded("CharToHtml", [&] {
        QString out;
        out.reserve(text.size() + text.size() / 4);
        for (QChar c : std::as_const(text)) {
            switch (c.unicode()) {
            case u'"':
                out.append(u"&quot;");
                continue;
            case u' ':
                out.append(u"&nbsp;");
                continue;
            case u'<':
                out.append(u"&lt;");
                continue;
            case u'>':
                out.append(u"&gt;");
                continue;
            case 0x2013:
                out.append(u"&ndash;");
                continue;
            case 0x2014:
                out.append(u"&mdash;");
                continue;
            default:
                break;
            }
            const char16_t u = c.unicode();
            // No-break space, cent sign and sharp s have always been left as they are.
            if (u >= 161 && u <= 255 && u != 162 && u != 223) {
                out.append(u'&');
                out.append(Markup::latin1EntityName(u));
                out.append(u';');
            } else {
                out.append(c);
            }
        }
        text = out;
    });
}

void cSharedHTML::MyReplace(QString& text, const QString& lookFor, const QString& replaceWith,
                            bool matchCase)
{
    guarded("MyReplace", [&] {
        // Works on a copy: a failure half-way leaves the text as it was.
        QString replaced = text;
        replaceAll(replaced, lookFor, replaceWith,
                   matchCase ? Qt::CaseSensitive : Qt::CaseInsensitive);
        text = replaced;
    });
}

QString cSharedHTML::ByteArrayToString(const QByteArray& bytes)
{
    QString result;
    guarded("ByteArrayToString", [&] {
        const qsizetype zero = bytes.indexOf('\0');
        result = cSharedText::trimSpaces(TextCodec::decode(zero >= 0 ? bytes.left(zero) : bytes));
    });
    return result;
}
