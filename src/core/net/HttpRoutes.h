#pragma once

#include <QByteArrayView>
#include <QHostAddress>
#include <QString>

// What the status server answers to a request line, and the address it
// listens on: pure functions, so what a client may send is checked without
// a socket.
namespace HttpRoutes {

enum class Target {
    Metrics,          // GET /metrics: the Prometheus text
    StatusJson,       // GET /status.json: the object "status --json" prints
    NotFound,         // 404: no such path
    MethodNotAllowed, // 405: a known path asked with another method than GET or HEAD
};

struct Answer {
    Target target = Target::NotFound;
    int status = 404;
    // HEAD: the headers and no body.
    bool withBody = true;
};

// `method` as the request line names it ("GET"), `path` the request's path
// without its query. Nothing served writes: only GET and HEAD are answered.
Answer route(QByteArrayView method, QByteArrayView path);

// The address of "--listen HOST:PORT": an IPv4 address, an IPv6 address in
// brackets ("[::1]:9464") or "localhost", and a port 0 ... 65535 (0: any free
// port, told once listening). No name is looked up.
struct Listen {
    QHostAddress host;
    quint16 port = 0;
};
bool parseListen(QStringView text, Listen *out);

// The defaults: this computer only.
constexpr quint16 kDefaultPort = 9464;
QHostAddress defaultHost();

} // namespace HttpRoutes
