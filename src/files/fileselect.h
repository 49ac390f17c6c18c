#pragma once

#include <QDialog>
#include <QIcon>
#include <QStringList>

class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

// The program's own window for choosing one existing file: a folder tree (Dir1), the files
// of the chosen folder that match a pattern (File1), OK and Cancel. Linux has no drives, so
// there is no drive list; SelectedPath and SelectedFilename together name the file.
//
// Set WindowTitle, Filepattern and DefaultPath, call GetFilename, then read Cancelled and
// the Selected... properties. OK, Cancel, Escape and the close box only hide the window,
// so the outcome stays readable until the caller deletes it.
class frmFileSelect : public QDialog {
    Q_OBJECT
public:
    explicit frmFileSelect(QWidget* parent = nullptr);
    ~frmFileSelect() override;

    QString WindowTitle() const { return m_windowTitle; }
    void SetWindowTitle(const QString& title) { m_windowTitle = title; }
    // ";"-separated wildcards, matched without regard to letter case; empty shows every file.
    QString Filepattern() const { return m_filepattern; }
    void SetFilepattern(const QString& pattern);
    // Named filters offered beside the files ("EPUB Books (*.epub)"), each its patterns in
    // parentheses or the ";"-separated patterns alone; each is translated as it is set. The
    // first is chosen at once; choosing one sets Filepattern. Without any, the list is hidden.
    void SetFilters(const QStringList& filters);
    // An absolute folder that exists moves the lists there; anything else (a bare folder
    // name, a folder that has gone) leaves them where they are.
    QString DefaultPath() const { return m_defaultPath; }
    void SetDefaultPath(const QString& path);

    bool Cancelled() const { return m_cancelled; }
    QString SelectedFilename() const { return m_selectedFilename; }
    // The folder, without a trailing "/" (except the root itself).
    QString SelectedPath() const { return m_selectedPath; }
    // The volume of SelectedPath: always "/" here.
    QString SelectedDrive() const { return m_selectedDrive; }

    // Shows the window modally with WindowTitle as its caption; returns once it is hidden.
    void GetFilename();
    void GetPath();

    // The folder the lists show now.
    QString currentFolder() const;

public Q_SLOTS:
    void accept() override;
    void reject() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private Q_SLOTS:
    void Dir1_Change();
    void File1_DblClick();
    void txtPath_Enter();
    void cboFilter_Click(int index);

private:
    void showModal();
    void goToFolder(const QString& folder);
    QTreeWidgetItem* itemForFolder(const QString& folder);
    void fillFolderItem(QTreeWidgetItem* item);
    void fillFileList();
    void selectFile(const QString& name);
    void showStatus(const QString& text);

    QLineEdit* txtPath;
    QTreeWidget* Dir1;
    QListWidget* File1;
    QLabel* lblFilter;
    QComboBox* cboFilter;
    QLabel* lblStatus;
    QPushButton* cmdOK;
    QPushButton* cmdCancel;

    QIcon m_folderIcon;
    QIcon m_fileIcon;
    QString m_windowTitle;
    QString m_filepattern;
    QStringList m_nameFilters;
    QString m_defaultPath;
    bool m_cancelled = false;
    QString m_selectedFilename;
    QString m_selectedPath;
    QString m_selectedDrive;
};
