// The status server against the simulated instrument, read by a real
// Prometheus: "krm2200-cli serve" and the window's server, the shipped alert
// rules, and what a client may ask.

#include "shell/ShellFixture.h"

#include "core/control/AlarmTable.h"
#include "core/net/HttpRoutes.h"
#include "core/net/MetricsModel.h"
#include "core/net/MetricsServer.h"
#include "core/net/ServeSettings.h"
#include "ui/shell/StatusServing.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QUrl>

#include <random>

namespace {

struct Reply {
    int status = 0;
    QByteArray body;
};

// One request, the event loop running meanwhile (the window's server answers
// on this thread).
Reply request(quint16 port, const QByteArray &method, const QByteArray &target)
{
    QTcpSocket s;
    s.connectToHost(QHostAddress::LocalHost, port);
    s.write(method + ' ' + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n");
    QByteArray in;
    Reply r;
    // A reply that does not come leaves status 0, which the caller compares.
    (void)QTest::qWaitFor(
        [&] {
            in += s.readAll();
            const qsizetype end = in.indexOf("\r\n\r\n");
            if (end < 0)
                return s.state() == QAbstractSocket::UnconnectedState;
            const QRegularExpressionMatch length =
                QRegularExpression(QStringLiteral("(?i)content-length: *(\\d+)"))
                    .match(QString::fromLatin1(in.first(end)));
            return s.state() == QAbstractSocket::UnconnectedState ||
                   (length.hasMatch() && in.size() >= end + 4 + length.captured(1).toLongLong()) ||
                   method == "HEAD";
        },
        10000);
    const qsizetype end = in.indexOf("\r\n\r\n");
    r.status = in.mid(9, 3).toInt();
    r.body = end < 0 ? QByteArray() : in.mid(end + 4);
    return r;
}

quint16 freePort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

// The value of a sample line of the Prometheus text, or NaN.
double sampleOf(const QByteArray &text, const QByteArray &series)
{
    for (const QByteArray &line : text.split('\n'))
        if (line.startsWith(series + ' '))
            return line.mid(series.size() + 1).toDouble();
    return qQNaN();
}

// A real Prometheus scraping one target every second from a folder of its own.
class Prometheus {
public:
    bool start(quint16 target, const QString &dir)
    {
        const QString exe = QStandardPaths::findExecutable(QStringLiteral("prometheus"));
        if (exe.isEmpty())
            return false;
        m_port = freePort();
        QFile config(dir + QStringLiteral("/prometheus.yml"));
        if (!config.open(QIODevice::WriteOnly))
            return false;
        config.write(QStringLiteral("global: {scrape_interval: 1s, evaluation_interval: 1s}\n"
                                    "scrape_configs:\n"
                                    "  - job_name: krm2200\n"
                                    "    static_configs: [{targets: ['127.0.0.1:%1']}]\n")
                         .arg(target)
                         .toUtf8());
        config.close();
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start(exe,
                        {QStringLiteral("--config.file=") + config.fileName(),
                         QStringLiteral("--storage.tsdb.path=") + dir + QStringLiteral("/data"),
                         QStringLiteral("--web.listen-address=127.0.0.1:%1").arg(m_port),
                         QStringLiteral("--log.level=error")});
        return m_process.waitForStarted();
    }
    ~Prometheus()
    {
        m_process.terminate();
        m_process.waitForFinished(10000);
    }
    // The value of an instant query's single result, NaN when there is none.
    double query(const QString &promql)
    {
        const Reply r =
            request(m_port, "GET", "/api/v1/query?query=" + QUrl::toPercentEncoding(promql));
        const QJsonArray result = QJsonDocument::fromJson(r.body)
                                      .object()[QStringLiteral("data")]
                                      .toObject()[QStringLiteral("result")]
                                      .toArray();
        if (result.size() != 1)
            return qQNaN();
        return result.at(0)
            .toObject()[QStringLiteral("value")]
            .toArray()
            .at(1)
            .toString()
            .toDouble();
    }

private:
    QProcess m_process;
    quint16 m_port = 0;
};

bool havePrometheus()
{
    return !QStandardPaths::findExecutable(QStringLiteral("prometheus")).isEmpty() &&
           !QStandardPaths::findExecutable(QStringLiteral("promtool")).isEmpty();
}

// promtool with `args`, `input` on its stdin; its output when it failed.
QString promtool(const QStringList &args, const QByteArray &input = QByteArray())
{
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(QStringLiteral("promtool"), args);
    p.write(input);
    p.closeWriteChannel();
    if (!p.waitForFinished(60000))
        return QStringLiteral("promtool did not finish");
    const QString out = QString::fromUtf8(p.readAll());
    return p.exitCode() == 0 ? QString() : out;
}

} // namespace

class tst_ServeE2E : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void listenAddress_data();
    void listenAddress();
    void cliScrapedByPrometheus();
    void shippedRules();
    void windowServesItsCurrentValues();
    void badRequestsClosed();
};

