#include "platform/textcodec.h"

#include <QStringDecoder>

#include <algorithm>
#include <cstring>
#include <optional>

namespace {

// 0x80..0x9F of Windows-1252; the undefined codes keep their own value.
constexpr char16_t kHigh[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

// How much of a file its kind is judged by, and how far into it a declaration is looked
// for (a long HTML head or book header still has it well before this).
constexpr qsizetype kSampleBytes = 8000;
constexpr qsizetype kDeclarationBytes = 16 * 1024;

constexpr qsizetype kLeastZeros = 16;

const QByteArrayView kUtf8Mark("\xEF\xBB\xBF", 3);

struct Unicode {
    QStringConverter::Encoding encoding;
    qsizetype markLength;
};

std::optional<Unicode> unicodeOf(QByteArrayView bytes)
{
    if (bytes.startsWith(QByteArrayView("\xFF\xFE\0\0", 4)))
        return Unicode{QStringConverter::Utf32LE, 4};
    if (bytes.startsWith(QByteArrayView("\0\0\xFE\xFF", 4)))
        return Unicode{QStringConverter::Utf32BE, 4};
    if (bytes.startsWith("\xFF\xFE"))
        return Unicode{QStringConverter::Utf16LE, 2};
    if (bytes.startsWith("\xFE\xFF"))
        return Unicode{QStringConverter::Utf16BE, 2};
    // Without a mark: each Latin letter, blank and line end of UTF-16 text has a zero byte,
    // always on the same side of the pair; the other side is seldom zero. A few zeros
    // prove nothing: binary headers have them too.
    const qsizetype n = std::min(bytes.size(), kSampleBytes) & ~qsizetype(1);
    if (n < 4)
        return std::nullopt;
    // Text has no zeros at all, and memchr() finds that out many times faster than a loop;
    // a book's hundreds of documents are each judged by their first bytes.
    qsizetype zeros[2] = {0, 0};
    const char* const data = bytes.data();
    for (const char* at = data;
         (at = static_cast<const char*>(std::memchr(at, 0, n - (at - data)))); ++at)
        ++zeros[(at - data) & 1];
    const qsizetype pairs = n / 2;
    if (zeros[0] + zeros[1] < kLeastZeros)
        return std::nullopt;
    if (zeros[1] * 10 >= pairs && zeros[0] * 10 <= zeros[1])
        return Unicode{QStringConverter::Utf16LE, 0};
    if (zeros[0] * 10 >= pairs && zeros[1] * 10 <= zeros[0])
        return Unicode{QStringConverter::Utf16BE, 0};
    return std::nullopt;
}

// Control codes that text does not hold; tab, line ends, form feed, the old end-of-file
// mark (^Z) and escape (of terminal colours) are all found in real books.
bool isStrayControl(char16_t c)
{
    if (c >= 0x20)
        return c == 0x7F;
    return c != u'\t' && c != u'\n' && c != u'\v' && c != u'\f' && c != u'\r' && c != 0x1A &&
           c != 0x1B;
}

// More than one character in twenty is more than any text has.
bool fewStrayControls(qsizetype stray, qsizetype size)
{
    return stray * 20 <= size;
}

bool fewStrayControls(QByteArrayView bytes)
{
    qsizetype stray = 0;
    for (const char b : bytes)
        stray += isStrayControl(static_cast<unsigned char>(b));
    return fewStrayControls(stray, bytes.size());
}

bool fewStrayControls(QStringView text)
{
    qsizetype stray = 0;
    for (const QChar c : text)
        stray += isStrayControl(c.unicode());
    return fewStrayControls(stray, text.size());
}

bool isNameCharacter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '_' || c == '.' || c == ':';
}

// The name that follows at (after blanks, and after "=" and a quote when asked for).
QByteArrayView nameAt(QByteArrayView head, qsizetype at, bool afterEquals)
{
    auto skip = [&](auto isSkipped) {
        while (at < head.size() && isSkipped(head[at]))
            ++at;
    };
    skip([](char c) { return c == ' ' || c == '\t'; });
    if (afterEquals) {
        if (at >= head.size() || head[at] != '=')
            return {};
        ++at;
        skip([](char c) { return c == ' ' || c == '\t' || c == '"' || c == '\''; });
    }
    const qsizetype start = at;
    skip(isNameCharacter);
    return head.sliced(start, at - start);
}

// A book's header line "Character set encoding: ISO-8859-3".
QByteArrayView headerLineName(QByteArrayView head, QByteArrayView lower)
{
    const QByteArrayView label("character set encoding:");
    for (qsizetype at = lower.indexOf(label); at >= 0; at = lower.indexOf(label, at + 1)) {
        qsizetype before = at;
        while (before > 0 && (lower[before - 1] == ' ' || lower[before - 1] == '\t'))
            --before;
        if (before == 0 || lower[before - 1] == '\n' || lower[before - 1] == '\r')
            return nameAt(head, at + label.size(), false);
    }
    return {};
}

// <meta charset="..."> and <meta http-equiv="Content-Type" content="text/html; charset=...">.
QByteArrayView metaName(QByteArrayView head, QByteArrayView lower)
{
    for (qsizetype at = lower.indexOf("<meta"); at >= 0; at = lower.indexOf("<meta", at + 1)) {
        const qsizetype end = lower.indexOf('>', at);
        const QByteArrayView tag = lower.sliced(at, (end < 0 ? lower.size() : end) - at);
        const qsizetype charset = tag.indexOf("charset");
        if (charset >= 0)
            return nameAt(head, at + charset + 7, true);
    }
    return {};
}

// <?xml version="1.0" encoding="..."?> at the very start.
QByteArrayView prologName(QByteArrayView head, QByteArrayView lower)
{
    if (!lower.trimmed().startsWith("<?xml"))
        return {};
    const qsizetype end = lower.indexOf("?>");
    const qsizetype encoding = lower.indexOf("encoding");
    if (encoding < 0 || (end >= 0 && encoding > end))
        return {};
    return nameAt(head, encoding + 8, true);
}

} // namespace

