#include "core/net/MetricsServer.h"

#include "core/net/HttpRoutes.h"
#include "core/net/MetricsModel.h"

#include <QHttpServer>
#include <QHttpServerRequest>
#include <QHttpServerResponder>
#include <QSet>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <unistd.h>

// A listening socket that keeps every client within the limits before Qt's
// HTTP server sees its bytes: its own read handler runs first, so a header
// line of a megabyte is cut off at the limit rather than buffered.
class GuardedTcpServer : public QTcpServer {
public:
    explicit GuardedTcpServer(const MetricsServer::Limits &limits, QObject *parent)
        : QTcpServer(parent), m_limits(limits)
    {}

    qint64 refused = 0;
    qint64 cutOff = 0;

protected:
    void incomingConnection(qintptr descriptor) override
    {
        if (m_open - m_evicted >= m_limits.maxConnections && !evictSilent()) {
            ::close(int(descriptor));
            ++refused;
            return;
        }
        auto *socket = new QTcpSocket(this);
        if (!socket->setSocketDescriptor(descriptor)) {
            delete socket;
            ::close(int(descriptor));
            return;
        }
        ++m_open;
        m_silent.append(socket);
        connect(socket, &QObject::destroyed, this, [this, socket] {
            --m_open;
            if (m_evictedSockets.remove(socket))
                --m_evicted;
            m_silent.removeOne(socket);
        });
        auto *deadline = new QTimer(socket);
        deadline->setSingleShot(true);
        deadline->setInterval(m_limits.requestMs);
        auto received = std::make_shared<qint64>(0);
        const auto cut = [this, socket] {
            if (socket->state() == QAbstractSocket::UnconnectedState)
                return;
            ++cutOff;
            socket->abort();
            socket->deleteLater();
        };
        connect(deadline, &QTimer::timeout, socket, cut);
        // Connected before the HTTP server's own handler: the bytes are
        // counted before they are parsed.
        connect(socket, &QTcpSocket::readyRead, socket, [this, socket, received, cut] {
            if (*received == 0)
                m_silent.removeOne(socket);
            *received += socket->bytesAvailable();
            if (*received > m_limits.maxRequestBytes) {
                // Nothing left for the parser; the socket goes once its
                // handlers have returned.
                socket->readAll();
                QMetaObject::invokeMethod(socket, cut, Qt::QueuedConnection);
            }
        });
        // An answer written: the next request on the connection starts afresh.
        connect(socket, &QTcpSocket::bytesWritten, socket, [deadline, received] {
            *received = 0;
            deadline->start();
        });
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        deadline->start();
        addPendingConnection(socket);
    }

private:
    // At the limit, the connection that has waited longest without sending a
    // byte makes room: a flood of idle connections cannot lock a scraper out.
    bool evictSilent()
    {
        if (m_silent.isEmpty())
            return false;
        QTcpSocket *oldest = m_silent.takeFirst();
        m_evictedSockets.insert(oldest);
        ++m_evicted;
        ++cutOff;
        oldest->abort();
        oldest->deleteLater();
        return true;
    }

    const MetricsServer::Limits &m_limits;
    int m_open = 0;
    // Aborted, their deletion pending: no longer counted against the limit.
    int m_evicted = 0;
    QSet<QTcpSocket *> m_evictedSockets;
    // Connected and nothing received yet, oldest first.
    QList<QTcpSocket *> m_silent;
};

namespace {

QByteArray methodName(QHttpServerRequest::Method m)
{
    using M = QHttpServerRequest::Method;
    switch (m) {
    case M::Get:
        return "GET";
    case M::Head:
        return "HEAD";
    case M::Post:
        return "POST";
    case M::Put:
        return "PUT";
    case M::Delete:
        return "DELETE";
    case M::Options:
        return "OPTIONS";
    case M::Patch:
        return "PATCH";
    default:
        return "OTHER";
    }
}

} // namespace

MetricsServer::MetricsServer(const MetricsModel &model, std::function<JsonAnswer()> statusJson,
                             QObject *parent)
    : QObject(parent), m_model(model), m_statusJson(std::move(statusJson))
{}

MetricsServer::~MetricsServer() = default;

bool MetricsServer::listen(const QHostAddress &host, quint16 port)
{
    close();
    m_error.clear();
    m_inUse = false;
    auto *tcp = new GuardedTcpServer(m_limits, this);
    if (!tcp->listen(host, port)) {
        m_error = tcp->errorString();
        m_inUse = tcp->serverError() == QAbstractSocket::AddressInUseError;
        delete tcp;
        return false;
    }
    m_http = std::make_unique<QHttpServer>();
    // Every request comes here: the routes are ours, so that what a client
    // may ask is one function (HttpRoutes::route).
    m_http->setMissingHandler(
        [this](const QHttpServerRequest &request, QHttpServerResponder &&responder) {
            answer(request, std::move(responder));
        });
    m_http->bind(tcp);
    m_tcp = tcp;
    return true;
}

void MetricsServer::close()
{
    // The listener first: the HTTP server deletes the listeners it was bound
    // to when it goes.
    if (m_tcp)
        m_tcp->close();
    m_http.reset();
    if (m_tcp)
        m_tcp->deleteLater();
    m_tcp = nullptr;
}

bool MetricsServer::isListening() const
{
    return m_tcp && m_tcp->isListening();
}

quint16 MetricsServer::serverPort() const
{
    return m_tcp ? m_tcp->serverPort() : 0;
}

qint64 MetricsServer::refused() const
{
    return m_tcp ? m_tcp->refused : 0;
}

qint64 MetricsServer::cutOff() const
{
    return m_tcp ? m_tcp->cutOff : 0;
}

void MetricsServer::answer(const QHttpServerRequest &request, QHttpServerResponder &&responder)
{
    using S = QHttpServerResponder::StatusCode;
    ++m_answered;
    const HttpRoutes::Answer a =
        HttpRoutes::route(methodName(request.method()), request.url().path().toUtf8());
    QByteArray type = "text/plain; charset=utf-8";
    QByteArray body;
    int status = a.status;
    QByteArray allow;
    switch (a.target) {
    case HttpRoutes::Target::Metrics:
        type = MetricsModel::contentType();
        body = m_model.prometheusText();
        break;
    case HttpRoutes::Target::StatusJson: {
        const JsonAnswer j = m_statusJson ? m_statusJson() : JsonAnswer{503, "{}\n"};
        type = "application/json";
        body = j.body;
        status = j.status;
        break;
    }
    case HttpRoutes::Target::MethodNotAllowed:
        body = "405 method not allowed: only GET and HEAD\n";
        allow = "GET, HEAD";
        break;
    case HttpRoutes::Target::NotFound:
        body = "404 not found: /metrics, /status.json\n";
        break;
    }
    responder.writeStatusLine(S(status));
    responder.writeHeader("Content-Type", type);
    responder.writeHeader("Cache-Control", "no-store");
    if (!allow.isEmpty())
        responder.writeHeader("Allow", allow);
    // HEAD: the length GET would send, and nothing after the headers.
    responder.writeHeader("Content-Length", QByteArray::number(body.size()));
    responder.writeBody(a.withBody ? body : QByteArray());
}
