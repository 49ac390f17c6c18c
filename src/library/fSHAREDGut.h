#pragma once

#include "library/library.h"

#include <QDialog>

#include <functional>

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QTreeView;

// The library window: the catalogue list with its search, the chosen book's details and
// downloads, the catalogue's sources and the mirror's addresses. Shown modally by the
// reader; a successful Download and Read sets FileToLoad and hides it. The work is done by
// cLibrary; this window draws what it reports.
class fSHAREDGut : public QDialog, private cLibraryView {
    Q_OBJECT
public:
    explicit fSHAREDGut(QWidget* parent = nullptr);
    ~fSHAREDGut() override;

    // Questions with Yes and No; a message box unless tests answer them.
    std::function<bool(const QString& question)> askYesNoHook;

    void Form_Load();
    QString FileToLoad() const { return m_library.FileToLoad(); }
    cLibrary& library() { return m_library; }
    // The entry selected in the list, -1 when none is.
    int selectedRow() const;

public Q_SLOTS:
    // Escape, or closing the window, while a download runs stops the download first.
    void reject() override;

private:
    void buildControls();
    void selectRow(int row);
    void showFields();
    void applyFilter();
    void fillLanguages();
    void cmdFind_Click();
    void cmdFindNext_Click();
    void cmdAmazon_Click();
    void cmdProxy_Click();
    void cmdWebCat_Click();
    void CloseWindow();

    // cLibraryView
    void status(const QString& text) override;
    void progress(int percent) override;
    void message(const QString& text) override;
    bool askYesNo(const QString& text) override;
    void busyPointer(bool busy) override;
    void fieldsChanged() override;
    void catalogueLoaded() override;
    void bookReady(const QString& file) override;

    cLibrary m_library;
    QLabel* Picture1 = nullptr;
    QTreeView* ListView1 = nullptr;
    QLineEdit* txtFilter = nullptr;
    QComboBox* cboLanguage = nullptr;
    QLineEdit* txtSearch = nullptr;
    QPushButton* cmdFind = nullptr;
    QPushButton* cmdFindNext = nullptr;
    QGroupBox* Frame1 = nullptr;
    QLabel* lblTitle = nullptr;
    QLineEdit* txtUrl = nullptr;
    QLabel* lblFilename = nullptr;
    QPushButton* cmdDownload = nullptr;
    QPushButton* cmdDownloadAndRead = nullptr;
    QPushButton* cmdAmazon = nullptr;
    QLineEdit* txtDownloadPath = nullptr;
    QLineEdit* txtCatalogURL = nullptr;
    QLineEdit* txtDLSource = nullptr;
    QPushButton* cmdUpdateCat = nullptr;
    QPushButton* cmdRegenCatalogue = nullptr;
    QPushButton* cmdWebCat = nullptr;
    QPushButton* cmdDefaults = nullptr;
    QPushButton* cmdProxy = nullptr;
    QPushButton* cmdExit = nullptr;
    QLabel* lblCatalogueDate = nullptr;
    QLabel* lblStatus = nullptr;
    QProgressBar* prgStatus = nullptr;
    bool m_showing = false; // fields are being written to the controls
};
