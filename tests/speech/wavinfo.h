#pragma once

#include <QByteArray>
#include <QtEndian>

#include <cstdlib>

// What a test needs to know about a WAV file: its format, whether its sizes agree with
// its length, and whether it holds sound.
struct WavInfo {
    bool valid = false;
    int sampleRate = 0;
    int bits = 0;
    int channels = 0;
    qint64 dataBytes = 0;
    bool sizesAgree = false;
    int peak = 0;

    double seconds() const
    {
        return sampleRate && bits && channels
                   ? double(dataBytes) / (sampleRate * (bits / 8) * channels)
                   : 0.0;
    }

    static WavInfo read(const QByteArray& bytes)
    {
        WavInfo info;
        if (bytes.size() < 12 || !bytes.startsWith("RIFF") || bytes.mid(8, 4) != "WAVE")
            return info;
        const auto u32 = [&](qsizetype at) {
            return qFromLittleEndian<quint32>(bytes.constData() + at);
        };
        const auto u16 = [&](qsizetype at) {
            return qFromLittleEndian<quint16>(bytes.constData() + at);
        };
        const bool riffAgrees = u32(4) + 8 == quint32(bytes.size());
        qsizetype at = 12;
        bool haveFormat = false;
        while (at + 8 <= bytes.size()) {
            const QByteArray id = bytes.mid(at, 4);
            const quint32 size = u32(at + 4);
            const qsizetype body = at + 8;
            if (id == "fmt " && body + 16 <= bytes.size()) {
                info.channels = u16(body + 2);
                info.sampleRate = int(u32(body + 4));
                info.bits = u16(body + 14);
                haveFormat = true;
            } else if (id == "data") {
                info.dataBytes = size;
                info.sizesAgree = riffAgrees && body + qint64(size) <= bytes.size();
                for (qsizetype s = body; s + 1 < body + qsizetype(size) && s + 1 < bytes.size();
                     s += 2)
                    info.peak = std::max(
                        info.peak, std::abs(int(qFromLittleEndian<qint16>(bytes.constData() + s))));
                info.valid = haveFormat;
                return info;
            }
            at = body + size + (size & 1);
        }
        return info;
    }
};
