#include "reader/documentloader.h"

#include "files/filesubs.h"
#include "platform/rtf/rtfreader.h"
#include "platform/textcodec.h"
#include "text/sharedhtml.h"

#include <QFile>
#include <QFileInfo>
#include <QFont>
#include <QTextDocument>

#include <utility>

namespace {

void replaceAll(QString& text, const char* from, const char* to)
{
    text.replace(QLatin1StringView(from), QLatin1StringView(to), Qt::CaseSensitive);
}

void blankControlCharacters(QString& text)
{
    QChar* data = text.data();
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = data[i].unicode();
        if ((c < 0x20 && c != u'\t' && c != u'\r' && c != u'\n') || (c >= 0x7F && c < 0xA0))
            data[i] = QChar(u' ');
    }
}

bool readBytes(const QString& path, QByteArray& bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    bytes = file.readAll();
    return file.error() == QFile::NoError;
}

// Enough of a file to tell text from binary data.
constexpr qint64 kJudgedBytes = 8000;

bool isBreak(QChar c)
{
    return c == u'\n' || c == u'\r';
}

// Characters drawn wrongly without shaping: combining marks, joining and complex scripts
// (Hebrew to Khmer, Indic extensions), joiners, variation selectors, presentation forms,
// and everything outside the basic plane (emoji sequences, historic scripts).
constexpr std::pair<char16_t, char16_t> kShapedRanges[] = {
    {0x0300, 0x036F}, {0x0483, 0x0489}, {0x0590, 0x1DFF}, {0x200C, 0x200D}, {0x20D0, 0x20FF},
    {0xA800, 0xABFF}, {0xD800, 0xDFFF}, {0xFB1D, 0xFE0F}, {0xFE20, 0xFE2F}, {0xFE70, 0xFEFE},
};

} // namespace

QString cDocumentLoader::toParagraphs(const QString& text)
{
    QString out(text.size(), Qt::Uninitialized);
    QChar* o = out.data();
    const QChar* in = text.constData();
    const qsizetype n = text.size();
    qsizetype blockLength = 0;
    for (qsizetype i = 0; i < n; ++i) {
        if (!isBreak(in[i])) {
            *o++ = in[i];
            ++blockLength;
            continue;
        }
        // CR LF is one break, as the document itself counts it.
        if (in[i] == u'\r' && i + 1 < n && in[i + 1] == u'\n')
            ++i;
        const bool blankBefore = blockLength == 0;
        const bool blankAfter = i + 1 == n || isBreak(in[i + 1]);
        const bool paragraph = blankBefore || blankAfter || blockLength >= kMaxJoinedLength;
        *o++ = QChar(paragraph ? QChar::ParagraphSeparator : QChar::LineSeparator);
        blockLength = paragraph ? 0 : blockLength + 1;
    }
    out.truncate(o - out.constData());
    return out;
}

bool cDocumentLoader::needsShaping(QStringView text)
{
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u < 0x0300)
            continue;
        for (const auto& [first, last] : kShapedRanges) {
            if (u >= first && u <= last)
                return true;
        }
    }
    return false;
}

QString cDocumentLoader::cleanPath(const QString& path)
{
    QString clean = path;
    clean.remove(u'"');
    return clean;
}

bool cDocumentLoader::isRtf(const QString& path)
{
    return cSharedFileSubs::ExtOnly(path).toUpper() == QLatin1String("RTF");
}

QString cDocumentLoader::toDisplayText(QString text)
{
    // Bracketed stand-ins survive the tag stripping; exact case, as books write them.
    replaceAll(text, "<em>", "[emph]");
    replaceAll(text, "</em>", "[/emph]");
    replaceAll(text, "<b>", "[emph]");
    replaceAll(text, "</b>", "[/emph]");
    blankControlCharacters(text);
    cSharedHTML::instance().HtmlToPlainText(text);
    replaceAll(text, "[emph]", "<emph>");
    replaceAll(text, "[/emph]", "</emph>");
    return text;
}

cDocumentLoader::Refusal cDocumentLoader::refusal(const QString& path)
{
    const QFileInfo info(path);
    if (!info.exists())
        return Refusal::Missing;
    QFile file(path);
    if (info.isDir() || !file.open(QIODevice::ReadOnly))
        return Refusal::Unreadable;
    const QByteArray head = file.read(kJudgedBytes);
    if (file.error() != QFile::NoError)
        return Refusal::Unreadable;
    // RTF is judged by its reader, which skips the binary data (pictures) it may hold.
    if (RtfReader::looksLikeRtf(head) || TextCodec::looksLikeText(head))
        return Refusal::None;
    return Refusal::NotText;
}

std::unique_ptr<QTextDocument> cDocumentLoader::load(const QString& path, bool* readOk)
{
    auto doc = std::make_unique<QTextDocument>();
    bool ok = false;
    bool shaped = false;
    if (isRtf(path)) {
        // The reader takes the file's bytes, so its code pages are decoded as written.
        QByteArray bytes;
        ok = readBytes(path, bytes);
        if (ok)
            RtfReader::read(bytes, doc.get());
        shaped = ok && needsShaping(doc->toPlainText());
    } else {
        QString text;
        ok = cSharedFileSubs::instance().LoadTextFile(path, text);
        if (ok) {
            const QString shown = toParagraphs(toDisplayText(std::move(text)));
            shaped = needsShaping(shown);
            doc->setPlainText(shown);
        }
    }
    if (!ok)
        doc->clear();
    QFont font = doc->defaultFont();
    font.setStyleStrategy(shaped ? QFont::PreferDefault : QFont::PreferNoShaping);
    doc->setDefaultFont(font);
    if (readOk)
        *readOk = ok;
    return doc;
}

bool cDocumentLoader::loadText(const QString& path, QString& text)
{
    bool ok = false;
    const std::unique_ptr<QTextDocument> doc = load(path, &ok);
    text = ok ? doc->toPlainText() : QString();
    return ok;
}
