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

bool opensEmphasis(const QString& marker)
{
    return marker == kOpen;
}

bool closesEmphasis(const QString& marker)
{
    return marker == kClose;
}

const QString& openEmphasis()
{
    return kOpen;
}

// The length of the marker at i, 0 when none starts there.
static qsizetype markerAt(QStringView text, qsizetype i, bool voiceTags)
{
    if (text[i] == u'<') {
        if (text.sliced(i).startsWith(kOpen))
            return kOpen.size();
        if (text.sliced(i).startsWith(kClose))
            return kClose.size();
    }
    return voiceTags && text[i] == u'[' ? voiceTagAt(text, i) : 0;
}

cVoiceMarkers extract(QString& text, bool voiceTags)
{
    cVoiceMarkers markers;
    QString shown;
    qsizetype copied = 0; // text before this is in shown
    for (qsizetype i = 0; i < text.size();) {
        const qsizetype length = markerAt(text, i, voiceTags);
        if (length == 0) {
            ++i;
            continue;
        }
        // Most books have none: nothing is copied then.
        if (markers.isEmpty())
            shown.reserve(text.size());
        shown += QStringView(text).sliced(copied, i - copied);
        markers.append({int(shown.size()), text.mid(i, length)});
        i += length;
        copied = i;
    }
    if (markers.isEmpty())
        return markers;
    shown += QStringView(text).sliced(copied);
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
