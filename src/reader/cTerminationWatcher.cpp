#include "reader/cTerminationWatcher.h"

#include <QSocketNotifier>

#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace {
int g_pipe[2] = {-1, -1};
constexpr int kSignals[] = {SIGTERM, SIGHUP, SIGINT};
} // namespace

cTerminationWatcher::cTerminationWatcher(QObject* parent) : QObject(parent)
{
    if (g_pipe[0] < 0 && ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_pipe) != 0)
        return;
    m_notifier = new QSocketNotifier(g_pipe[1], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &cTerminationWatcher::readSignal);
    struct sigaction action = {};
    action.sa_handler = &cTerminationWatcher::onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int number : kSignals)
        ::sigaction(number, &action, nullptr);
}

cTerminationWatcher::~cTerminationWatcher()
{
    for (int number : kSignals)
        ::signal(number, SIG_DFL);
}

void cTerminationWatcher::onSignal(int signalNumber)
{
    // Only async-signal-safe work here: hand the number to the UI thread.
    const char byte = static_cast<char>(signalNumber);
    [[maybe_unused]] const ssize_t written = ::write(g_pipe[0], &byte, 1);
}

void cTerminationWatcher::readSignal()
{
    char byte = 0;
    if (::read(g_pipe[1], &byte, 1) == 1)
        Q_EMIT terminationRequested(byte);
}
