#include "reader/fAbout.h"

#include "parlo_config.h"
#include "reader/fSplash.h"
#include "settings/lang.h"
#include "util/identity.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QVBoxLayout>

fAbout::fAbout(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("fAbout"));
    setWindowTitle(QStringLiteral("About Parlo"));
    auto* layout = new QVBoxLayout(this);
    auto* picture = new QLabel(this);
    picture->setPixmap(fSplash::picture(QSize(360, 200), devicePixelRatioF()));
    picture->setAlignment(Qt::AlignCenter);
    layout->addWidget(picture);

    auto* text = new QLabel(this);
    text->setObjectName(QStringLiteral("lblAbout"));
    text->setTextFormat(Qt::RichText);
    text->setOpenExternalLinks(true);
    text->setWordWrap(true);
    text->setTextInteractionFlags(Qt::TextBrowserInteraction);
    const QString site = QStringLiteral(PARLO_MAKER_SITE);
    text->setText(
        QStringLiteral("<h2>Parlo %1</h2>"
                       "<p>%4</p>"
                       "<p><a href=\"%2\">%2</a></p>"
                       "<p>%3</p>")
            .arg(cSHAREDSubs::instance().AppVersion(), site.toHtmlEscaped(),
                 cSharedOSInfo::instance().fOSName().toHtmlEscaped(),
                 cSharedLang::instance()
                     .GetTranslation(QStringLiteral("Reads books aloud, sentence by sentence."))
                     .toHtmlEscaped()));
    layout->addWidget(text);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    layout->addWidget(buttons);
    cSharedLang::instance().TranslateForm(this);
}
