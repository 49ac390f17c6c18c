#include "speech/voicemarkers.h"

namespace {

const QString kOpen = QStringLiteral("<emph>");
const QString kClose = QStringLiteral("</emph>");

} // namespace

namespace VoiceMarkers {

int voiceTagAt(QStringView text, qsizetype i)
{
    if (!text.mid(i).startsWith(u"[v:"))
        return 0;
    const QStringView rest = text.mid(i + 3, 2);
    const qsizetype close = rest.indexOf(u']');
    return close < 0 ? 0 : int(3 + close + 1);
}

bool isEmphasis(const QString& marker)
{
    return marker == kOpen || marker == kClose;
}

bool closesEmphasis(const QString& marker)
{
    return marker == kClose;
}

cVoiceMarkers extract(QString& text, bool voiceTags)
{
    cVoiceMarkers markers;
    const qsizetype n = text.size();
    qsizetype i = 0;
    // Most books have none: nothing is copied then.
    for (; i < n; ++i) {
        const QChar c = text[i];
        if ((c == u'<' && (QStringView(text).mid(i).startsWith(kOpen) ||
                           QStringView(text).mid(i).startsWith(kClose))) ||
            (voiceTags && c == u'[' && voiceTagAt(text, i) > 0))
            break;
    }
    if (i == n)
        return markers;
    QString shown;
    shown.reserve(n);
    shown += QStringView(text).left(i);
    while (i < n) {
        const QStringView at = QStringView(text).mid(i);
        qsizetype length = 0;
        if (at.startsWith(kOpen))
            length = kOpen.size();
        else if (at.startsWith(kClose))
            length = kClose.size();
        else if (voiceTags && at.startsWith(u'['))
            length = voiceTagAt(text, i);
        if (length > 0) {
            markers.append({int(shown.size()), at.left(length).toString()});
            i += length;
        } else {
            shown += text[i];
            ++i;
        }
    }
    text = std::move(shown);
    return markers;
}

QString insert(const QString& text, const cVoiceMarkers& markers)
{
    if (markers.isEmpty())
        return text;
    QString out;
    qsizetype size = text.size();
    for (const cVoiceMarker& m : markers)
        size += m.text.size();
    out.reserve(size);
    qsizetype copied = 0;
    for (const cVoiceMarker& m : markers) {
        const qsizetype at = qBound<qsizetype>(copied, m.position, text.size());
        out += QStringView(text).mid(copied, at - copied);
        out += m.text;
        copied = at;
    }
    out += QStringView(text).mid(copied);
    return out;
}

cVoiceMarkers from(const cVoiceMarkers& markers, int from)
{
    cVoiceMarkers out;
    int open = 0;
    for (const cVoiceMarker& m : markers) {
        if (m.position >= from) {
            out.append({m.position - from, m.text});
        } else if (m.text == kOpen) {
            ++open;
        } else if (m.text == kClose && open > 0) {
            --open;
        }
    }
    for (; open > 0; --open)
        out.prepend({0, kOpen});
    return out;
}

int shownPosition(const cVoiceMarkers& markers, qsizetype markedPosition)
{
    qsizetype before = 0; // marker characters before the position
    for (const cVoiceMarker& m : markers) {
        const qsizetype markedAt = m.position + before;
        if (markedAt >= markedPosition)
            break;
        before += qMin<qsizetype>(m.text.size(), markedPosition - markedAt);
    }
    return int(markedPosition - before);
}

} // namespace VoiceMarkers
