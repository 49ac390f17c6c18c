#pragma once

#include <QString>

// A sound file as libsndfile decodes it again: how long it lasts and the tags it carries.
struct SoundCheck {
    bool valid = false;
    int rate = 0;
    qint64 frames = 0;
    QString title;
    QString artist;
    QString album;
    QString track;
    double seconds() const { return rate ? double(frames) / rate : 0.0; }

    static SoundCheck read(const QString& path);
};
