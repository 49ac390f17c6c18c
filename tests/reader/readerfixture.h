#pragma once

#include "fakevoice.h"
#include "reader/frmMain.h"
#include "settings/lang.h"
#include "settings/settings.h"
#include "testsupport.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QMenu>
#include <QPushButton>
#include <QTextEdit>
#include <memory>

// A started reader window on a fake voice, in a fresh program folder.
class ReaderWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        cSHAREDSettings::shared().DeleteAllSettings();
        cSharedLang::instance().RevertToEnglish();
    }

    // voices < 0: the real espeak-ng voice.
    std::unique_ptr<frmMain> start(int voices = 3)
    {
        frmMain::Options options;
        options.showSplash = false;
        options.updaterProgram = updaterProgram;
        if (!realSaveDialog)
            options.chooseWavFile = [this](QWidget*) { return wavChoice; };
        if (voices < 0) {
            auto window = std::make_unique<frmMain>(options);
            m_started = window->startUp();
            return window;
        }
        options.voiceFactory = [this, voices](Failure& failure) -> std::unique_ptr<cSpeechVoice> {
            if (voices == 0) {
                failure.number = Err::NoVoices;
                return nullptr;
            }
            auto voice = std::make_unique<FakeVoice>();
            voice->voices = voice->voices.mid(0, voices);
            voice->variantList = variants;
            m_voice = voice.get();
            return voice;
        };
        auto window = std::make_unique<frmMain>(options);
        m_started = window->startUp();
        return window;
    }

    template <typename T> static T* child(frmMain& window, const char* name)
    {
        T* found = window.findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }

    // The language menu's entry with this title; -1 when there is none.
    static int languageIndex(frmMain& window, const QString& title)
    {
        const QList<QAction*> languages = window.findChild<QMenu*>("mnuLang")->actions();
        for (int i = 0; i < languages.size(); ++i) {
            if (languages[i]->text() == title)
                return i;
        }
        return -1;
    }

    static void click(frmMain& window, const char* name)
    {
        child<QPushButton>(window, name)->click();
    }
    // Lets the fake voice finish the piece it speaks, which starts the next one.
    void speakOn() { ASSERT_TRUE(m_voice->finishNext()); }
    // A book in the program folder (sub-folders made as needed).
    QString book(const QString& name, const QByteArray& text = "One. Two. Three.")
    {
        const QString path = home.file(name);
        QDir().mkpath(QFileInfo(path).absolutePath());
        writeBytes(path, text);
        return path;
    }

    static QTextEdit* box(frmMain& window) { return child<QTextEdit>(window, "RichTextBox1"); }
    static void setCursor(frmMain& window, int position)
    {
        QTextCursor cursor = box(window)->textCursor();
        cursor.setPosition(position);
        box(window)->setTextCursor(cursor);
    }
    static QString selected(frmMain& window)
    {
        return box(window)
            ->textCursor()
            .selectedText()
            .replace(QChar::ParagraphSeparator, u'\n')
            .replace(QChar::LineSeparator, u'\n');
    }

    ScopedProgramHome home;
    QString wavChoice;
    bool realSaveDialog = false; // the window's own file dialog instead of wavChoice
    QString updaterProgram;      // the installer stand-in; parlo-updater when empty
    RecordingPrompt prompt;
    QList<cVoiceVariant> variants; // the fake voice's variants; none unless a test gives some
    FakeVoice* m_voice = nullptr;
    bool m_started = false;
};
