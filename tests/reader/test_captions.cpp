// Every window in every language, drawn at twice and at one and a half times the size: no
// caption may be cut off, the access keys of a window must stay distinct, and Tab must reach
// every control.

#include "diagnostics/fSHAREDErrorRpt.h"
#include "fakevoice.h"
#include "files/fileselect.h"
#include "library/fSHAREDGut.h"
#include "net/fSHAREDInternet.h"
#include "net/fSHAREDProxy.h"
#include "reader/fAbout.h"
#include "readerfixture.h"
#include "speech/editor/frmLex.h"
#include "speech/editor/frmWordPair.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractSpinBox>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QTest>
#include <QTextEdit>

#include <functional>

namespace {

// Built twice: at twice the size, and at one and a half (the suite then has its own name).
#ifndef PARLO_CAPTION_SCALE
#define PARLO_CAPTION_SCALE "2"
#define CAPTIONS Captions
#else
#define CAPTIONS CaptionsAt150
#endif

// Before the test program's QApplication exists.
const bool kScaled = qputenv("QT_SCALE_FACTOR", PARLO_CAPTION_SCALE);

QString shown(QString text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text.at(i) == QLatin1Char('&'))
            text.remove(i, 1);
    }
    return text;
}

int widestLine(const QFontMetrics& metrics, const QString& text)
{
    int widest = 0;
    for (const QString& line : text.split(QLatin1Char('\n')))
        widest = qMax(widest, metrics.horizontalAdvance(line));
    return widest;
}

// The captions of `window` that do not fit their controls, as "name: text".
QStringList clipped(QWidget* window)
{
    QStringList cut;
    for (QWidget* w : window->findChildren<QWidget*>()) {
        if (!w->isVisibleTo(window) || w->objectName().startsWith(QLatin1String("qt_")))
            continue;
        const QFontMetrics metrics = w->fontMetrics();
        QStyle* style = w->style();
        int needed = 0;
        int room = w->width();
        QString text;
        if (auto* check = qobject_cast<QCheckBox*>(w)) {
            text = check->text();
            needed = style->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, w) +
                     style->pixelMetric(QStyle::PM_CheckBoxLabelSpacing, nullptr, w);
        } else if (auto* radio = qobject_cast<QRadioButton*>(w)) {
            text = radio->text();
            needed = style->pixelMetric(QStyle::PM_ExclusiveIndicatorWidth, nullptr, w) +
                     style->pixelMetric(QStyle::PM_RadioButtonLabelSpacing, nullptr, w);
        } else if (auto* button = qobject_cast<QAbstractButton*>(w)) {
            text = button->text();
            // The caption and icon are drawn inside the frame.
            needed = 2 * style->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, w);
            if (!button->icon().isNull() && !text.isEmpty())
                needed += button->iconSize().width() + 4;
        } else if (auto* label = qobject_cast<QLabel*>(w)) {
            if (label->wordWrap() || label->textFormat() == Qt::RichText ||
                Qt::mightBeRichText(label->text()))
                continue;
            text = label->text();
            room = label->contentsRect().width() - 2 * qMax(0, label->margin());
        } else if (auto* group = qobject_cast<QGroupBox*>(w)) {
            text = group->title();
        }
        text = shown(text);
        if (text.isEmpty())
            continue;
        needed += widestLine(metrics, text);
        if (needed > room)
            cut << QStringLiteral("%1: \"%2\" needs %3, has %4")
                       .arg(w->objectName(), text)
                       .arg(needed)
                       .arg(room);
    }
    return cut;
}

// Access keys of the controls a window's Alt+letter reaches, with who holds each.
QStringList clashingKeys(QWidget* window)
{
    QMap<QString, QStringList> holders;
    auto note = [&](const QString& text, const QString& who) {
        const QKeySequence key = QKeySequence::mnemonic(text);
        if (!key.isEmpty())
            holders[key.toString().toLower()] << who;
    };
    for (QAbstractButton* b : window->findChildren<QAbstractButton*>())
        note(b->text(), b->objectName());
    for (QLabel* l : window->findChildren<QLabel*>()) {
        if (l->buddy())
            note(l->text(), l->objectName());
    }
    if (auto* main = qobject_cast<QMainWindow*>(window)) {
        for (QAction* a : main->menuBar()->actions())
            note(a->text(), a->text());
    }
    QStringList clashes;
    for (auto it = holders.cbegin(); it != holders.cend(); ++it) {
        if (it->size() > 1)
            clashes << it.key() + ": " + it->join(QStringLiteral(", "));
    }
    return clashes;
}

