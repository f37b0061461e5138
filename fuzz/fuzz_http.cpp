// What the status server decides from a request, and the address of
// "serve --listen", on arbitrary bytes. The first byte picks which; the rest
// is the input. A request is "METHOD PATH": only GET and HEAD of the two
// paths are served, every other path is 404 and every other method 405. An
// accepted address is one the parser gives back unchanged.

#include "core/net/HttpRoutes.h"

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <cstdint>

#include "FuzzCheck.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    const QByteArray rest(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1));
    if (data[0] % 2 == 0) {
        const qsizetype space = rest.indexOf(' ');
        const QByteArray method = space < 0 ? rest : rest.first(space);
        const QByteArray path = space < 0 ? QByteArray() : rest.sliced(space + 1);
        const HttpRoutes::Answer a = HttpRoutes::route(method, path);
        const bool known = path == "/metrics" || path == "/status.json";
        const bool readOnly = method == "GET" || method == "HEAD";
        check(a.status == (!known ? 404 : readOnly ? 200 : 405), "status of a request");
        check((a.status == 200) == (a.target == HttpRoutes::Target::Metrics ||
                                    a.target == HttpRoutes::Target::StatusJson),
              "a target only with 200");
        check(a.withBody == (method != "HEAD"), "no body for HEAD, and only for it");
        return 0;
    }
    const QString text = QString::fromUtf8(rest);
    HttpRoutes::Listen l;
    if (!HttpRoutes::parseListen(text, &l))
        return 0;
    check(!l.host.isNull(), "an address accepted");
    const bool v6 = l.host.protocol() == QAbstractSocket::IPv6Protocol;
    const QString again =
        (v6 ? QLatin1Char('[') + l.host.toString() + QLatin1Char(']') : l.host.toString()) +
        QLatin1Char(':') + QString::number(l.port);
    HttpRoutes::Listen back;
    check(HttpRoutes::parseListen(again, &back) && back.host == l.host && back.port == l.port,
          "an accepted address read back the same");
    return 0;
}
