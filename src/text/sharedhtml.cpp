#include "text/sharedhtml.h"

#include "diagnostics/failure.h"
#include "platform/textcodec.h"
#include "text/markup.h"
#include "text/sharedtext.h"

#include <QStringMatcher>

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

// One left-to-right pass; matches never overlap and replaced text is never searched again.
QString replaceAll(const QString& text, const QString& lookFor, const QString& replaceWith,
                   Qt::CaseSensitivity cs)
{
    if (lookFor.isEmpty())
        return text;
    const QStringMatcher matcher(lookFor, cs);
    qsizetype at = matcher.indexIn(text, 0);
    if (at < 0)
        return text;
    QString out;
    out.reserve(text.size());
    qsizetype copied = 0;
    while (at >= 0) {
        out.append(QStringView(text).mid(copied, at - copied));
        out.append(replaceWith);
        copied = at + lookFor.size();
        at = matcher.indexIn(text, copied);
    }
    out.append(QStringView(text).mid(copied));
    return out;
}

// Numeric references the conversion maps to plain punctuation on purpose, so that the
// voice reads them simply. They apply to these exact decimal spellings only.
QString tableReplacement(QStringView digits, bool* found)
{
    struct Row {
        const char16_t* digits;
        const char16_t* text;
    };
    static constexpr Row kRows[] = {
        {u"8230", u"..."}, {u"8220", u"\""}, {u"8221", u"\""},     {u"8243", u"\""},
        {u"8216", u"'"},   {u"8217", u"'"},  {u"8242", u"'"},      {u"8212", u"-"},
        {u"8211", u"..."}, {u"8364", u"€"},  {u"8226", u"\u2022"},
    };
    for (const Row& row : kRows) {
        if (digits == QStringView(row.digits)) {
            *found = true;
            return QString::fromUtf16(row.text);
        }
    }
    *found = false;
    return {};
}

