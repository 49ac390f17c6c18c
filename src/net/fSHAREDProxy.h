#pragma once

#include <QDialog>

class QGroupBox;
class QLineEdit;
class QPushButton;
class QRadioButton;

// The proxy setup window: the system's proxy, one given by hand, or none. OK keeps the
// choice in the settings store, with the password scrambled; the download window reads it
// before each transfer.
class fSHAREDProxy : public QDialog {
    Q_OBJECT
public:
    explicit fSHAREDProxy(QWidget* parent = nullptr);

    void Form_Load();

private Q_SLOTS:
    void optDefault_Click();
    void optNoProxy_Click();
    void optNamed_Click();
    void cmdOK_Click();
    void cmdCancel_Click();
    void cmdHelp_Click();

private:
    QRadioButton* optNamed;
    QRadioButton* optDefault;
    QRadioButton* optNoProxy;
    QGroupBox* Frame1;
    QLineEdit* txtServer;
    QLineEdit* txtPort;
    QLineEdit* txtUser;
    QLineEdit* txtPassword;
    QLineEdit* txtPassword2;
    QPushButton* cmdOK;
    QPushButton* cmdCancel;
    QPushButton* cmdHelp;
};
