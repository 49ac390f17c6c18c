#include "net/encrypt.h"

#include "diagnostics/failure.h"
#include "platform/textcodec.h"
#include "text/sharedhtml.h"

#include <QRegularExpression>

namespace {

constexpr int kShift = 100;

// "&" is written as an entity first, so that no text in the password is ever read back as
// one; what CharToHtml leaves that would pass 255 once shifted, or that Windows-1252 lacks,
// travels as a numeric reference.
QString toShiftable(const QString& text)
{
    QString plain = text;
    plain.replace(u'&', QStringLiteral("&amp;"));
    cSharedHTML::instance().CharToHtml(plain);
    QString out;
    out.reserve(plain.size());
    for (QChar c : std::as_const(plain)) {
        const int code = TextCodec::win1252Code(c);
        if (code < 0 || code + kShift > 255)
            out += QStringLiteral("&#%1;").arg(c.unicode());
        else
            out += c;
    }
    return out;
}

QString fromReferences(const QString& text)
{
    static const QRegularExpression reference(QStringLiteral("&#(\\d{1,5});"));
    QString out;
    qsizetype last = 0;
    for (auto it = reference.globalMatch(text); it.hasNext();) {
        const auto match = it.next();
        out += text.mid(last, match.capturedStart() - last);
        const uint code = match.captured(1).toUInt();
        out += code > 0 && code <= 0xFFFF ? QString(QChar(char16_t(code))) : match.captured();
        last = match.capturedEnd();
    }
    out += text.mid(last);
    return out;
}

} // namespace

cSharedEncrypt& cSharedEncrypt::instance()
{
    static cSharedEncrypt encrypt;
    return encrypt;
}

QString cSharedEncrypt::Encrypt(const QString& text) const
{
    const QString plain = toShiftable(text);
    QString out;
    out.reserve(plain.size());
    for (QChar c : std::as_const(plain)) {
        const int code = TextCodec::win1252Code(c);
        if (code < 0 || code + kShift > 255) {
            // Cannot happen after toShiftable; noted rather than stored wrong.
            noteFailure(Err::InvalidCall, QStringLiteral("Encrypt"), QStringLiteral("modEncrypt"));
            return {};
        }
        out += TextCodec::fromWin1252(code + kShift);
    }
    return out;
}

cSharedDecrypt& cSharedDecrypt::instance()
{
    static cSharedDecrypt decrypt;
    return decrypt;
}

QString cSharedDecrypt::Decrypt(const QString& text) const
{
    if (text.isEmpty())
        return {};
    QString plain = text;
    if (TextCodec::win1252Code(text.front()) > 128) {
        for (QChar& c : plain) {
            const int code = TextCodec::win1252Code(c);
            if (code > kShift)
                c = TextCodec::fromWin1252(code - kShift);
        }
    }
    QString decoded = fromReferences(plain);
    cSharedHTML::instance().HtmlToChar(decoded);
    return decoded.trimmed().isEmpty() ? plain : decoded;
}
