#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>
#include <memory>

class MetricsModel;
class QHttpServer;
class QHttpServerRequest;
class QHttpServerResponder;
class GuardedTcpServer;

// The read-only status server: GET /metrics (MetricsModel's text) and
// GET /status.json (what the status JSON function gives), 404 for any other
// path and 405 for any method but GET and HEAD. Qt's HTTP server parses the
// requests; this class bounds what a client may hold: connections at once,
// the bytes of one request and the time it may take.
class MetricsServer : public QObject {
    Q_OBJECT
public:
    // `statusJson` gives the body of /status.json and its HTTP status (503
    // with the error object while nothing answers).
    struct JsonAnswer {
        int status = 200;
        QByteArray body;
    };
    MetricsServer(const MetricsModel &model, std::function<JsonAnswer()> statusJson,
                  QObject *parent = nullptr);
    ~MetricsServer() override;

    struct Limits {
        int maxConnections = 256;
        // A request whole, from its first byte or the last answer on the
        // same connection; an idle kept-alive connection closes after it too.
        int requestMs = 10000;
        qint64 maxRequestBytes = 64 * 1024;
    };
    void setLimits(const Limits &limits) { m_limits = limits; }

    // False when the address cannot be taken; errorString() says why.
    bool listen(const QHostAddress &host, quint16 port);
    void close();
    bool isListening() const;
    quint16 serverPort() const;
    QString errorString() const { return m_error; }
    // Whether the last failed listen found the port taken by another program.
    bool addressInUse() const { return m_inUse; }

    // Connections closed by the limits: refused at once (too many), and closed
    // for a request too long or too slow.
    qint64 refused() const;
    qint64 cutOff() const;
    qint64 answered() const { return m_answered; }

private:
    void answer(const QHttpServerRequest &request, QHttpServerResponder &&responder);

    const MetricsModel &m_model;
    std::function<JsonAnswer()> m_statusJson;
    Limits m_limits;
    std::unique_ptr<QHttpServer> m_http;
    // Owned by m_http once bound (the HTTP server takes its listeners), so
    // watched rather than kept.
    QPointer<GuardedTcpServer> m_tcp;
    QString m_error;
    bool m_inUse = false;
    qint64 m_answered = 0;
};
