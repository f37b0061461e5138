#include "core/logging/LOG_Handling.h"

#include "core/config/Parameter.h"
#include "core/link/Reception_Show.h"
#include "core/link/SerialLink.h"

#include <QTimer>

#include <utility>

namespace {

const QString kStatus = QStringLiteral("STATUS");

// The path, the system's reason when known, and what to look at.
QString details(const QString &path, const QString &reason)
{
    QString text = path + QLatin1Char('\n');
    if (!reason.isEmpty())
        text += reason + QLatin1Char('\n');
    return text + QStringLiteral("ログフォルダを確認してください。");
}

} // namespace

QString LOG_Handling::txtFailText(const QString &path, const QString &reason)
{
    return QStringLiteral("ログファイルを作成できませんでした。\n") + details(path, reason);
}

QString LOG_Handling::csvFailText(const QString &path, const QString &reason)
{
    return QStringLiteral("CSVファイルを作成できませんでした。\n") + details(path, reason);
}

QString LOG_Handling::writeFailText(const QString &path, const QString &reason)
{
    return QStringLiteral("ログファイルに書き込めませんでした。ログを停止します。\n") +
           details(path, reason);
}

LOG_Handling::LOG_Handling(Parameter &p, SerialLink &link, Reception_Show &parsers, QTimer &timer,
                           QObject *parent)
    : QObject(parent), m_p(p), m_link(link), m_parsers(parsers), m_timer(timer)
{
    recording = [this] { return m_file.isOpen(); };
    m_replyCheck = new QTimer(this);
    m_replyCheck->setSingleShot(true);
    connect(m_replyCheck, &QTimer::timeout, this, &LOG_Handling::checkReply);
}

bool LOG_Handling::openFile()
{
    const QString dir = logDir ? logDir() : QString();
    QString failed;
    QString reason;
    if (m_file.open(dir + QStringLiteral("/LOG"), now(), &failed, &reason))
        return true;
    if (m_view)
        m_view->logFailed(txtFailText(failed, reason));
    return false;
}

void LOG_Handling::StartLog()
{
    if (m_file.isOpen())
        return;
    // The file comes first: a log that cannot be written is never started.
    if (!openFile())
        return;
    LogLineFlag = true;
    tstart = now();
    // The log keeps this interval to its end, for its timer and its stamps;
    // a change in the settings meanwhile applies to the next log.
    m_p.LogRunInterval = std::clamp(m_p.LogInterval, 1, 60);
    // The whole status state, the line counter too: a reply half-read before
    // the start must not be taken for the first sample.
    m_parsers.resetStatus();
    if (!m_timer.isActive()) {
        if (m_view)
            m_view->SetLogLock(false);
        m_timer.setInterval(m_p.LogRunInterval * 1000);
        m_timer.start();
    }
    m_p.GraphPage = 0;
    m_p.GraphPageStart = 0;
    m_p.LogCount = 0;
    // The samples of the previous log go: a week of restarts holds one log.
    m_p.SenValues.clear();
    if (m_view)
        m_view->clearSensorLog();
    redrawLive();
    if (m_view)
        m_view->setLogCaptions(true);
    Q_EMIT logStarted();
    m_link.SendCommand(kStatus, kStatus, 0.05);
}

void LOG_Handling::StopLog()
{
    m_parsers.StatusCrCount = 0;
    m_parsers.StatusBuffer.clear();
    if (m_view)
        m_view->SetLogLock(true);
    m_timer.stop();
    tstart = QDateTime();
    if (m_file.isOpen()) {
        QString failed;
        QString reason;
        const bool closed = m_file.close(csvEnabled && csvEnabled(), &failed, &reason);
        if (m_view) {
            m_view->logClosed(m_file.TxtLogFinal);
            if (!closed)
                m_view->logFailed(failed.endsWith(QLatin1String(".txt"))
                                      ? writeFailText(failed, reason)
                                      : csvFailText(failed, reason));
            if (!m_p.LogStopFlag && m_holdMemo)
                m_heldMemoStem = m_file.LogStem;
            else if (!m_p.LogStopFlag && m_view->askMemo(m_file.LogStem))
                m_view->openMemo();
        }
    }
    m_p.LogStopFlag = false;
    m_p.GraphPage = 0;
    LogLineFlag = false;
    if (m_view)
        m_view->setLogCaptions(false);
    Q_EMIT logStopped();
}