void tst_ServeE2E::listenAddress_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("host"); // empty: refused
    QTest::addColumn<int>("port");
    QTest::newRow("IPv4") << "127.0.0.1:9464"
                          << "127.0.0.1" << 9464;
    QTest::newRow("every network") << "0.0.0.0:80"
                                   << "0.0.0.0" << 80;
    QTest::newRow("IPv6 in brackets") << "[::1]:9464"
                                      << "::1" << 9464;
    QTest::newRow("localhost, any free port") << "localhost:0"
                                              << "127.0.0.1" << 0;
    QTest::newRow("port only") << "9464"
                               << "" << 0;
    QTest::newRow("a name") << "bench1:9464"
                            << "" << 0;
    QTest::newRow("IPv6 bare") << "::1:9464"
                               << "" << 0;
    QTest::newRow("IPv4 in brackets") << "[127.0.0.1]:9464"
                                      << "" << 0;
    QTest::newRow("port too big") << "127.0.0.1:65536"
                                  << "" << 0;
    QTest::newRow("signed port") << "127.0.0.1:+80"
                                 << "" << 0;
    QTest::newRow("no port") << "127.0.0.1:"
                             << "" << 0;
}

void tst_ServeE2E::listenAddress()
{
    QFETCH(QString, text);
    QFETCH(QString, host);
    QFETCH(int, port);
    HttpRoutes::Listen l;
    QCOMPARE(HttpRoutes::parseListen(text, &l), !host.isEmpty());
    if (!host.isEmpty()) {
        QCOMPARE(l.host, QHostAddress(host));
        QCOMPARE(int(l.port), port);
    }
}

