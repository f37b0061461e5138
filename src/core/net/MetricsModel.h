#pragma once

#include <QByteArray>
#include <QString>

#include <array>
#include <optional>

struct StatusReport;

// What the status server tells Prometheus, fed from the status replies the
// program receives anyway: the window's polls or the command line's "serve".
// The readings are served only while the link is up, so a value that no
// longer comes in is never presented as current (Prometheus marks the series
// stale instead).
class MetricsModel {
public:
    struct Info {
        QString version;
        QString port;  // the serial device
        QString bench; // the name the lab knows the bench by
    };
    void setInfo(const Info &info) { m_info = info; }
    const Info &info() const { return m_info; }

    // Which sensors the settings switch off: they have no series.
    void setSensorUnused(int k, bool unused) { m_unused.at(size_t(k)) = unused; }

    // A status query was sent. One still unanswered counts as failed.
    void pollSent();
    // The query sent got no answer.
    void pollFailed();
    // The link as the program sees it (the status bar's link cell); down
    // hides the readings until a reply comes again.
    void setLinkUp(bool up) { m_linkUp = up; }
    bool linkUp() const { return m_linkUp && m_haveReply; }
    // Readings older than this are not served (0: never too old): a window
    // that stopped polling has nothing current to tell.
    void setStaleAfterMs(qint64 ms) { m_staleAfterMs = ms; }
    // Whether the readings are served: the link up and the last reply fresh.
    bool current() const;
    // An accepted status reply, at `unixMs`. `target`: the set temperature of
    // the run ("" when none); `patternRun`: the step numbers a pattern.
    void take(const StatusReport &report, const QString &target, bool patternRun, qint64 unixMs);
    void setLogRecording(bool on) { m_recording = on; }

    qint64 polls() const { return m_polls; }
    qint64 pollFailures() const { return m_failures; }

    // The text format 0.0.4 of Prometheus's exposition, a HELP and a TYPE
    // line for every metric.
    QByteArray prometheusText() const;
    static QByteArray contentType() { return "text/plain; version=0.0.4; charset=utf-8"; }

    static QString sensorLabel(int k);

private:
    Info m_info;
    std::array<bool, 4> m_unused{};
    std::array<std::optional<double>, 4> m_temps;
    std::optional<double> m_internal;
    std::optional<double> m_current;
    std::optional<double> m_target;
    std::optional<int> m_step;
    int m_statusCode = 0;
    int m_alarmCode = 0;
    bool m_alarm = false;
    bool m_linkUp = false;
    bool m_haveReply = false;
    bool m_pending = false;
    bool m_recording = false;
    qint64 m_lastReplyMs = 0;
    qint64 m_staleAfterMs = 0;
    qint64 m_polls = 0;
    qint64 m_failures = 0;
};