namespace TextCodec {

bool isValidUtf8(const QByteArray& bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString ignored = decoder.decode(bytes);
    return !decoder.hasError();
}

QString decodeWin1252(QByteArrayView bytes)
{
    QString out(bytes.size(), Qt::Uninitialized);
    QChar* dst = out.data();
    for (char b : bytes)
        *dst++ = fromWin1252(static_cast<unsigned char>(b));
    return out;
}

QByteArray declaredEncoding(QByteArrayView bytes)
{
    const QByteArrayView head = bytes.first(std::min(bytes.size(), kDeclarationBytes));
    // Lower case changes no byte's place, so a name is taken from the text as written.
    const QByteArray lower = head.toByteArray().toLower();
    QByteArrayView name = prologName(head, lower);
    if (name.isEmpty())
        name = metaName(head, lower);
    if (name.isEmpty())
        name = headerLineName(head, lower);
    if (name.isEmpty())
        return {};
    const QByteArray declared = name.toByteArray();
    const QStringDecoder decoder(declared.constData());
    if (!decoder.isValid())
        return {};
    const QByteArrayView canonical(decoder.name());
    if (canonical.startsWith("UTF") || canonical == "ISO-8859-1" || canonical == "US-ASCII" ||
        canonical == "windows-1252")
        return {};
    return declared;
}

QString decode(const QByteArray& bytes)
{
    QByteArrayView view(bytes);
    if (const std::optional<Unicode> unicode = unicodeOf(view)) {
        QStringDecoder decoder(unicode->encoding, QStringDecoder::Flag::Stateless);
        return decoder.decode(view.sliced(unicode->markLength));
    }
    // The mark says UTF-8 but the bytes may not be: it is no character of the text.
    if (view.startsWith(kUtf8Mark))
        view = view.sliced(kUtf8Mark.size());
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(view);
    if (!utf8.hasError())
        return text;
    const QByteArray declared = declaredEncoding(view);
    if (!declared.isEmpty()) {
        QStringDecoder decoder(declared.constData(), QStringDecoder::Flag::Stateless);
        return decoder.decode(view);
    }
    return decodeWin1252(view);
}

bool looksLikeText(QByteArrayView head)
{
    head = head.first(std::min(head.size(), kSampleBytes));
    if (head.startsWith("%PDF-"))
        return false;
    if (const std::optional<Unicode> unicode = unicodeOf(head)) {
        QStringDecoder decoder(unicode->encoding);
        const QString text = decoder.decode(head.sliced(unicode->markLength));
        return !text.contains(QChar(0)) && fewStrayControls(QStringView(text));
    }
    return !head.contains('\0') && fewStrayControls(head);
}

QByteArray encode(const QString& text)
{
    return text.toUtf8();
}

int win1252Code(QChar c)
{
    const char16_t u = c.unicode();
    if (u < 0x80 || (u >= 0xA0 && u <= 0xFF))
        return u;
    for (int i = 0; i < 32; ++i) {
        if (kHigh[i] == u)
            return 0x80 + i;
    }
    return -1;
}

QChar fromWin1252(int code)
{
    if (code >= 0x80 && code <= 0x9F)
        return QChar(kHigh[code - 0x80]);
    return QChar(static_cast<char16_t>(code & 0xFF));
}

} // namespace TextCodec
