#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <functional>
#include <memory>

// A server process on 127.0.0.1 that the test starts and stops; gone with the object.
class LoopbackProcess {
public:
    ~LoopbackProcess();
    // Starts it and waits for the line readyLine() accepts; false when it never came.
    bool start(const QString& program, const QStringList& arguments,
               const std::function<bool(const QString& line)>& readyLine);
    void stop();
    QString firstLine() const { return m_firstLine; }
    // Every line of its output so far.
    QString output();

private:
    std::unique_ptr<QProcess> m_process;
    QString m_firstLine;
    QString m_output;
};

// The fault-injecting HTTP server (servers/httpserver.py).
class HttpTestServer {
public:
    // HTTPS with this certificate and key when they are given.
    explicit HttpTestServer(const QString& certificate = {}, const QString& key = {});
    bool ok() const { return m_port > 0; }
    int port() const { return m_port; }
    QString url(const QString& pathAndQuery) const;
    QString scheme() const { return m_scheme; }
    // Serves bytes at /files/name from now on.
    void putFile(const QString& name, const QByteArray& bytes);
    // One "METHOD PATH USER-AGENT" line per request answered so far.
    QStringList requests() const;
    void stop() { m_process.stop(); }

private:
    QTemporaryDir m_dir;
    LoopbackProcess m_process;
    int m_port = 0;
    QString m_scheme = QStringLiteral("http");
};

// Anonymous FTP over a folder (servers/ftpserver.py).
class FtpTestServer {
public:
    explicit FtpTestServer(const QString& folder);
    bool ok() const { return m_port > 0; }
    int port() const { return m_port; }

private:
    LoopbackProcess m_process;
    int m_port = 0;
};

// tinyproxy asking for a user name and password.
class ProxyTestServer {
public:
    ProxyTestServer(const QString& user, const QString& password);
    bool ok() const { return m_port > 0; }
    int port() const { return m_port; }
    QString address() const { return QStringLiteral("127.0.0.1:%1").arg(m_port); }
    // What the proxy has logged so far.
    QString log() { return m_process.output(); }

private:
    QTemporaryDir m_dir;
    LoopbackProcess m_process;
    int m_port = 0;
};

// The fixed pattern httpserver.py sends as a body of size bytes.
QByteArray patternBody(qint64 size);
