#include "settings/readermemory.h"

#include <QLocale>

#include <algorithm>

namespace {

constexpr int kLowest = -10;
constexpr int kHighest = 10;
// QFont refuses point sizes beyond this.
constexpr qreal kLargestPointSize = 1638;
// Enough of a window to see it and drag it by its title.
constexpr int kGraspWidth = 100;
constexpr int kGraspHeight = 40;

// Values read from the file are text with the blanks of printed numbers.
std::optional<int> number(const QVariant& value)
{
    bool ok = false;
    const int result = value.toString().trimmed().toInt(&ok);
    return ok ? std::optional<int>(result) : std::nullopt;
}

int level(const QVariant& value)
{
    return std::clamp(number(value).value_or(0), kLowest, kHighest);
}

QString text(const cSHAREDSettings& settings, const char* key)
{
    return settings.RetrieveSetting(QString::fromLatin1(key), QString()).toString();
}

} // namespace

QString cSpeechChoice::toText() const
{
    return QStringLiteral("%1,%2,%3,%4").arg(rate).arg(pitch).arg(variant, voice);
}

std::optional<cSpeechChoice> cSpeechChoice::fromText(const QString& text)
{
    const QStringList parts = text.split(u',');
    if (parts.size() < 4)
        return std::nullopt;
    const std::optional<int> rate = number(parts[0]);
    const std::optional<int> pitch = number(parts[1]);
    if (!rate || !pitch)
        return std::nullopt;
    cSpeechChoice choice;
    choice.rate = std::clamp(*rate, kLowest, kHighest);
    choice.pitch = std::clamp(*pitch, kLowest, kHighest);
    choice.variant = parts[2].trimmed();
    choice.voice = parts.mid(3).join(u',').trimmed();
    return choice;
}

namespace ReaderMemory {

cSpeechChoice speech(const cSHAREDSettings& settings)
{
    cSpeechChoice choice;
    choice.voice = text(settings, "LastEngineName").trimmed();
    choice.variant = text(settings, "LastVariant").trimmed();
    choice.rate = level(settings.RetrieveSetting(QStringLiteral("LastRate"), 0));
    choice.pitch = level(settings.RetrieveSetting(QStringLiteral("LastPitch"), 0));
    return choice;
}

void storeSpeech(cSHAREDSettings& settings, const cSpeechChoice& choice)
{
    if (!choice.voice.isEmpty())
        settings.StoreSetting(QStringLiteral("LastEngineName"), choice.voice);
    settings.StoreSetting(QStringLiteral("LastVariant"), choice.variant);
    settings.StoreSetting(QStringLiteral("LastRate"), choice.rate);
    settings.StoreSetting(QStringLiteral("LastPitch"), choice.pitch);
}

std::optional<qreal> fontSize(const cSHAREDSettings& settings)
{
    bool ok = false;
    const qreal size = QLocale::c().toDouble(text(settings, "FontSize").trimmed(), &ok);
    if (!ok || !(size >= 1 && size <= kLargestPointSize))
        return std::nullopt;
    return size;
}

void storeFontSize(cSHAREDSettings& settings, qreal pointSize)
{
    // As text in the C locale: a decimal comma would not read back.
    settings.StoreSetting(QStringLiteral("FontSize"), QLocale::c().toString(pointSize, 'g', 6));
}

std::optional<cWindowPlace> windowPlace(const cSHAREDSettings& settings)
{
    const auto left = number(settings.RetrieveSetting(QStringLiteral("WindowLeft")));
    const auto top = number(settings.RetrieveSetting(QStringLiteral("WindowTop")));
    const auto width = number(settings.RetrieveSetting(QStringLiteral("WindowWidth")));
    const auto height = number(settings.RetrieveSetting(QStringLiteral("WindowHeight")));
    if (!left || !top || !width || !height || *width <= 0 || *height <= 0)
        return std::nullopt;
    cWindowPlace place;
    place.geometry = QRect(*left, *top, *width, *height);
    place.maximized =
        number(settings.RetrieveSetting(QStringLiteral("WindowMaximized"))).value_or(0) != 0;
    return place;
}

void storeWindowPlace(cSHAREDSettings& settings, const cWindowPlace& place)
{
    settings.StoreSetting(QStringLiteral("WindowLeft"), place.geometry.left());
    settings.StoreSetting(QStringLiteral("WindowTop"), place.geometry.top());
    settings.StoreSetting(QStringLiteral("WindowWidth"), place.geometry.width());
    settings.StoreSetting(QStringLiteral("WindowHeight"), place.geometry.height());
    settings.StoreSetting(QStringLiteral("WindowMaximized"), place.maximized);
}

QRect fitToScreens(const QRect& stored, const QList<QRect>& screens)
{
    if (stored.isEmpty())
        return {};
    const QRect* best = nullptr;
    qint64 bestArea = 0;
    for (const QRect& screen : screens) {
        const QRect shared = stored.intersected(screen);
        const qint64 area = qint64(shared.width()) * shared.height();
        if (!shared.isEmpty() && shared.width() >= std::min(kGraspWidth, stored.width()) &&
            shared.height() >= std::min(kGraspHeight, stored.height()) && area > bestArea) {
            best = &screen;
            bestArea = area;
        }
    }
    if (!best)
        return {};
    QRect fitted = stored;
    fitted.setWidth(std::min(stored.width(), best->width()));
    fitted.setHeight(std::min(stored.height(), best->height()));
    if (fitted.right() > best->right())
        fitted.moveRight(best->right());
    if (fitted.bottom() > best->bottom())
        fitted.moveBottom(best->bottom());
    if (fitted.left() < best->left())
        fitted.moveLeft(best->left());
    if (fitted.top() < best->top())
        fitted.moveTop(best->top());
    return fitted;
}

} // namespace ReaderMemory