void tst_ServeE2E::cliScrapedByPrometheus()
{
    if (!havePrometheus())
        QSKIP("prometheus and promtool are not installed");
    ShellFixture f;
    QVERIFY(f.startSim());
    f.sim->withEngine([](SimEngine &e) {
        e.setClock([] { return qint64(0); });
        e.setTemperature(0, 31.25);
    });
    QProcess serve;
    serve.start(QStringLiteral(KRM2200_CLI_BIN),
                {QStringLiteral("--home"), f.appDir(), QStringLiteral("--port"),
                 f.sim->devicePath(), QStringLiteral("serve"), QStringLiteral("--listen"),
                 QStringLiteral("127.0.0.1:0"), QStringLiteral("--interval"), QStringLiteral("1"),
                 QStringLiteral("--bench"), QStringLiteral("炉A")});
    QString err;
    const QRegularExpression told(QStringLiteral("http://127\\.0\\.0\\.1:(\\d+)/metrics"));
    QTRY_VERIFY_WITH_TIMEOUT(
        (err += QString::fromUtf8(serve.readAllStandardError()), told.match(err).hasMatch()),
        20000);
    const auto port = quint16(told.match(err).captured(1).toUInt());

    // What is served: the format as promtool reads it, and only GET and HEAD
    // of the two paths.
    const Reply metrics = request(port, "GET", "/metrics");
    QCOMPARE(metrics.status, 200);
    QVERIFY(metrics.body.contains("krm2200_info{version=\"1.3.1\",port=\"" +
                                  f.sim->devicePath().toUtf8() + "\",bench=\"炉A\"} 1"));
    const QString problems =
        promtool({QStringLiteral("check"), QStringLiteral("metrics")}, metrics.body);
    QVERIFY2(problems.isEmpty(), qPrintable(problems));
    const struct {
        QByteArray method, target;
        int status;
    } asks[] = {{"HEAD", "/metrics", 200}, {"GET", "/status.json", 200},
                {"GET", "/", 404},         {"GET", "/metrics/x", 404},
                {"POST", "/metrics", 405}, {"DELETE", "/status.json", 405},
                {"PUT", "/nowhere", 404},  {"HEAD", "/nowhere", 404}};
    for (const auto &a : asks)
        QVERIFY2(request(port, a.method, a.target).status == a.status, a.method + ' ' + a.target);
    const QJsonObject json =
        QJsonDocument::fromJson(request(port, "GET", "/status.json").body).object();
    QCOMPARE(json[QStringLiteral("readings")][QStringLiteral("PT100A")].toDouble(), 31.25);
    QCOMPARE(json[QStringLiteral("link")].toString(), QStringLiteral("ok"));

    QTemporaryDir dir;
    Prometheus prometheus;
    QVERIFY(prometheus.start(port, dir.path()));
    QTRY_COMPARE_WITH_TIMEOUT(
        prometheus.query(QStringLiteral("krm2200_temperature_celsius{sensor=\"PT100A\"}")), 31.25,
        30000);
    QCOMPARE(prometheus.query(QStringLiteral("krm2200_link_up")), 1.0);

    // The instrument silent: the link down, and no reading presented as current.
    SimFaults silent;
    silent.silent = true;
    f.sim->setFaults(silent);
    QTRY_COMPARE_WITH_TIMEOUT(prometheus.query(QStringLiteral("krm2200_link_up")), 0.0, 20000);
    QVERIFY(std::isnan(sampleOf(request(port, "GET", "/metrics").body,
                                "krm2200_temperature_celsius{sensor=\"PT100A\"}")));
    QCOMPARE(request(port, "GET", "/status.json").status, 503);
    f.sim->setFaults({});
    QTRY_COMPARE_WITH_TIMEOUT(prometheus.query(QStringLiteral("krm2200_link_up")), 1.0, 20000);
    QVERIFY(prometheus.query(QStringLiteral("krm2200_poll_failures_total")) >= 1);

    serve.terminate();
    QVERIFY(serve.waitForFinished(10000));
    QCOMPARE(serve.exitStatus(), QProcess::NormalExit);
    err += QString::fromLocal8Bit(serve.readAllStandardError());
    QVERIFY2(serve.exitCode() == 0, qPrintable(err.right(4000)));
}

void tst_ServeE2E::shippedRules()
{
    if (!havePrometheus())
        QSKIP("prometheus and promtool are not installed");
    const QString dir = QStringLiteral(KRM_SOURCE_DIR);
    const QString problems = promtool({QStringLiteral("test"), QStringLiteral("rules"),
                                       dir + QStringLiteral("/tests/cli/krm2200-rules.test.yml")});
    QVERIFY2(problems.isEmpty(), qPrintable(problems));
    // The alarm texts of the rules are the program's: each code with its message.
    const QString rules =
        ShellFixture::text(dir + QStringLiteral("/packaging/prometheus/krm2200-rules.yml"));
    for (int code = 0; code < 1000; ++code) {
        const QString message =
            LookupAlarm(QStringLiteral("%1").arg(code, 3, 10, QLatin1Char('0'))).Message;
        if (!message.isEmpty())
            QVERIFY2(rules.contains(QStringLiteral("eq $value %1.0 }}%2").arg(code).arg(message)),
                     qPrintable(message));
    }
}

