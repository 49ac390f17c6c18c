#include "reader/themeicons.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QIconEngine>
#include <QPainter>
#include <QPalette>
#include <QStandardPaths>

#include <utility>

namespace {

// Themes that hold the media and document icons under their standard names.
const char* const kThemes[] = {"gnome", "oxygen", "breeze", "Tango"};
const QString kProbe = QStringLiteral("media-playback-start");

// Painted when drawn, so a dark or high-contrast palette chosen later still shows it.
class TextIconEngine : public QIconEngine {
public:
    explicit TextIconEngine(QString text) : m_text(std::move(text)) {}
    QIconEngine* clone() const override { return new TextIconEngine(m_text); }
    QString key() const override { return QStringLiteral("parloText"); }
    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State) override
    {
        const QPalette palette = QApplication::palette();
        painter->save();
        QFont font = QApplication::font();
        font.setBold(true);
        font.setPixelSize(qMax(6, rect.height() * 3 / 4));
        painter->setFont(font);
        painter->setPen(palette.color(
            mode == QIcon::Disabled ? QPalette::Disabled : QPalette::Active, QPalette::ButtonText));
        painter->drawText(rect, Qt::AlignCenter, m_text);
        painter->restore();
    }
    // Qt's own leaves the pixmap unfilled.
    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override
    {
        QPixmap pixmap(size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        paint(&painter, pixmap.rect(), mode, state);
        return pixmap;
    }

private:
    QString m_text;
};

bool themeInstalled(const QStringList& folders, const QString& theme)
{
    for (const QString& folder : folders) {
        if (QFileInfo::exists(folder + QLatin1Char('/') + theme + QStringLiteral("/index.theme")))
            return true;
    }
    return false;
}

} // namespace

namespace ThemeIcons {

void prepare()
{
    QStringList folders = QIcon::themeSearchPaths();
    const QStringList shared =
        QStandardPaths::locateAll(QStandardPaths::GenericDataLocation, QStringLiteral("icons"),
                                  QStandardPaths::LocateDirectory);
    for (const QString& folder : shared) {
        if (!folders.contains(folder))
            folders << folder;
    }
    QIcon::setThemeSearchPaths(folders);
    if (QIcon::hasThemeIcon(kProbe))
        return;
    for (const char* name : kThemes) {
        const QString theme = QString::fromLatin1(name);
        if (!themeInstalled(folders, theme))
            continue;
        const QString current = QIcon::themeName();
        if (current.isEmpty() || current == QLatin1String("hicolor"))
            QIcon::setThemeName(theme);
        else
            QIcon::setFallbackThemeName(theme);
        if (QIcon::hasThemeIcon(kProbe))
            return;
    }
}

QIcon textIcon(const QString& text)
{
    return QIcon(new TextIconEngine(text));
}

} // namespace ThemeIcons
