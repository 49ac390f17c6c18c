#pragma once

#include <QDialog>

// What the program is, its version and where it comes from.
class fAbout : public QDialog {
    Q_OBJECT
public:
    explicit fAbout(QWidget* parent = nullptr);
};
