// The buttons' icons: the desktop theme's where it has them, the old plain captions in
// their place where it has none.

#include "reader/themeicons.h"
#include "readerfixture.h"

#include <QDir>
#include <QIcon>
#include <QImage>
#include <QPushButton>

#include <gtest/gtest.h>

namespace {

// An icon theme in a folder of its own, holding red icons of the given names.
void writeTheme(const QString& folder, const QString& theme, const QStringList& icons)
{
    const QString root = folder + '/' + theme;
    ASSERT_TRUE(QDir().mkpath(root + "/16x16/actions"));
    writeBytes(root + "/index.theme", "[Icon Theme]\nName=" + theme.toUtf8() +
                                          "\nDirectories=16x16/actions\n\n"
                                          "[16x16/actions]\nSize=16\nType=Fixed\n");
    QImage red(16, 16, QImage::Format_ARGB32);
    red.fill(Qt::red);
    for (const QString& icon : icons)
        ASSERT_TRUE(red.save(root + "/16x16/actions/" + icon + ".png"));
}

QImage drawn(const QIcon& icon)
{
    return icon.pixmap(QSize(16, 16)).toImage().convertToFormat(QImage::Format_ARGB32);
}

bool isRed(const QIcon& icon)
{
    return !icon.isNull() && drawn(icon).pixelColor(8, 8) == QColor(Qt::red);
}

// Whether anything at all was drawn.
bool hasInk(const QIcon& icon)
{
    const QImage image = drawn(icon);
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (image.pixelColor(x, y).alpha() > 0)
                return true;
        }
    }
    return false;
}

class Icons : public ReaderWindow {
protected:
    void SetUp() override
    {
        ReaderWindow::SetUp();
        m_paths = QIcon::themeSearchPaths();
        m_theme = QIcon::themeName();
        m_fallback = QIcon::fallbackThemeName();
        m_dataDirs = qgetenv("XDG_DATA_DIRS");
    }
    void TearDown() override
    {
        QIcon::setThemeSearchPaths(m_paths);
        QIcon::setThemeName(m_theme);
        QIcon::setFallbackThemeName(m_fallback);
        qputenv("XDG_DATA_DIRS", m_dataDirs);
    }
    QPushButton* button(frmMain& window, const char* name)
    {
        return child<QPushButton>(window, name);
    }

private:
    QStringList m_paths;
    QString m_theme;
    QString m_fallback;
    QByteArray m_dataDirs;
};

} // namespace

TEST_F(Icons, TheThemesIconsShowAndPlainCaptionsStandInForTheMissingOnes)
{
    writeTheme(home.file("icons"), "parlotest", {"media-seek-forward", "media-playback-start"});
    QIcon::setThemeSearchPaths({home.file("icons")});
    QIcon::setThemeName("parlotest");
    auto window = start();
    ASSERT_TRUE(m_started);
    EXPECT_TRUE(isRed(button(*window, "cmdFaster")->icon()));
    EXPECT_TRUE(isRed(button(*window, "cmdRead")->icon()));
    // Not in the theme: "<<" in its place, beside the caption.
    const QIcon slower = button(*window, "cmdSlower")->icon();
    EXPECT_FALSE(isRed(slower));
    EXPECT_TRUE(hasInk(slower));
    EXPECT_EQ(button(*window, "cmdSlower")->text(), "Slo&wer");
    // No plain caption was ever described for Stop beyond its word: the word alone.
    EXPECT_TRUE(button(*window, "cmdStopReading")->icon().isNull());
    window->ShutDown();
}

TEST_F(Icons, WithoutAnyThemeTheButtonsKeepTheirWordsAndTheOldSigns)
{
    QIcon::setThemeSearchPaths({});
    auto window = start();
    ASSERT_TRUE(m_started);
    for (const char* name : {"cmdRead", "cmdPause", "cmdStopReading", "cmdSpeakToWav", "cmdLoad",
                             "cmdReload", "cmdGUT"}) {
        EXPECT_TRUE(button(*window, name)->icon().isNull()) << name;
        EXPECT_FALSE(button(*window, name)->text().isEmpty()) << name;
    }
    for (const char* name :
         {"cmdSlower", "cmdFaster", "cmdFontBigger", "cmdFontSmaller", "cmdAbout", "cmdQuit"})
        EXPECT_TRUE(hasInk(button(*window, name)->icon())) << name;
    window->ShutDown();
}

TEST_F(Icons, AnInstalledThemeStandsInWhereThePlatformNamesNoneOrOneWithoutThem)
{
    const QString shared = home.file("share");
    writeTheme(shared + "/icons", "gnome", {"media-playback-start"});
    writeTheme(shared + "/icons", "plain", {"folder"});
    qputenv("XDG_DATA_DIRS", shared.toUtf8());

    QIcon::setThemeSearchPaths({});
    QIcon::setThemeName("hicolor");
    ThemeIcons::prepare();
    EXPECT_TRUE(QIcon::themeSearchPaths().contains(shared + "/icons"));
    EXPECT_EQ(QIcon::themeName(), "gnome");
    EXPECT_TRUE(isRed(QIcon::fromTheme("media-playback-start")));

    // The user's own theme stays first; the installed one only fills its gaps.
    QIcon::setThemeName("plain");
    QIcon::setFallbackThemeName("hicolor");
    ThemeIcons::prepare();
    EXPECT_EQ(QIcon::themeName(), "plain");
    EXPECT_EQ(QIcon::fallbackThemeName(), "gnome");
    EXPECT_TRUE(isRed(QIcon::fromTheme("media-playback-start")));
}