// The controls of a window that Tab never reaches, so that a keyboard alone cannot use them.
QStringList untabbable(QWidget* window)
{
    QStringList out;
    for (QWidget* w : window->findChildren<QWidget*>()) {
        const bool control = qobject_cast<QAbstractButton*>(w) || qobject_cast<QLineEdit*>(w) ||
                             qobject_cast<QComboBox*>(w) || qobject_cast<QAbstractItemView*>(w) ||
                             qobject_cast<QAbstractSpinBox*>(w) || qobject_cast<QTextEdit*>(w) ||
                             qobject_cast<QPlainTextEdit*>(w);
        if (!control || !w->isVisibleTo(window) || !w->isEnabled() ||
            w->objectName().startsWith(QLatin1String("qt_")) ||
            qobject_cast<QAbstractItemView*>(w->parentWidget()) ||
            qobject_cast<QComboBox*>(w->parentWidget()) ||
            qobject_cast<QLineEdit*>(w->parentWidget()))
            continue;
        if (!(w->focusPolicy() & Qt::TabFocus))
            out << w->metaObject()->className() + QStringLiteral(" ") + w->objectName();
    }
    return out;
}

class Captions : public ReaderWindow {
protected:
    void check(QWidget* window, const QString& language)
    {
        window->show();
        window->adjustSize();
        // A caption's new width travels up one layout per pass.
        for (int pass = 0; pass < 8; ++pass)
            QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
        SCOPED_TRACE((language + " / " + window->objectName()).toStdString());
        EXPECT_EQ(clipped(window), QStringList());
        EXPECT_EQ(clashingKeys(window), QStringList());
        EXPECT_EQ(untabbable(window), QStringList());
    }
};

using CaptionsAt150 = Captions;

} // namespace

TEST_F(CAPTIONS, ACutCaptionASharedKeyAndAControlTabSkipsAreCaught)
{
    QWidget window;
    auto* narrow = new QPushButton(QStringLiteral("&Quite a long caption"), &window);
    narrow->setObjectName(QStringLiteral("narrow"));
    narrow->setFixedWidth(40);
    auto* other = new QPushButton(QStringLiteral("&Question"), &window);
    other->setObjectName(QStringLiteral("other"));
    other->move(0, 60);
    window.resize(300, 120);
    window.show();
    EXPECT_EQ(clipped(&window).size(), 1);
    EXPECT_EQ(clashingKeys(&window), QStringList({"alt+q: narrow, other"}));
    EXPECT_EQ(untabbable(&window), QStringList());
    other->setFocusPolicy(Qt::ClickFocus);
    EXPECT_EQ(untabbable(&window), QStringList({"QPushButton other"}));
}

TEST_F(CAPTIONS, EveryWindowShowsWholeCaptionsInEveryLanguageScaledUp)
{
    ASSERT_TRUE(kScaled);
    ASSERT_EQ(qApp->devicePixelRatio(), QByteArray(PARLO_CAPTION_SCALE).toDouble());
    auto main = start();
    ASSERT_TRUE(m_started);
    QMenu* languages = main->findChild<QMenu*>("mnuLang");
    const int count = int(languages->actions().size());
    ASSERT_GE(count, 3) << "English and the shipped languages";
    const std::function<QWidget*()> dialogs[] = {
        [] { return new fAbout; },
        [] { return new frmLex(nullptr, [](Failure&) { return std::make_unique<FakeVoice>(); }); },
        [] {
            return new frmWordPair(nullptr, [](Failure&) { return std::make_unique<FakeVoice>(); });
        },
        [] { return new frmFileSelect; },
        [] { return new fSHAREDErrorRpt; },
        [] { return new fSHAREDInternet; },
        [] { return new fSHAREDProxy; },
        [] {
            // The fields and their labels show only for settings given by hand.
            auto* proxy = new fSHAREDProxy;
            proxy->findChild<QRadioButton*>("optNamed")->click();
            return proxy;
        },
        [] {
            auto* library = new fSHAREDGut;
            library->Form_Load();
            return library;
        },
    };
    for (int i = 0; i < count; ++i) {
        main->chooseLanguage(i);
        const QString language = languages->actions().at(i)->text();
        check(main.get(), language);
        // Every button of the reader window has its own key, in every language.
        for (QPushButton* button :
             main->findChild<QWidget*>("Frame1")->findChildren<QPushButton*>())
            EXPECT_FALSE(QKeySequence::mnemonic(button->text()).isEmpty())
                << language.toStdString() << " " << button->text().toStdString();
        for (const auto& make : dialogs) {
            std::unique_ptr<QWidget> dialog(make());
            cSharedLang::instance().TranslateForm(dialog.get());
            check(dialog.get(), language);
        }
    }
    main->ShutDown();
}