void tst_ServeE2E::windowServesItsCurrentValues()
{
    ShellFixture f;
    KRM2200 *w = f.steadyLogWindow();
    QVERIFY(w);
    // A port another program holds is told, and serving follows the
    // setting once the port is free.
    auto blocker = std::make_unique<QTcpServer>();
    QVERIFY(blocker->listen(QHostAddress::LocalHost, 0));
    ServeSettings s;
    s.on = true;
    s.port = blocker->serverPort();
    QVERIFY(s.save(ini()));
    Q_EMIT w->events().statusServingChanged();
    QVERIFY(!statusServer(*w)->isListening());
    QCOMPARE(f.dialogs->messages().size(), 1);
    QCOMPARE(f.dialogs->messages().at(0).text,
             ServeSettings::listenFailedText(s.port, true, QString()));
    blocker.reset();
    Q_EMIT w->events().statusServingChanged();
    QVERIFY(statusServer(*w)->isListening());
    const auto port = quint16(s.port);

    InstrumentSession::FixedRun run;
    run.temperature = QStringLiteral("40");
    QVERIFY(w->session().runFixed(run).started());
    QTRY_VERIFY_WITH_TIMEOUT(w->session().statusCount() >= 3, 20000);
    QWidget *values = w->loadedWindow(QStringLiteral("frmCurrentValues"));
    QVERIFY(values);

    // The same reply behind both: asked again when one came in meanwhile.
    bool same = false;
    for (int attempt = 0; attempt < 5 && !same; ++attempt) {
        const int before = w->session().statusCount();
        const QByteArray text = request(port, "GET", "/metrics").body;
        if (w->session().statusCount() != before)
            continue;
        same = true;
        for (int k = 0; k < 4; ++k) {
            const QString shown =
                values->findChild<QLabel *>(QStringLiteral("temp%1").arg(k))->text();
            const double served =
                sampleOf(text, "krm2200_temperature_celsius{sensor=\"" +
                                   MetricsModel::sensorLabel(k).toLatin1() + "\"}");
            // "使用不可", "*": no series.
            bool number = false;
            const double reading = shown.toDouble(&number);
            if (number)
                QCOMPARE(served, reading);
            else
                QVERIFY2(std::isnan(served), qPrintable(shown));
        }
        QCOMPARE(sampleOf(text, "krm2200_target_celsius"),
                 values->findChild<QLabel *>(QStringLiteral("setPoint_l"))->text().toDouble());
        QCOMPARE(sampleOf(text, "krm2200_status_code"), 2.0);
        QCOMPARE(sampleOf(text, "krm2200_log_recording"), 1.0);
    }
    QVERIFY(same);

    // Prometheus reads the window as it reads "serve".
    if (!havePrometheus())
        QSKIP("prometheus is not installed");
    QTemporaryDir dir;
    Prometheus prometheus;
    QVERIFY(prometheus.start(port, dir.path()));
    const double shown = values->findChild<QLabel *>(QStringLiteral("temp0"))->text().toDouble();
    QTRY_COMPARE_WITH_TIMEOUT(
        prometheus.query(QStringLiteral("krm2200_temperature_celsius{sensor=\"PT100A\"}")), shown,
        30000);
    QCOMPARE(prometheus.query(QStringLiteral("krm2200_link_up")), 1.0);
}

void tst_ServeE2E::badRequestsClosed()
{
    // The limits small, so that each is reached at once.
    MetricsModel model;
    MetricsServer server(model, {});
    server.setLimits({.maxConnections = 8, .requestMs = 500, .maxRequestBytes = 4096});
    QVERIFY(server.listen(QHostAddress::LocalHost, 0));
    const quint16 port = server.serverPort();
    const auto open = [port](const QByteArray &bytes) {
        auto s = std::make_unique<QTcpSocket>();
        s->connectToHost(QHostAddress::LocalHost, port);
        s->write(bytes);
        return s;
    };
    const auto closed = [](QTcpSocket &s) {
        return QTest::qWaitFor([&] { return s.state() == QAbstractSocket::UnconnectedState; },
                               5000);
    };
    // More idle connections than allowed: a scraper still gets through.
    std::vector<std::unique_ptr<QTcpSocket>> idle;
    idle.reserve(20);
    for (int i = 0; i < 20; ++i)
        idle.push_back(open(QByteArray()));
    QTest::qWait(200);
    QCOMPARE(request(port, "GET", "/metrics").status, 200);
    QVERIFY(closed(*idle.front()));

    std::mt19937 random(38);
    QByteArray noise(2048, '\0');
    for (char &c : noise)
        c = char(random());
    const QByteArray bad[] = {"GET /metrics HTTP/1.1\r\nX-Long: " + QByteArray(64 * 1024, 'a'),
                              "GET /metrics HTTP/1.1\r\nX-Never: ends", noise};
    for (const QByteArray &bytes : bad) {
        const auto s = open(bytes);
        QVERIFY2(closed(*s), bytes.left(30).constData());
        QVERIFY(!s->readAll().contains(" 200 "));
    }
    QCOMPARE(request(port, "GET", "/metrics").status, 200);
}

QTEST_MAIN(tst_ServeE2E)
#include "tst_serve_e2e.moc"
