#include "loopback.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

LoopbackProcess::~LoopbackProcess()
{
    stop();
}

bool LoopbackProcess::start(const QString& program, const QStringList& arguments,
                            const std::function<bool(const QString&)>& readyLine)
{
    stop();
    m_firstLine.clear();
    m_output.clear();
    m_process = std::make_unique<QProcess>();
    m_process->setProcessChannelMode(QProcess::SeparateChannels);
    m_process->start(program, arguments);
    if (!m_process->waitForStarted(30000))
        return false;
    QDeadlineTimer deadline(30000);
    while (!deadline.hasExpired()) {
        while (m_process->canReadLine()) {
            const QString line = QString::fromUtf8(m_process->readLine()).trimmed();
            m_output += line + '\n';
            if (m_firstLine.isEmpty())
                m_firstLine = line;
            if (readyLine(line))
                return true;
        }
        if (m_process->state() != QProcess::Running)
            return false;
        m_process->waitForReadyRead(int(qMax<qint64>(1, deadline.remainingTime())));
    }
    return false;
}

QString LoopbackProcess::output()
{
    if (m_process) {
        // Whatever the process wrote before the caller's request ended is in the pipe now.
        while (m_process->waitForReadyRead(100)) {
        }
        m_output += QString::fromUtf8(m_process->readAllStandardOutput());
    }
    return m_output;
}

void LoopbackProcess::stop()
{
    if (!m_process || m_process->state() == QProcess::NotRunning)
        return;
    m_process->terminate();
    if (!m_process->waitForFinished(10000)) {
        m_process->kill();
        m_process->waitForFinished(10000);
    }
}

namespace {

QString script(const char* name)
{
    return QStringLiteral(PARLO_TEST_SERVERS "/") + QLatin1String(name);
}

// A port nothing listens on right now, for servers that cannot choose their own.
int freePort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    int port = 0;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0)
        port = ntohs(address.sin_port);
    ::close(fd);
    return port;
}

bool anyLine(const QString&)
{
    return true;
}

} // namespace

HttpTestServer::HttpTestServer(const QString& certificate, const QString& key)
{
    QStringList arguments = {script("httpserver.py"),
                             m_dir.filePath(QStringLiteral("requests.log"))};
    if (!certificate.isEmpty()) {
        arguments << certificate << key;
        m_scheme = QStringLiteral("https");
    }
    if (m_process.start(QStringLiteral(PARLO_TEST_PYTHON), arguments, anyLine))
        m_port = m_process.firstLine().toInt();
}

QString HttpTestServer::url(const QString& pathAndQuery) const
{
    return QStringLiteral("%1://127.0.0.1:%2%3").arg(m_scheme).arg(m_port).arg(pathAndQuery);
}

void HttpTestServer::putFile(const QString& name, const QByteArray& bytes)
{
    QFile file(m_dir.filePath(name));
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(bytes);
}

QStringList HttpTestServer::requests() const
{
    QFile log(m_dir.filePath(QStringLiteral("requests.log")));
    if (!log.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(log.readAll()).split('\n', Qt::SkipEmptyParts);
}

FtpTestServer::FtpTestServer(const QString& folder)
{
    if (m_process.start(QStringLiteral(PARLO_TEST_PYTHON), {script("ftpserver.py"), folder},
                        anyLine))
        m_port = m_process.firstLine().toInt();
}

ProxyTestServer::ProxyTestServer(const QString& user, const QString& password)
{
    // tinyproxy needs its port named; another process may take a free one first, so retry.
    for (int attempt = 0; attempt < 5 && m_port == 0; ++attempt) {
        const int port = freePort();
        QFile config(m_dir.filePath(QStringLiteral("tinyproxy.conf")));
        if (!config.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return;
        config.write(QStringLiteral("Port %1\nListen 127.0.0.1\nTimeout 60\nLogLevel Info\n"
                                    "MaxClients 20\nBasicAuth %2 %3\n")
                         .arg(port)
                         .arg(user, password)
                         .toUtf8());
        config.close();
        if (m_process.start(QStringLiteral("tinyproxy"), {"-d", "-c", config.fileName()},
                            [](const QString& line) {
                                return line.contains(QLatin1String("Accepting connections"));
                            }))
            m_port = port;
    }
}

QByteArray patternBody(qint64 size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    for (qint64 i = 0; i < size; ++i)
        bytes[i] = char(32 + i % 95);
    return bytes;
}
