#pragma once

#include "settings/settings.h"

#include <QList>
#include <QRect>
#include <QString>

#include <optional>

// How a book is read: the voice, its variant, the speed and the pitch. Kept in Parlo.ini as
// the last choice, and per book in BookMarks.ini.
struct cSpeechChoice {
    QString voice;   // the voice's name as the list shows it; empty: the voice stays
    QString variant; // a variant's key; empty for the voice's own sound
    int rate = 0;    // -10 .. 10
    int pitch = 0;   // -10 .. 10

    bool operator==(const cSpeechChoice&) const = default;

    // One settings value: "rate,pitch,variant,voice". The voice comes last, as its name
    // may hold commas; variant keys never do.
    QString toText() const;
    // Nothing for a value that is not of that form; numbers are kept within -10 .. 10.
    static std::optional<cSpeechChoice> fromText(const QString& text);
};

// Where the reader window was, in pixels of the desktop.
struct cWindowPlace {
    QRect geometry;
    bool maximized = false;
};

// The reader's memory beyond the described keys, in the settings store it is given: the
// speech last chosen, the text size and the window's place.
namespace ReaderMemory {

// The voice by name from LastEngineName; the rest from LastVariant, LastRate, LastPitch.
cSpeechChoice speech(const cSHAREDSettings& settings);
void storeSpeech(cSHAREDSettings& settings, const cSpeechChoice& choice);

// Nothing when no usable size is stored.
std::optional<qreal> fontSize(const cSHAREDSettings& settings);
void storeFontSize(cSHAREDSettings& settings, qreal pointSize);

std::optional<cWindowPlace> windowPlace(const cSHAREDSettings& settings);
void storeWindowPlace(cSHAREDSettings& settings, const cWindowPlace& place);

// The place for a stored window on these screens (their available areas): made to fit the
// screen it is mostly on; a null rectangle when too little of it would be on any screen to
// take hold of it, as when the screen it was on has gone.
QRect fitToScreens(const QRect& stored, const QList<QRect>& screens);

} // namespace ReaderMemory
