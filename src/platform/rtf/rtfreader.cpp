#include "platform/rtf/rtfreader.h"

#include "platform/rtf/rtfparser.h"
#include "platform/textcodec.h"

#include <QTextDocument>

namespace {

qsizetype rtfStart(const QByteArray& bytes)
{
    qsizetype i = bytes.startsWith("\xEF\xBB\xBF") ? 3 : 0;
    while (i < bytes.size() &&
           (bytes[i] == ' ' || bytes[i] == '\t' || bytes[i] == '\r' || bytes[i] == '\n'))
        ++i;
    return QByteArrayView(bytes).sliced(i).startsWith("{\\rtf") ? i : -1;
}

} // namespace

bool RtfReader::looksLikeRtf(const QByteArray& bytes)
{
    return rtfStart(bytes) >= 0;
}

bool RtfReader::read(const QByteArray& rtf, QTextDocument* doc)
{
    if (!doc)
        return false;
    const qsizetype start = rtfStart(rtf);
    if (start < 0) {
        doc->setPlainText(TextCodec::decode(rtf));
        return false;
    }
    // A document shown for reading needs no undo history; building one would double the
    // memory and time of a large book.
    const bool undo = doc->isUndoRedoEnabled();
    doc->setUndoRedoEnabled(false);
    doc->clear();
    // The parser keeps pointers into the bytes: they must outlive it.
    const QByteArray body = start == 0 ? rtf : rtf.sliced(start);
    rtf::Parser parser(body, doc);
    parser.run();
    doc->setUndoRedoEnabled(undo);
    return true;
}

bool RtfReader::read(const QString& rtf, QTextDocument* doc)
{
    QByteArray bytes;
    bytes.reserve(rtf.size());
    for (qsizetype i = 0; i < rtf.size(); ++i) {
        const int code = TextCodec::win1252Code(rtf[i]);
        if (code >= 0) {
            bytes.append(static_cast<char>(code));
            continue;
        }
        const bool pair =
            rtf[i].isHighSurrogate() && i + 1 < rtf.size() && rtf[i + 1].isLowSurrogate();
        bytes.append(QStringView(rtf).mid(i, pair ? 2 : 1).toUtf8());
        if (pair)
            ++i;
    }
    return read(bytes, doc);
}

QString RtfReader::plainText(const QByteArray& rtf)
{
    QTextDocument doc;
    read(rtf, &doc);
    return doc.toPlainText();
}
