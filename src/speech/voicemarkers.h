#pragma once

#include <QList>
#include <QString>

// Markers meant for the voice alone: the emphasis of an HTML book ("<emph>", "</emph>")
// and the voice tags ("[v:2]") written into one. The reader shows the book without them
// and keeps where they stood, so that what it shows and highlights, and the positions it
// stores, are those of the visible text, while the voice still gets them.
struct cVoiceMarker {
    int position = 0; // in the text without markers: the marker stands before this character
    QString text;
    bool operator==(const cVoiceMarker&) const = default;
};
using cVoiceMarkers = QList<cVoiceMarker>;

namespace VoiceMarkers {

// Takes the emphasis markers, and with voiceTags the voice tags, out of text.
cVoiceMarkers extract(QString& text, bool voiceTags);
// The text with the markers back at their places.
QString insert(const QString& text, const cVoiceMarkers& markers);
// The markers of a reading that starts at `from`, counted from there. Emphasis opened
// before it stays open: its marker stands at the start.
cVoiceMarkers from(const cVoiceMarkers& markers, int from);
// Where a position in the text with markers lies in the text without them.
int shownPosition(const cVoiceMarkers& markers, qsizetype markedPosition);

// The length of the voice tag at i, as the Talker takes it ("[v:" and "]", with at most
// one character between); 0 when none starts there.
int voiceTagAt(QStringView text, qsizetype i);
bool isEmphasis(const QString& marker);
bool opensEmphasis(const QString& marker);
bool closesEmphasis(const QString& marker);
// "<emph>", as the voice takes it.
const QString& openEmphasis();

} // namespace VoiceMarkers
