#include "core/net/HttpRoutes.h"

namespace HttpRoutes {

Answer route(QByteArrayView method, QByteArrayView path)
{
    Answer a;
    const bool head = method == "HEAD";
    // HEAD: the headers of GET and no body, whatever the answer.
    a.withBody = !head;
    if (path == "/metrics")
        a.target = Target::Metrics;
    else if (path == "/status.json")
        a.target = Target::StatusJson;
    else
        return a; // 404 whatever the method: nothing lives there
    if (method != "GET" && !head) {
        a.target = Target::MethodNotAllowed;
        a.status = 405;
        return a;
    }
    a.status = 200;
    return a;
}

bool parseListen(QStringView text, Listen *out)
{
    const qsizetype colon = text.lastIndexOf(u':');
    if (colon <= 0 || colon == text.size() - 1)
        return false;
    QStringView host = text.first(colon);
    const QStringView port = text.sliced(colon + 1);
    // Digits only: toUInt would take "+1" and " 1".
    if (port.size() > 5)
        return false;
    for (QChar c : port)
        if (c < u'0' || c > u'9')
            return false;
    const uint number = port.toUInt();
    if (number > 65535)
        return false;
    QHostAddress address;
    if (host.startsWith(u'[') && host.endsWith(u']')) {
        host = host.sliced(1, host.size() - 2);
        if (!host.contains(u':') || !address.setAddress(host.toString()) ||
            address.protocol() != QAbstractSocket::IPv6Protocol)
            return false;
    } else if (host == u"localhost") {
        address = QHostAddress(QHostAddress::LocalHost);
    } else {
        // A bare IPv6 address is ambiguous with its port: brackets are asked.
        if (host.contains(u':') || !address.setAddress(host.toString()) ||
            address.protocol() != QAbstractSocket::IPv4Protocol)
            return false;
    }
    out->host = address;
    out->port = quint16(number);
    return true;
}

QHostAddress defaultHost()
{
    return QHostAddress(QHostAddress::LocalHost);
}

} // namespace HttpRoutes
