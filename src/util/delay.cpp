#include "util/delay.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QThread>
#include <QTime>
#include <QTimer>

cSHAREDDelay& cSHAREDDelay::instance()
{
    static cSHAREDDelay delay;
    return delay;
}

void cSHAREDDelay::block(int ms)
{
    if (ms > 0)
        QThread::msleep(static_cast<unsigned long>(ms));
}

void cSHAREDDelay::pumpInput()
{
    // Qt does not say whether input is waiting without handling it; running only what is
    // already queued returns at once when nothing is.
    if (QCoreApplication::instance())
        QCoreApplication::processEvents(QEventLoop::AllEvents);
}

double cSHAREDDelay::timeOfDay() const
{
    return QTime::currentTime().msecsSinceStartOfDay() / 1000.0;
}

void cSHAREDDelay::DoEventss()
{
    if (QCoreApplication::instance())
        QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void cSHAREDDelay::newDoEvents()
{
    pumpInput();
}

void cSHAREDDelay::RegularDoEvents()
{
    const double now = timeOfDay();
    // Past midnight the stored time lies far ahead; start the spacing again.
    if (m_nextRegular - now > 1.0)
        m_nextRegular = 0;
    if (now > m_nextRegular) {
        DoEventss();
        m_nextRegular = now + 0.25;
    }
}

void cSHAREDDelay::Sleep(int ms)
{
    if (ms <= 1000)
        block(ms);
    else
        Delay(ms / 1000.0);
}

void cSHAREDDelay::Delay(double seconds)
{
    if (seconds > 1.0) {
        const int whole = static_cast<int>(seconds);
        for (int i = 0; i < whole * 2; ++i) {
            block(500);
            newDoEvents();
        }
        block(static_cast<int>((seconds - whole) * 1000.0 + 0.5));
    } else {
        block(static_cast<int>(seconds * 1000.0 + 0.5));
    }
}

void cSHAREDDelay::MsgWait(int ms)
{
    // A monotonic deadline: there is no tick counter to wrap.
    QDeadlineTimer deadline(ms);
    if (!QCoreApplication::instance()) {
        block(ms);
        return;
    }
    QTimer wake;
    wake.setSingleShot(true);
    while (!deadline.hasExpired()) {
        // Sleep until the next event or the deadline, whichever comes first.
        wake.start(static_cast<int>(qMax<qint64>(1, deadline.remainingTime())));
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        newDoEvents();
    }
}
