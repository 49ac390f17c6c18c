// The start every window benchmark shares: offscreen unless a platform was named, and a
// fresh program folder so that no user's settings or books are touched.
#pragma once

#include <QApplication>
#include <QTemporaryDir>

namespace benchapp {

struct FreshHome {
    FreshHome()
    {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        qputenv("PARLO_HOME", home.path().toUtf8());
    }
    QTemporaryDir home;
};

// The program folder is set before QApplication starts, as the bases are built in order.
class Application : public FreshHome, public QApplication {
public:
    Application(int& argc, char** argv) : FreshHome(), QApplication(argc, argv) {}
};

} // namespace benchapp
