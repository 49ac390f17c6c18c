#include "net/fSHAREDProxy.h"

#include "diagnostics/help.h"
#include "diagnostics/userprompt.h"
#include "net/encrypt.h"
#include "settings/lang.h"
#include "settings/settings.h"

#include <QCoreApplication>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace {

template <typename Widget> Widget* named(Widget* widget, const QString& name)
{
    widget->setObjectName(name);
    return widget;
}

QRadioButton* option(const QString& name, const QString& caption, const QString& tip,
                     QWidget* parent)
{
    auto* button = named(new QRadioButton(caption, parent), name);
    button->setToolTip(tip);
    return button;
}

// Alt+key of the caption moves to the field.
QLabel* label(const QString& name, const QString& caption, QWidget* field)
{
    auto* text = named(new QLabel(caption, field->parentWidget()), name);
    text->setBuddy(field);
    return text;
}

} // namespace

fSHAREDProxy::fSHAREDProxy(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmProxySetup"));
    setWindowTitle(QStringLiteral("Proxy Setup"));

    optNamed = option(QStringLiteral("optNamed"), QStringLiteral("&Manual Settings"),
                      QStringLiteral("Allows you to specify proxy settings manually"), this);
    optDefault = option(QStringLiteral("optDefault"), QStringLiteral("System &Default Proxy"),
                        QStringLiteral("Uses your Internet Explorer settings"), this);
    optNoProxy = option(QStringLiteral("optNoProxy"), QStringLiteral("&No Proxy"),
                        QStringLiteral("Switches off the proxy"), this);

    Frame1 = named(new QGroupBox(QStringLiteral("Proxy Settings"), this), QStringLiteral("Frame1"));
    txtServer = named(new QLineEdit(Frame1), QStringLiteral("txtServer"));
    txtPort = named(new QLineEdit(Frame1), QStringLiteral("txtPort"));
    txtUser = named(new QLineEdit(Frame1), QStringLiteral("txtUser"));
    txtPassword = named(new QLineEdit(Frame1), QStringLiteral("txtPassword"));
    txtPassword2 = named(new QLineEdit(Frame1), QStringLiteral("txtPassword2"));
    txtPassword->setEchoMode(QLineEdit::Password);
    txtPassword2->setEchoMode(QLineEdit::Password);
    auto* fields = new QFormLayout(Frame1);
    fields->addRow(label(QStringLiteral("lblServer"), QStringLiteral("&Server:"), txtServer),
                   txtServer);
    fields->addRow(label(QStringLiteral("lblPort"), QStringLiteral("&Port:"), txtPort), txtPort);
    fields->addRow(label(QStringLiteral("lblUser"), QStringLiteral("&User:"), txtUser), txtUser);
    fields->addRow(label(QStringLiteral("lblPassword"), QStringLiteral("Pass&word:"), txtPassword),
                   txtPassword);
    fields->addRow(
        label(QStringLiteral("lblPassword2"), QStringLiteral("&Enter Again:"), txtPassword2),
        txtPassword2);

    cmdOK = named(new QPushButton(QStringLiteral("&OK"), this), QStringLiteral("cmdOK"));
    cmdCancel =
        named(new QPushButton(QStringLiteral("&Cancel"), this), QStringLiteral("cmdCancel"));
    cmdHelp = named(new QPushButton(QStringLiteral("&Help"), this), QStringLiteral("cmdHelp"));
    cmdOK->setDefault(true);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(cmdHelp);
    buttons->addStretch();
    buttons->addWidget(cmdOK);
    buttons->addWidget(cmdCancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(optNamed);
    layout->addWidget(optDefault);
    layout->addWidget(optNoProxy);
    layout->addWidget(Frame1);
    layout->addLayout(buttons);

    connect(optDefault, &QRadioButton::clicked, this, &fSHAREDProxy::optDefault_Click);
    connect(optNoProxy, &QRadioButton::clicked, this, &fSHAREDProxy::optNoProxy_Click);
    connect(optNamed, &QRadioButton::clicked, this, &fSHAREDProxy::optNamed_Click);
    connect(cmdOK, &QPushButton::clicked, this, &fSHAREDProxy::cmdOK_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &fSHAREDProxy::cmdCancel_Click);
    connect(cmdHelp, &QPushButton::clicked, this, &fSHAREDProxy::cmdHelp_Click);

    Form_Load();
    cSharedLang::instance().TranslateForm(this);
}

void fSHAREDProxy::Form_Load()
{
    auto& settings = cSHAREDSettings::shared();
    Frame1->setVisible(false);
    switch (settings.sGet(QStringLiteral("ProxyType"), 1).toInt()) {
    case 1:
        optNoProxy->setChecked(true);
        optNoProxy_Click();
        break;
    case 0:
        optDefault->setChecked(true);
        optDefault_Click();
        break;
    case 2:
        optNamed->setChecked(true);
        optNamed_Click();
        break;
    default:
        break;
    }
    txtPort->setText(settings.sGet(QStringLiteral("ProxyPort")).toString());
    txtServer->setText(settings.sGet(QStringLiteral("ProxyServer")).toString());
    txtUser->setText(settings.sGet(QStringLiteral("ProxyUser")).toString());
    const QString password =
        cSharedDecrypt::instance().Decrypt(settings.sGet(QStringLiteral("ProxyPwd")).toString());
    txtPassword->setText(password);
    txtPassword2->setText(password);
}

void fSHAREDProxy::optDefault_Click()
{
    Frame1->setVisible(false);
}

void fSHAREDProxy::optNoProxy_Click()
{
    Frame1->setVisible(false);
}

void fSHAREDProxy::optNamed_Click()
{
    Frame1->setVisible(true);
}

void fSHAREDProxy::cmdOK_Click()
{
    if (txtPassword2->text() != txtPassword->text()) {
        cUserPrompt::current().message(cUserPrompt::translated(
            QStringLiteral("Your passwords don't match.  Please retype them.")));
        return;
    }
    auto& settings = cSHAREDSettings::shared();
    settings.sSet(QStringLiteral("ProxyServer"), txtServer->text());
    settings.sSet(QStringLiteral("ProxyPort"), txtPort->text());
    settings.sSet(QStringLiteral("ProxyUser"), txtUser->text());
    settings.sSet(QStringLiteral("ProxyPwd"),
                  cSharedEncrypt::instance().Encrypt(txtPassword->text()));
    settings.sSet(QStringLiteral("ProxyType"), optDefault->isChecked() ? 0
                                               : optNamed->isChecked() ? 2
                                                                       : 1);
    accept();
    QCoreApplication::processEvents();
}

void fSHAREDProxy::cmdCancel_Click()
{
    reject();
    QCoreApplication::processEvents();
}

void fSHAREDProxy::cmdHelp_Click()
{
    cSharedHelp::instance().ShowHelp();
}
