#include "reader/documentloader.h"

#include "files/filesubs.h"
#include "platform/rtf/rtfreader.h"
#include "text/sharedhtml.h"

#include <QFile>
#include <QTextDocument>

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

bool isBreak(QChar c)
{
    return c == u'\n' || c == u'\r';
}

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

std::unique_ptr<QTextDocument> cDocumentLoader::load(const QString& path, bool* readOk)
{
    auto doc = std::make_unique<QTextDocument>();
    bool ok = false;
    if (isRtf(path)) {
        // The reader takes the file's bytes, so its code pages are decoded as written.
        QByteArray bytes;
        ok = readBytes(path, bytes);
        if (ok)
            RtfReader::read(bytes, doc.get());
    } else {
        QString text;
        ok = cSharedFileSubs::instance().LoadTextFile(path, text);
        if (ok)
            doc->setPlainText(toParagraphs(toDisplayText(std::move(text))));
    }
    if (!ok)
        doc->clear();
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
