#include "platform/rtf/rtfcodepage.h"

#include "platform/textcodec.h"

#include <cerrno>
#include <iconv.h>

namespace {

const iconv_t kNoConverter = reinterpret_cast<iconv_t>(-1);

QByteArray iconvName(int codePage)
{
    switch (codePage) {
    case 65001:
        return "UTF-8";
    case 10000:
        return "MACINTOSH";
    case 10001:
        return "CP932"; // Mac Japanese is Shift JIS underneath
    case 20127:
        return "ASCII";
    case 20866:
        return "KOI8-R";
    case 21866:
        return "KOI8-U";
    default:
        break;
    }
    if (codePage >= 28591 && codePage <= 28606)
        return "ISO-8859-" + QByteArray::number(codePage - 28590);
    return "CP" + QByteArray::number(codePage);
}

} // namespace

RtfCodePages::~RtfCodePages()
{
    for (auto& [page, cd] : m_converters) {
        if (cd != kNoConverter)
            iconv_close(static_cast<iconv_t>(cd));
    }
}

int RtfCodePages::codePageOfCharset(int charset)
{
    switch (charset) {
    case 0:
        return 1252; // ANSI means Western, whatever the document's own code page
    case 2:
        return kSymbol;
    case 77:
        return 10000;
    case 78:
        return 10001;
    case 128:
        return 932;
    case 129:
        return 949;
    case 134:
        return 936;
    case 136:
        return 950;
    case 161:
        return 1253;
    case 162:
        return 1254;
    case 163:
        return 1258;
    case 177:
        return 1255;
    case 178:
        return 1256;
    case 186:
        return 1257;
    case 204:
        return 1251;
    case 222:
        return 874;
    case 238:
        return 1250;
    case 254:
        return 437;
    case 255:
        return 850;
    default:
        return 0;
    }
}

void* RtfCodePages::converter(int codePage)
{
    auto it = m_converters.find(codePage);
    if (it == m_converters.end()) {
        iconv_t cd = iconv_open(Q_BYTE_ORDER == Q_LITTLE_ENDIAN ? "UTF-16LE" : "UTF-16BE",
                                iconvName(codePage).constData());
        it = m_converters.emplace(codePage, cd).first;
    }
    return it->second;
}

void RtfCodePages::decode(const QByteArray& bytes, int codePage, QString& out)
{
    if (bytes.isEmpty())
        return;
    if (codePage == kSymbol) {
        // Bullets of list items are written in the symbol fonts; the rest reads as ANSI.
        for (char b : bytes) {
            const auto u = static_cast<unsigned char>(b);
            out.append(u == 0xB7 ? QChar(0x2022) : TextCodec::fromWin1252(u));
        }
        return;
    }
    iconv_t cd = codePage == 1252 || codePage <= 0 ? kNoConverter
                                                   : static_cast<iconv_t>(converter(codePage));
    if (cd == kNoConverter) {
        const qsizetype at = out.size();
        out.resize(at + bytes.size());
        QChar* d = out.data() + at;
        for (char b : bytes)
            *d++ = TextCodec::fromWin1252(static_cast<unsigned char>(b));
        return;
    }
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    QByteArray in = bytes;
    char* inPtr = in.data();
    size_t inLeft = static_cast<size_t>(in.size());
    // Every byte gives at most one UTF-16 unit, or a pair for four bytes.
    QByteArray buffer(in.size() * 2 + 8, Qt::Uninitialized);
    while (inLeft > 0) {
        char* outPtr = buffer.data();
        size_t outLeft = static_cast<size_t>(buffer.size());
        const size_t result = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
        const int error = errno;
        const auto produced = static_cast<qsizetype>(buffer.size() - outLeft) / 2;
        out.append(QStringView(reinterpret_cast<const char16_t*>(buffer.constData()), produced));
        if (result != static_cast<size_t>(-1))
            break;
        if (error == E2BIG)
            continue;
        // An invalid or incomplete sequence: mark it and go on after its first byte.
        out.append(QChar(QChar::ReplacementCharacter));
        ++inPtr;
        --inLeft;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
}
