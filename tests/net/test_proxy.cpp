#include "diagnostics/help.h"
#include "net/encrypt.h"
#include "net/fSHAREDProxy.h"
#include "platform/textcodec.h"
#include "settings/lang.h"
#include "settings/settings.h"
#include "shippedlanguages.h"
#include "testsupport.h"

#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include <gtest/gtest.h>

namespace {

class ProxyWindowTest : public ::testing::Test {
protected:
    void SetUp() override { settings.DeleteAllSettings(); }
    void TearDown() override { settings.DeleteAllSettings(); }

    template <typename T> T* child(fSHAREDProxy& w, const char* name)
    {
        return w.findChild<T*>(QString::fromLatin1(name));
    }
    void type(fSHAREDProxy& w, const char* box, const QString& text)
    {
        child<QLineEdit>(w, box)->setText(text);
    }

    ScopedProgramHome home;
    RecordingPrompt prompt;
    cSHAREDSettings& settings = cSHAREDSettings::shared();
};

TEST_F(ProxyWindowTest, OpensWithNoProxyAndShowsTheFieldsOnlyForManualSettings)
{
    fSHAREDProxy w;
    EXPECT_EQ(w.windowTitle(), "Proxy Setup");
    EXPECT_TRUE(child<QRadioButton>(w, "optNoProxy")->isChecked());
    auto* frame = child<QGroupBox>(w, "Frame1");
    EXPECT_FALSE(frame->isVisibleTo(&w));
    child<QRadioButton>(w, "optNamed")->click();
    EXPECT_TRUE(frame->isVisibleTo(&w));
    child<QRadioButton>(w, "optDefault")->click();
    EXPECT_FALSE(frame->isVisibleTo(&w));
    EXPECT_EQ(child<QRadioButton>(w, "optDefault")->toolTip(),
              "Uses your Internet Explorer settings");
}

TEST_F(ProxyWindowTest, DifferentPasswordsStoreNothing)
{
    fSHAREDProxy w;
    w.show();
    child<QRadioButton>(w, "optNamed")->click();
    type(w, "txtServer", "proxy.example.org");
    type(w, "txtPassword", "one");
    type(w, "txtPassword2", "two");
    child<QPushButton>(w, "cmdOK")->click();
    EXPECT_EQ(prompt.messages, QStringList{"Your passwords don't match.  Please retype them."});
    EXPECT_TRUE(w.isVisible());
    EXPECT_FALSE(settings.IsSettingPresent("ProxyServer"));
    EXPECT_FALSE(settings.IsSettingPresent("ProxyType"));

    // Cancel leaves the settings alone too.
    child<QPushButton>(w, "cmdCancel")->click();
    EXPECT_FALSE(w.isVisible());
    EXPECT_EQ(settings.SettingsCount(), 0);
}

TEST_F(ProxyWindowTest, ManualSettingsAreStoredScrambledAndReadBack)
{
    {
        fSHAREDProxy w;
        w.show();
        child<QRadioButton>(w, "optNamed")->click();
        type(w, "txtServer", "proxy.example.org");
        type(w, "txtPort", "3128");
        type(w, "txtUser", "reader");
        type(w, "txtPassword", "open <sesame> & more");
        type(w, "txtPassword2", "open <sesame> & more");
        child<QPushButton>(w, "cmdOK")->click();
        EXPECT_TRUE(prompt.messages.isEmpty());
        EXPECT_FALSE(w.isVisible());
    }
    EXPECT_EQ(settings.sGet("ProxyType").toInt(), 2);
    EXPECT_EQ(settings.sGet("ProxyServer").toString(), "proxy.example.org");
    EXPECT_EQ(settings.sGet("ProxyPort").toString(), "3128");
    const QString stored = settings.sGet("ProxyPwd").toString();
    EXPECT_FALSE(stored.contains("sesame"));
    EXPECT_GT(TextCodec::win1252Code(stored.front()), 128);

    // Through the file and back.
    const QString ini = cSHAREDSettings::sharedFilename();
    ASSERT_TRUE(settings.SaveSettings(ini));
    settings.LoadSettings(ini);
    fSHAREDProxy again;
    EXPECT_TRUE(child<QRadioButton>(again, "optNamed")->isChecked());
    EXPECT_EQ(child<QLineEdit>(again, "txtPassword")->text(), "open <sesame> & more");
    EXPECT_EQ(child<QLineEdit>(again, "txtPassword2")->text(), "open <sesame> & more");
    EXPECT_EQ(child<QLineEdit>(again, "txtUser")->text(), "reader");

    // Two empty passwords are accepted, and the system's proxy chosen.
    type(again, "txtPassword", "");
    type(again, "txtPassword2", "");
    child<QRadioButton>(again, "optDefault")->click();
    child<QPushButton>(again, "cmdOK")->click();
    EXPECT_TRUE(prompt.messages.isEmpty());
    EXPECT_EQ(settings.sGet("ProxyType").toInt(), 0);
    EXPECT_EQ(settings.sGet("ProxyPwd").toString(), "");
}

TEST_F(ProxyWindowTest, ASettingsFileHoldingAPasswordIsTheOwnersAlone)
{
    const QString ini = cSHAREDSettings::sharedFilename();
    const auto privateMode = QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                             QFileDevice::ReadUser | QFileDevice::WriteUser;
    // An existing, world-readable file.
    settings.sSet("ProxyServer", "proxy.example.org");
    ASSERT_TRUE(settings.SaveSettings(ini));
    QFile::setPermissions(ini, privateMode | QFileDevice::ReadGroup | QFileDevice::ReadOther);

    settings.sSet("ProxyPwd", cSharedEncrypt::instance().Encrypt("pw"));
    ASSERT_TRUE(settings.SaveSettings(ini));
    EXPECT_EQ(QFile::permissions(ini), privateMode);

    // A new one.
    QFile::remove(ini);
    ASSERT_TRUE(settings.SaveSettings(ini));
    EXPECT_EQ(QFile::permissions(ini), privateMode);
}

TEST_F(ProxyWindowTest, OpensInGermanWithAKeyForEveryControl)
{
    auto& lang = cSharedLang::instance();
    const int german = shippedLanguage(lang, "Deutsch");
    ASSERT_GT(german, 0);
    lang.LoadLanguage(german);
    fSHAREDProxy w;
    lang.RevertToEnglish();
    EXPECT_EQ(w.windowTitle(), "Proxy-Einstellungen");
    EXPECT_EQ(child<QRadioButton>(w, "optNamed")->text(), "&Manuelle Einstellungen");
    EXPECT_EQ(child<QRadioButton>(w, "optNoProxy")->toolTip(), "Schaltet den Proxy aus");
    EXPECT_EQ(child<QGroupBox>(w, "Frame1")->title(), "Proxy-Server");
    EXPECT_EQ(child<QPushButton>(w, "cmdCancel")->text(), "&Abbrechen");
    const struct {
        const char* label;
        const char* field;
        const char* text;
    } labels[] = {{"lblServer", "txtServer", "&Server:"},
                  {"lblPort", "txtPort", "&Port:"},
                  {"lblUser", "txtUser", "&Benutzer:"},
                  {"lblPassword", "txtPassword", "Pass&wort:"},
                  {"lblPassword2", "txtPassword2", "Passwort w&iederholen:"}};
    for (const auto& row : labels) {
        auto* label = child<QLabel>(w, row.label);
        ASSERT_TRUE(label) << row.label;
        EXPECT_EQ(label->text(), row.text);
        EXPECT_EQ(label->buddy(), child<QLineEdit>(w, row.field)) << row.label;
    }
}

TEST_F(ProxyWindowTest, HelpOpensTheHelpPage)
{
    QStringList opened;
    const auto previous = cSharedWWW::setOpener([&](const QString& a) {
        opened << a;
        return true;
    });
    fSHAREDProxy w;
    child<QPushButton>(w, "cmdHelp")->click();
    cSharedWWW::setOpener(previous);
    ASSERT_EQ(opened.size(), 1);
    EXPECT_TRUE(opened.first().endsWith("Index.htm")) << opened.first().toStdString();
}

TEST(Scrambling, PasswordsSurviveTheRoundTrip)
{
    QString printable;
    for (char16_t c = 32; c < 127; ++c)
        printable += QChar(c);
    const QStringList passwords = {
        "secret",      printable,    "&lt;&amp;&#65;", "\"quoted\" <b> – — é ß ¢ € ÿ",
        "ā中文 emoji", "  spaced  ", "100% sure",      QString(QChar(0x81)) + "x"};
    for (const QString& password : passwords) {
        const QString scrambled = cSharedEncrypt::instance().Encrypt(password);
        EXPECT_NE(scrambled, password);
        EXPECT_GT(TextCodec::win1252Code(scrambled.front()), 128) << password.toStdString();
        EXPECT_EQ(cSharedDecrypt::instance().Decrypt(scrambled), password);
    }
    // Stored plainly by an older version: used as it is.
    EXPECT_EQ(cSharedDecrypt::instance().Decrypt("plain&text"), "plain&text");
    EXPECT_EQ(cSharedDecrypt::instance().Decrypt(""), "");
    EXPECT_EQ(cSharedEncrypt::instance().Encrypt("abc"), QString("\u00c5\u00c6\u00c7"));
}

} // namespace
