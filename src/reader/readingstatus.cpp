#include "reader/readingstatus.h"

#include "platform/voice/speechvoice.h"

#include <algorithm>
#include <cmath>

namespace {

// How many seconds of reading the usual speed counts for against the measured one: enough
// that a few short sentences do not swing the figure, little against an hour of reading.
constexpr double kUsualSpeedSeconds = 20.0;
// A step between two sentences faster or slower than this against the usual speed was no
// reading: the user moved on or back, or the machine stood still.
constexpr double kFarFromUsual = 4.0;

} // namespace

void cReadingStatus::setBook(qsizetype length, QList<cChapter> chapters)
{
    m_length = std::max<qsizetype>(0, length);
    std::stable_sort(chapters.begin(), chapters.end(),
                     [](const cChapter& a, const cChapter& b) { return a.position < b.position; });
    m_chapters = std::move(chapters);
    m_position = 0;
    interrupt();
}

void cReadingStatus::setPosition(qsizetype position)
{
    m_position = std::clamp<qsizetype>(position, 0, m_length);
}

void cReadingStatus::setRate(int rate)
{
    if (rate == m_rate)
        return;
    m_rate = rate;
    interrupt();
}

double cReadingStatus::speedFactor(int rate)
{
    return cSpeechVoice::wordsPerMinute(rate) / cSpeechVoice::wordsPerMinute(0);
}

int cReadingStatus::wordsPerMinute(int rate)
{
    return int(std::lround(cSpeechVoice::wordsPerMinute(rate)));
}

void cReadingStatus::sentenceHeard(qsizetype position, qint64 msecs)
{
    setPosition(position);
    if (m_hasMark && m_position > m_markPosition && msecs > m_markMs) {
        const double characters = double(m_position - m_markPosition) / speedFactor(m_rate);
        const qint64 ms = msecs - m_markMs;
        const double speed = characters * 1000.0 / double(ms);
        if (speed <= kNormalCharactersPerSecond * kFarFromUsual &&
            speed >= kNormalCharactersPerSecond / kFarFromUsual) {
            m_measuredCharacters += characters;
            m_measuredMs += ms;
        }
    }
    m_hasMark = true;
    m_markPosition = m_position;
    m_markMs = msecs;
}

int cReadingStatus::percent() const
{
    if (m_length <= 0)
        return 0;
    return int(m_position * 100 / m_length);
}

QString cReadingStatus::chapter() const
{
    const auto after = std::upper_bound(
        m_chapters.cbegin(), m_chapters.cend(), m_position,
        [](qsizetype position, const cChapter& c) { return position < c.position; });
    return after == m_chapters.cbegin() ? QString() : std::prev(after)->title;
}

double cReadingStatus::charactersPerSecond() const
{
    const double atNormal =
        (m_measuredCharacters + kNormalCharactersPerSecond * kUsualSpeedSeconds) /
        (double(m_measuredMs) / 1000.0 + kUsualSpeedSeconds);
    return atNormal * speedFactor(m_rate);
}

qint64 cReadingStatus::secondsLeft() const
{
    return std::llround(double(m_length - m_position) / charactersPerSecond());
}
