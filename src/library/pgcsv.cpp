#include "library/pgcsv.h"

#include "platform/textcodec.h"

#include <QStringDecoder>

#include <cstring>

namespace PgCsv {

namespace {

bool isLineEnd(char c)
{
    return c == '\n' || c == '\r';
}

class Reader {
public:
    explicit Reader(const QByteArray& bytes)
        : m_data(bytes.constData()), m_size(bytes.size()), m_utf8(TextCodec::isValidUtf8(bytes))
    {
        if (bytes.startsWith("\xEF\xBB\xBF"))
            m_pos = 3;
    }

    int run(const RecordSink& sink)
    {
        int skipped = 0;
        QStringList fields;
        while (m_pos < m_size) {
            const qsizetype start = m_pos;
            if (isLineEnd(m_data[start])) {
                m_pos = afterLineEnd(start);
                continue;
            }
            fields.clear();
            const qsizetype end = readRecord(start, fields);
            if (end < 0) {
                ++skipped;
                m_pos = lineAfter(start);
                continue;
            }
            m_pos = afterLineEnd(end);
            sink(fields);
        }
        return skipped;
    }

private:
    // The fields of the record that starts at start; the position of its line end (or the
    // end of the bytes), or -1 when it does not parse.
    qsizetype readRecord(qsizetype start, QStringList& fields)
    {
        qsizetype p = start;
        for (;;) {
            if (p < m_size && m_data[p] == '"') {
                const qsizetype close = closingQuote(p);
                if (close < 0)
                    return -1;
                fields.append(unquoted(p + 1, close));
                p = close + 1;
            } else {
                qsizetype e = p;
                while (e < m_size && m_data[e] != ',' && !isLineEnd(m_data[e]) && m_data[e] != '"')
                    ++e;
                if (e < m_size && m_data[e] == '"')
                    return -1;
                fields.append(text(m_data + p, e - p));
                p = e;
            }
            if (p < m_size && m_data[p] == ',') {
                ++p;
                continue;
            }
            return p;
        }
    }

    // The next quote at or after from, m_size when there is none. A broken record sends the
    // reader back to the line after its start, so the same stretch may be searched again:
    // the last answer is kept, which keeps the whole read linear.
    qsizetype nextQuote(qsizetype from)
    {
        if (from >= m_quoteFrom && from <= m_quoteAt)
            return m_quoteAt;
        const void* found =
            from < m_size ? std::memchr(m_data + from, '"', size_t(m_size - from)) : nullptr;
        m_quoteFrom = from;
        m_quoteAt = found ? static_cast<const char*>(found) - m_data : m_size;
        return m_quoteAt;
    }

    // The quote that closes the field opening at open, or -1 when none does (the bytes end
    // first, or the closing quote is followed by something other than a comma or line end).
    qsizetype closingQuote(qsizetype open)
    {
        qsizetype q = nextQuote(open + 1);
        // From the first quote inside on, the search is the same whichever quote opened it.
        if (q == m_landing)
            return m_landingClose;
        const qsizetype landing = q;
        while (q + 1 < m_size && m_data[q + 1] == '"')
            q = nextQuote(q + 2);
        qsizetype close = -1;
        if (q < m_size && (q + 1 == m_size || m_data[q + 1] == ',' || isLineEnd(m_data[q + 1])))
            close = q;
        m_landing = landing;
        m_landingClose = close;
        return close;
    }

    QString unquoted(qsizetype begin, qsizetype end) const
    {
        const qsizetype length = end - begin;
        if (!std::memchr(m_data + begin, '"', size_t(length)))
            return text(m_data + begin, length);
        QByteArray bytes;
        bytes.reserve(length);
        for (qsizetype i = begin; i < end; ++i) {
            bytes += m_data[i];
            if (m_data[i] == '"')
                ++i; // the second of a doubled quote
        }
        return text(bytes.constData(), bytes.size());
    }

    QString text(const char* begin, qsizetype length) const
    {
        if (m_utf8 && length >= 3 && std::memcmp(begin, "\xEF\xBB\xBF", 3) == 0) {
            // QString::fromUtf8 would drop U+FEFF at the start of a field as a byte-order mark.
            QStringDecoder decoder(QStringDecoder::Utf8,
                                   QStringDecoder::Flag::Stateless |
                                       QStringDecoder::Flag::ConvertInitialBom);
            return decoder.decode(QByteArrayView(begin, length));
        }
        if (m_utf8)
            return QString::fromUtf8(begin, length);
        return TextCodec::decodeWin1252(QByteArray(begin, length));
    }

    // Past the CR LF, LF or lone CR at p.
    qsizetype afterLineEnd(qsizetype p) const
    {
        if (p >= m_size || !isLineEnd(m_data[p]))
            return p;
        if (m_data[p] == '\r' && p + 1 < m_size && m_data[p + 1] == '\n')
            return p + 2;
        return p + 1;
    }

    qsizetype lineAfter(qsizetype from) const
    {
        qsizetype p = from;
        while (p < m_size && !isLineEnd(m_data[p]))
            ++p;
        return afterLineEnd(p);
    }

    const char* m_data;
    qsizetype m_size;
    bool m_utf8;
    qsizetype m_pos = 0;
    qsizetype m_quoteFrom = 1;
    qsizetype m_quoteAt = 0;
    qsizetype m_landing = -1;
    qsizetype m_landingClose = -1;
};

} // namespace

int forEachRecord(const QByteArray& bytes, const RecordSink& sink)
{
    return Reader(bytes).run(sink);
}

Table parse(const QByteArray& bytes)
{
    Table table;
    table.skipped =
        forEachRecord(bytes, [&table](const QStringList& fields) { table.records.append(fields); });
    return table;
}

QByteArray recordLine(const QStringList& fields)
{
    QByteArray line;
    for (qsizetype i = 0; i < fields.size(); ++i) {
        if (i > 0)
            line += ',';
        QByteArray field = fields[i].toUtf8();
        // A record of one empty field is quoted, or it would read back as a blank line.
        const bool quote = field.contains(',') || field.contains('"') || field.contains('\n') ||
                           field.contains('\r') || (fields.size() == 1 && field.isEmpty());
        if (quote)
            line += '"' + field.replace("\"", "\"\"") + '"';
        else
            line += field;
    }
    return line + "\r\n";
}

} // namespace PgCsv