void LOG_Handling::StopLogHoldingMemo()
{
    m_holdMemo = true;
    StopLog();
    m_holdMemo = false;
}

void LOG_Handling::askHeldMemo()
{
    const QString stem = std::exchange(m_heldMemoStem, QString());
    if (!stem.isEmpty() && m_view && m_view->askMemo(stem))
        m_view->openMemo();
}

void LOG_Handling::tick()
{
    LogLineFlag = m_file.isOpen();
    m_tickClock.start();
    m_tries = 0;
    sendPoll();
    ++m_p.LogCount;
    if (m_p.GraphPagePoints > 0 && m_p.LogCount - m_p.GraphPageStart >= m_p.GraphPagePoints) {
        ++m_p.GraphPage;
        m_p.GraphPageStart = m_p.GraphPagePoints * m_p.GraphPage;
        if (m_canvas) {
            m_canvas->clear();
            m_canvas->DrawGrid(m_p);
            // The running step's target stays in view on the new page.
            m_canvas->DrawTargetLine(m_p, m_p.TargetLineText);
        }
        Q_EMIT pageTurned();
    }
    if (m_p.LogCount < RestartCount) {
        Q_EMIT ticked();
        Q_EMIT canvasChanged();
        return;
    }
    // A full log: close it without the memo question and go on in a new one.
    m_p.LogStopFlag = true;
    StopLog();
    StartLog();
}

void LOG_Handling::sendPoll()
{
    m_parsers.resetStatus();
    m_receivedMark = m_link.bytesReceived();
    m_link.SendCommand(kStatus, kStatus, 0);
    m_sentMark = m_link.bytesSent();
    m_replyCheck->start(ReplyCheckMs);
}

void LOG_Handling::checkReply()
{
    // Taken, or the poll ended, or another command spoke on the line since.
    if (m_parsers.StatusParsed != 0 || !m_timer.isActive() || m_link.str != kStatus ||
        m_link.bytesSent() != m_sentMark)
        return;
    if (m_link.lastAck() == SerialLink::Ack::Ng) {
        // The instrument is there and said no: not a lost link, not noise.
        m_link.noteSystemLog(QStringLiteral("本体が受け付けなかったコマンド：") + kStatus);
        return;
    }
    // Nothing came back: the link watch tells that, and a try more would only
    // hold the window for the first-reply limit.
    if (!m_link.CommOk() || m_link.lastPollTimedOut() || m_link.bytesReceived() == m_receivedMark)
        return;
    const qint64 worst = m_tickClock.elapsed() + SerialLink::FirstByteTimeoutMs + ReplyCheckMs;
    if (m_tries >= MaxStatusRetries || worst > m_timer.interval())
        return;
    ++m_tries;
    m_link.noteSystemLog(QStringLiteral("再問合せ：") + kStatus);
    sendPoll();
}

void LOG_Handling::plotSample(int x, int sample)
{
    const SampleStore &sen = m_p.SenValues;
    if (!m_canvas)
        return;
    m_canvas->PlotSample(
        m_p, [&sen](int k, qint64 i) { return sen.text(k, i); }, x, sample);
    Q_EMIT canvasChanged();
}

void LOG_Handling::writeLogLine(const StatusReport &report)
{
    if (!LogLineFlag || !m_file.isOpen())
        return;
    const int n = m_p.LogCount;
    const QString elapsed = stamp(n);
    QString reason;
    if (!m_file.writeLine(LogFile::formatLine(elapsed, report.temps, report.status.value(1)),
                          &reason)) {
        const QString path = m_file.TxtLogPath;
        m_p.LogStopFlag = true;
        StopLog();
        if (m_view)
            m_view->logFailed(writeFailText(path, reason));
        return;
    }
    if (m_view)
        m_view->echoSensorLog(n, report.temps.mid(0, 4));
}

void LOG_Handling::redrawLive()
{
    if (!m_canvas)
        return;
    m_canvas->RedrawLiveGraph(m_p);
    Q_EMIT canvasChanged();
}

int LOG_Handling::interval() const
{
    return std::clamp(m_p.sampleInterval(), 1, 60);
}

QString LOG_Handling::stamp(qint64 sample) const
{
    return LogFile::FormatElapsed(qint64(m_p.LogRunInterval) * std::max<qint64>(sample, 0));
}

int LOG_Handling::liveWidthTwips() const
{
    return (m_p.LogCount - m_p.GraphPageStart) * m_p.GraphXScale;
}
