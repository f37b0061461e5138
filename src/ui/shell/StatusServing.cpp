#include "ui/shell/StatusServing.h"

#include "core/app/LinkWatch.h"
#include "core/app/Version.h"
#include "core/config/Ini_Operation.h"
#include "core/config/Parameter.h"
#include "core/link/Reception_Show.h"
#include "core/logging/CurrentValues.h"
#include "core/net/MetricsModel.h"
#include "core/net/MetricsServer.h"
#include "core/net/ServeSettings.h"
#include "core/session/InstrumentSession.h"
#include "core/session/StatusJson.h"
#include "ui/shell/Dialogs.h"
#include "ui/shell/WindowHost.h"

#include <QDateTime>
#include <QHostInfo>
#include <QJsonDocument>
#include <QTimer>
#include <QWidget>

namespace {

class StatusServing : public QObject {
public:
    explicit StatusServing(WindowHost &host)
        : QObject(host.hostWidget()), m_host(host),
          m_server(
              m_model, [this] { return statusJson(); }, this)
    {
        setObjectName(QStringLiteral("StatusServing"));
    }

    void apply()
    {
        const ServeSettings s = ServeSettings::load(ini());
        const QHostAddress host =
            s.remote ? QHostAddress(QHostAddress::Any) : QHostAddress(QHostAddress::LocalHost);
        if (!s.on) {
            m_server.close();
            m_serving = false;
            return;
        }
        if (m_serving && m_address == host && m_port == s.port && m_server.isListening())
            return;
        InstrumentSession &session = m_host.session();
        const QString device = session.forcedDevice().isEmpty()
                                   ? session.link().deviceFor(ini().IniRead(QStringLiteral("COM"),
                                                                            QStringLiteral("para")))
                                   : session.forcedDevice();
        m_model.setInfo(
            {programVersion(), device, s.bench.isEmpty() ? QHostInfo::localHostName() : s.bench});
        m_serving = m_server.listen(host, quint16(s.port));
        m_address = host;
        m_port = s.port;
        if (!m_serving)
            Dialogs::instance().message(m_host.hostWidget(),
                                        ServeSettings::listenFailedText(s.port,
                                                                        m_server.addressInUse(),
                                                                        m_server.errorString()),
                                        QStringLiteral("error"));
    }

    void take(const StatusReport &report)
    {
        const Parameter &p = param();
        for (int k = 0; k < 4; ++k)
            m_model.setSensorUnused(k, CurrentValues::sensorUnusable(p, k));
        // Readings older than two samples are not current: the window polls
        // only while a log or a run goes on.
        m_model.setStaleAfterMs(2000 * std::max(1, p.sampleInterval()) + 5000);
        m_model.take(report, p.TargetLineText, !m_host.state().fix.lastRunFixed,
                     QDateTime::currentMSecsSinceEpoch());
        m_model.setLogRecording(m_host.session().logRecording());
    }

    MetricsServer::JsonAnswer statusJson() const
    {
        InstrumentSession &s = m_host.session();
        if (!m_model.current())
            return {503, QJsonDocument(StatusJson::errorJson(QStringLiteral("no-answer"), 4,
                                                             LinkWatch::lossNote()))
                                 .toJson(QJsonDocument::Compact) +
                             '\n'};
        return {200,
                QJsonDocument(StatusJson::statusJson(s.lastStatus(), QDateTime::currentDateTime(),
                                                     &s.runProgress()))
                        .toJson(QJsonDocument::Compact) +
                    '\n'};
    }

    WindowHost &m_host;
    MetricsModel m_model;
    MetricsServer m_server;
    QHostAddress m_address;
    int m_port = 0;
    bool m_serving = false;
};

StatusServing *of(WindowHost &host)
{
    return host.hostWidget()->findChild<StatusServing *>(QStringLiteral("StatusServing"),
                                                         Qt::FindDirectChildrenOnly);
}

} // namespace

void registerStatusServing(WindowHost &host)
{
    auto *serving = new StatusServing(host);
    InstrumentSession &session = host.session();
    QObject::connect(&session, &InstrumentSession::statusApplied, serving,
                     [serving](const StatusReport &report) { serving->take(report); });
    // A reopened port says nothing of the instrument yet: up again only with
    // a reply.
    QObject::connect(&session, &InstrumentSession::linkStateChanged, serving, [serving](bool ok) {
        if (!ok)
            serving->m_model.setLinkUp(false);
    });
    QObject::connect(&session.pollTimer(), &QTimer::timeout, serving, [serving, &session] {
        serving->m_model.pollSent();
        serving->m_model.setLogRecording(session.logRecording());
    });
    QObject::connect(&host.events(), &HostEvents::startUpFinished, serving,
                     [serving] { serving->apply(); });
    QObject::connect(&host.events(), &HostEvents::statusServingChanged, serving,
                     [serving] { serving->apply(); });
}

MetricsServer *statusServer(WindowHost &host)
{
    StatusServing *s = of(host);
    return s ? &s->m_server : nullptr;
}

const MetricsModel *statusModel(WindowHost &host)
{
    StatusServing *s = of(host);
    return s ? &s->m_model : nullptr;
}