void appendCodePoint(QString& out, quint32 code)
{
    if (code == 0)
        return; // a reference to nothing leaves nothing, as before
    if (code >= 128 && code <= 159)
        out.append(TextCodec::fromWin1252(static_cast<int>(code))); // as browsers do
    else if ((code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF)
        out.append(QChar(QChar::ReplacementCharacter));
    else
        out.append(QString::fromUcs4(reinterpret_cast<const char32_t*>(&code), 1));
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

// "&#N;" and "&#xH;" become their characters in one pass. Anything else that starts with
// "&#" (no digits, no ";" right after them) is not a reference and stays as it is.
QString decodeNumericReferences(const QString& text)
{
    const QChar* s = text.constData();
    const qsizetype n = text.size();
    QString out;
    out.reserve(n);
    qsizetype copied = 0;
    for (qsizetype i = 0; i + 2 < n; ++i) {
        if (s[i] != u'&' || s[i + 1] != u'#')
            continue;
        qsizetype j = i + 2;
        const bool hex = s[j] == u'x' || s[j] == u'X';
        if (hex)
            ++j;
        const qsizetype firstDigit = j;
        quint32 code = 0;
        int value;
        while (j < n && (value = digitValue(s[j], hex)) >= 0) {
            code = code > 0x10FFFF ? code : code * (hex ? 16 : 10) + static_cast<quint32>(value);
            ++j;
        }
        if (j == firstDigit || j >= n || s[j] != u';')
            continue;
        out.append(QStringView(s + copied, i - copied));
        bool inTable = false;
        const QString mapped =
            hex ? QString()
                : tableReplacement(QStringView(s + firstDigit, j - firstDigit), &inTable);
        if (inTable)
            out.append(mapped);
        else
            appendCodePoint(out, code);
        copied = j + 1;
        i = j;
    }
    if (copied == 0)
        return text;
    out.append(QStringView(s + copied, n - copied));
    return out;
}

// Old texts end their lines in CR CR LF and Linux ones in a bare LF; both become CR LF so
// that every book shows one line break per line end.
QString normaliseLineEnds(const QString& text)
{
    const QChar* s = text.constData();
    const qsizetype n = text.size();
    QString out;
    out.reserve(n + n / 32);
    for (qsizetype i = 0; i < n; ++i) {
        if (s[i] == u'\r' && i + 2 < n && s[i + 1] == u'\r' && s[i + 2] == u'\n') {
            out.append(u"\r\n");
            i += 2;
        } else if (s[i] == u'\n' && (i == 0 || s[i - 1] != u'\r')) {
            out.append(u"\r\n");
        } else {
            out.append(s[i]);
        }
    }
    return out;
}

// Style blocks cut out. The next search begins one character after where the previous
// "</style>" stood in the text before its cut, as it always has; the positions are mapped
// onto the original text so that nothing is searched twice.
QString removeStyleBlocks(const QString& text)
{
    static const QStringMatcher openTag(u"<style>", Qt::CaseInsensitive);
    static const QStringMatcher closeTag(u"</style>", Qt::CaseInsensitive);
    QString out;
    qsizetype copied = 0;
    qsizetype from = 0;
    for (;;) {
        const qsizetype open = openTag.indexIn(text, from);
        if (open < 0)
            break;
        const qsizetype close = closeTag.indexIn(text, open + 1);
        if (close < 0)
            break;
        out.append(QStringView(text).mid(copied, open - copied));
        copied = close + 8;
        // One past the "</style>" in the cut text, seen through the original text.
        from = close + 1 + (close + 8 - open);
        if (from >= text.size())
            break;
    }
    if (copied == 0)
        return text;
    out.append(QStringView(text).mid(copied));
    return out;
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
    HtmlToChar(text);
    HTMLConstToChar(text);
    text = normaliseLineEnds(text);
    text = replaceAll(text, QStringLiteral("\r\r"), QStringLiteral("\r\n"), Qt::CaseSensitive);
    text = replaceAll(text, QStringLiteral("\n\n"), QStringLiteral("\r\n"), Qt::CaseSensitive);
}

void cSharedHTML::TrimHeadTags(QString& text)
{
    const qsizetype at = text.indexOf(QLatin1StringView("</head>"), 0, Qt::CaseInsensitive);
    if (at >= 0)
        text.remove(0, at + 7);
}

void cSharedHTML::ConvertBR(QString& text)
{
    text = replaceAll(text, QStringLiteral("<BR>"), QStringLiteral("\r\n"), Qt::CaseInsensitive);
}

void cSharedHTML::HtmlToChar(QString& text)
{
    if (isBlank(text))
        return;
    guarded("HtmlToChar", [&] { text = Markup::cHtmlToChar(text); });
}

void cSharedHTML::HTMLConstToChar(QString& text)
{
    if (isBlank(text))
        return;
    guarded("HTMLConstToChar", [&] {
        text = replaceAll(text, QStringLiteral("&hellip;"), QStringLiteral("..."),
                          Qt::CaseInsensitive);
        text = replaceAll(text, QStringLiteral("&bull;"), QStringLiteral("\u2022"),
                          Qt::CaseInsensitive);
        text = replaceAll(text, QStringLiteral("&prime;"), QStringLiteral("'"), Qt::CaseSensitive);
        text = replaceAll(text, QStringLiteral("&Prime;"), QStringLiteral("\""), Qt::CaseSensitive);
        if (text.contains(QLatin1StringView("&#")))
            text = decodeNumericReferences(text);
    });
}

void cSharedHTML::StripHtml(QString& text)
{
    if (isBlank(text))
        return;
    guarded("StripHtml", [&] {
        if (text.contains(u'<') && text.contains(u'>')) {
            text = removeStyleBlocks(text);
            QString stripped = text;
            Markup::cStripHTML(stripped);
            text = stripped;
        }
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
        text = replaceAll(text, lookFor, replaceWith,
                          matchCase ? Qt::CaseSensitive : Qt::CaseInsensitive);
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
