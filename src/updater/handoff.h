#pragma once

#include <QString>
#include <QUrl>

#include <functional>

// What parlo-updater does, with its message boxes and the desktop replaceable for tests:
// reads the package's name from updater.ini in the program folder and hands the package
// to the desktop, which installs it with whatever handles that kind of file.
class cUpdateHandoff {
public:
    std::function<void(const QString& title, const QString& text)> message;
    std::function<bool(const QUrl& file)> open;

    // caption: the reader window's caption, the title of any message. 0 when the package
    // was handed over.
    int run(const QString& caption, const QString& programFolder) const;
};
