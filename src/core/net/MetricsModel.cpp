#include "core/net/MetricsModel.h"

#include "core/link/Reception_Show.h"
#include "core/logging/GraphScale.h"

#include <QDateTime>
#include <QLocale>

namespace {

std::optional<double> number(const QString &text)
{
    double v = 0;
    if (sampleValue(text, &v) == SampleKind::Value)
        return v;
    return std::nullopt;
}

std::optional<int> whole(const QString &text)
{
    bool ok = false;
    const int v = text.trimmed().toInt(&ok);
    return ok ? std::optional<int>(v) : std::nullopt;
}

QByteArray value(double v)
{
    return QByteArray::number(v, 'g', QLocale::FloatingPointShortest);
}

// A label value as the format wants it: backslash, quote and line feed escaped.
QByteArray escaped(const QString &text)
{
    QByteArray out;
    for (char c : text.toUtf8()) {
        if (c == '\\')
            out += "\\\\";
        else if (c == '"')
            out += "\\\"";
        else if (c == '\n')
            out += "\\n";
        else
            out += c;
    }
    return out;
}

class Writer {
public:
    void family(const char *name, const char *type, const char *help)
    {
        out += "# HELP ";
        out += name;
        out += ' ';
        out += help;
        out += "\n# TYPE ";
        out += name;
        out += ' ';
        out += type;
        out += '\n';
    }
    void sample(const char *name, double v, const QByteArray &labels = QByteArray())
    {
        out += name;
        if (!labels.isEmpty())
            out += '{' + labels + '}';
        out += ' ' + value(v) + '\n';
    }
    void optional(const char *name, const std::optional<double> &v, bool show)
    {
        if (show && v)
            sample(name, *v);
    }
    QByteArray out;
};

} // namespace

QString MetricsModel::sensorLabel(int k)
{
    static const char *const names[] = {"PT100A", "PT100B", "SENSOR1", "SENSOR2"};
    return QString::fromLatin1(names[k]);
}

void MetricsModel::pollSent()
{
    if (m_pending)
        ++m_failures;
    m_pending = true;
    ++m_polls;
}

void MetricsModel::pollFailed()
{
    if (m_pending)
        ++m_failures;
    m_pending = false;
    m_linkUp = false;
}

void MetricsModel::take(const StatusReport &report, const QString &target, bool patternRun,
                        qint64 unixMs)
{
    if (!report.hasStatusLine() || report.temps.size() < 4)
        return;
    m_pending = false;
    m_haveReply = true;
    m_linkUp = true;
    m_lastReplyMs = unixMs;
    for (size_t k = 0; k < 4; ++k)
        m_temps.at(k) = number(report.temps.at(qsizetype(k)));
    m_internal = number(report.status.at(1));
    m_current = number(report.status.at(2));
    m_statusCode = whole(report.status.at(0)).value_or(-1);
    m_alarm = report.code() == QLatin1String("04");
    m_alarmCode = whole(report.status.at(3)).value_or(0);
    const bool running = report.code() == QLatin1String("02");
    m_target = running ? number(target) : std::nullopt;
    m_step = running && patternRun ? whole(report.status.at(4)) : std::nullopt;
}

bool MetricsModel::current() const
{
    return linkUp() && (m_staleAfterMs <= 0 ||
                        QDateTime::currentMSecsSinceEpoch() - m_lastReplyMs <= m_staleAfterMs);
}

QByteArray MetricsModel::prometheusText() const
{
    // What the instrument said is current only while it answers.
    const bool live = current();
    Writer w;
    w.family("krm2200_temperature_celsius", "gauge",
             "Last reading of each sensor in use, in degrees Celsius.");
    for (int k = 0; k < 4; ++k) {
        if (live && !m_unused.at(size_t(k)) && m_temps.at(size_t(k)))
            w.sample("krm2200_temperature_celsius", *m_temps.at(size_t(k)),
                     "sensor=\"" + escaped(sensorLabel(k)) + '"');
    }
    w.family("krm2200_internal_temperature_celsius", "gauge",
             "Internal temperature of the instrument, in degrees Celsius.");
    w.optional("krm2200_internal_temperature_celsius", m_internal, live);
    w.family("krm2200_max_current_amperes", "gauge", "Maximum current of the heater, in amperes.");
    w.optional("krm2200_max_current_amperes", m_current, live);
    w.family("krm2200_target_celsius", "gauge",
             "Set temperature of the run, in degrees Celsius; absent when idle.");
    w.optional("krm2200_target_celsius", m_target, live);
    w.family("krm2200_status_code", "gauge",
             "Status code of the instrument (0 idle, 2 running, 4 alarm).");
    if (live && m_statusCode >= 0)
        w.sample("krm2200_status_code", m_statusCode);
    w.family("krm2200_alarm_active", "gauge", "1 while an alarm stands on the instrument.");
    if (live)
        w.sample("krm2200_alarm_active", m_alarm ? 1 : 0);
    w.family("krm2200_alarm_code", "gauge", "Code of the standing alarm, 0 when none stands.");
    if (live)
        w.sample("krm2200_alarm_code", m_alarm ? m_alarmCode : 0);
    w.family("krm2200_pattern_step", "gauge", "Step being executed during a pattern run.");
    if (live && m_step)
        w.sample("krm2200_pattern_step", *m_step);
    w.family("krm2200_link_up", "gauge", "1 when the last status query was answered.");
    w.sample("krm2200_link_up", linkUp() ? 1 : 0);
    w.family("krm2200_last_reply_timestamp_seconds", "gauge",
             "Unix time of the last answered status query.");
    if (m_haveReply)
        w.sample("krm2200_last_reply_timestamp_seconds", double(m_lastReplyMs) / 1000.0);
    w.family("krm2200_polls_total", "counter", "Status queries sent since the start.");
    w.sample("krm2200_polls_total", double(m_polls));
    w.family("krm2200_poll_failures_total", "counter",
             "Status queries left unanswered since the start.");
    w.sample("krm2200_poll_failures_total", double(m_failures));
    w.family("krm2200_log_recording", "gauge", "1 while a log is recorded.");
    w.sample("krm2200_log_recording", m_recording ? 1 : 0);
    w.family("krm2200_info", "gauge", "Program version, serial port and bench name; always 1.");
    w.sample("krm2200_info", 1,
             "version=\"" + escaped(m_info.version) + "\",port=\"" + escaped(m_info.port) +
                 "\",bench=\"" + escaped(m_info.bench) + '"');
    return w.out;
}
