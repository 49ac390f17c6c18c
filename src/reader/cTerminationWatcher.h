#pragma once

#include <QObject>

class QSocketNotifier;

// Turns SIGTERM, SIGHUP and SIGINT into a Qt signal on the UI thread, so that a program
// ended by the system or the session still saves the reader's place.
class cTerminationWatcher : public QObject {
    Q_OBJECT
public:
    explicit cTerminationWatcher(QObject* parent = nullptr);
    ~cTerminationWatcher() override;

Q_SIGNALS:
    void terminationRequested(int signalNumber);

private:
    static void onSignal(int signalNumber);
    void readSignal();

    QSocketNotifier* m_notifier = nullptr;
};
