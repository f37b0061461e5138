#include "core/link/SerialLink.h"

#include "core/config/Ini_Operation.h"
#include "core/config/Parameter.h"
#include "core/link/Reception_Show.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QTimer>

#include <algorithm>
#include <cerrno>
#include <utility>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

Q_LOGGING_CATEGORY(lcLink, "krm.link")

namespace {

// Whether the user lacks the rights on the device itself: a device in use
// by another program also fails with a permission error, but no group helps.
bool accessDenied(const QString &device)
{
#ifdef Q_OS_UNIX
    return ::access(QFile::encodeName(device).constData(), R_OK | W_OK) != 0 && errno == EACCES;
#else
    Q_UNUSED(device);
    return false;
#endif
}

} // namespace

SerialLink::SerialLink(Parameter &p, Reception_Show &parsers, Ini_Operation &ini, QObject *parent)
    : QObject(parent), m_p(p), m_parsers(parsers), m_ini(ini)
{
    connect(&m_port, &QSerialPort::readyRead, this, &SerialLink::onReadyRead);
    connect(&m_port, &QSerialPort::errorOccurred, this, [this](QSerialPort::SerialPortError e) {
        // A device that went away (cable pulled, simulator ended) cannot be
        // used any more: close it so the next command reopens it, and mark the
        // link failed so no transfer carries on as if it were answered.
        if (e == QSerialPort::ResourceError && m_port.isOpen() && !m_lossQueued) {
            m_lossQueued = true;
            qCWarning(lcLink) << "serial device lost:" << m_port.errorString();
            QTimer::singleShot(0, this, [this] {
                m_lossQueued = false;
                if (m_port.isOpen() && m_port.error() == QSerialPort::ResourceError) {
                    m_port.close();
                    setCommOk(false);
                }
            });
        }
    });
}

SerialLink::~SerialLink()
{
    ClosePort();
    closeSystemLog();
}

bool SerialLink::CommOk() const
{
    return m_p.CommOk;
}

void SerialLink::markHealthy()
{
    const QSerialPort::SerialPortError e = m_port.error();
    if (m_port.isOpen() && !m_p.CommOk &&
        (e == QSerialPort::NoError || e == QSerialPort::TimeoutError))
        setCommOk(true);
}

void SerialLink::setCommOk(bool ok)
{
    m_p.CommOk = ok;
    Q_EMIT commStateChanged(ok);
}

QString SerialLink::deviceForNumber(int n)
{
    // The numbered ports are the platform's first serial lines.
    return QStringLiteral("/dev/ttyS%1").arg(n - 1);
}

QString SerialLink::deviceFor(const QString &portText) const
{
    if (!m_forcedDevice.isEmpty())
        return m_forcedDevice;
    bool ok = false;
    const int n = portText.trimmed().toInt(&ok);
    if (ok && n >= 1)
        return deviceForNumber(n);
    return portText.trimmed();
}

bool SerialLink::isOpen() const
{
    return m_port.isOpen();
}

bool SerialLink::OpenPort(const QString &portText)
{
    if (m_port.isOpen())
        return true;
    m_portText = portText;
    m_ini.IniWritePara(QStringLiteral("COM"), QString(), portText);
    return reopen();
}

bool SerialLink::reopen()
{
    if (m_port.isOpen())
        m_port.close();
    const QString device = deviceFor(m_portText);
    // The port's lock is named after the device: a link to it
    // (/dev/serial/by-id/...) must meet the lock of the device itself.
    const QString real = QFileInfo(device).canonicalFilePath();
    m_port.setPortName(real.isEmpty() ? device : real);
    m_port.setBaudRate(57600);
    m_port.setDataBits(QSerialPort::Data8);
    m_port.setParity(QSerialPort::NoParity);
    m_port.setStopBits(QSerialPort::OneStop);
    m_port.setFlowControl(QSerialPort::NoFlowControl);
    m_rx.clear();
    m_LineBuffer.clear();
    if (!m_port.open(QIODevice::ReadWrite)) {
        OpenFailure failure{device, m_port.error(), m_port.errorString(), false};
        if (failure.error == QSerialPort::PermissionError) {
            failure.accessDenied = accessDenied(failure.device);
            // The rights are there, so the device is locked or held.
            failure.inUse = !failure.accessDenied;
        }
        // A device that stays away is tried at every tick: say so once.
        if (failure.device != m_openFailure.device || failure.error != m_openFailure.error)
            qCWarning(lcLink) << "cannot open" << failure.device << failure.reason;
        m_openFailure = failure;
        m_failedOpen.start();
        return false;
    }
    if (m_failedOpen.isValid())
        qCInfo(lcLink) << "opened" << device << "again";
    m_openFailure = OpenFailure();
    m_failedOpen.invalidate();
    // Some serial drivers keep bytes from before the open.
    m_port.clear(QSerialPort::Input);
    return true;
}

void SerialLink::ClosePort()
{
    if (m_port.isOpen())
        m_port.close();
    m_rx.clear();
}

void SerialLink::discardInput()
{
    if (m_port.isOpen()) {
        m_port.clear(QSerialPort::Input);
        m_port.readAll();
    }
    m_rx.clear();
}

void SerialLink::writeLine(const QString &text)
{
    const QByteArray bytes = text.toLatin1() + '\r';
    m_port.write(bytes);
    m_port.flush();
    m_sentAt.start();
    m_bytesSent += bytes.size();
}

void SerialLink::SendCommand(const QString &text, const QString &awaitedKey, double delaySeconds,
                             const std::function<bool()> &answered)
{
    str = awaitedKey;
    discardInput();
    // An early-ending wait gives the parser only what follows this command's
    // echo: lines still arriving from an earlier, longer reply are stale.
    m_echoPending = bool(answered);
    m_echo = text.trimmed();
    m_held.clear();
    m_heldLineStart = 0;
    m_lastPollTimedOut = false;
    m_ack = Ack::None;
    m_linesSinceSend = 0;
    m_sentAt.invalidate();

    if (m_port.isOpen() && m_p.CommOk) {
        writeLine(text);
        QElapsedTimer t0;
        t0.start();
        // Wait for the first reply character only, servicing no other event:
        // the receive handler must not run here (a status tick counts its
        // sample after sending, and the reply belongs after that).
        m_inPoll = true;
        bool answered = m_port.bytesAvailable() > 0;
        while (!answered && m_port.isOpen()) {
            const qint64 left = FirstByteTimeoutMs - t0.elapsed();
            if (left <= 0)
                break;
            // A device that went away answers every wait at once: no spinning.
            if (!m_port.waitForReadyRead(int(left)) && m_port.error() == QSerialPort::ResourceError)
                break;
            answered = m_port.bytesAvailable() > 0;
        }
        m_inPoll = false;
        if (answered) {
            if (!m_drainQueued) {
                m_drainQueued = true;
                QMetaObject::invokeMethod(this, &SerialLink::drain, Qt::QueuedConnection);
            }
        } else {
            m_lastPollTimedOut = true;
            setCommOk(false);
        }
    } else {
        const bool tooSoon = m_failedOpen.isValid() && m_failedOpen.elapsed() < ReopenRetryMs;
        if (tooSoon || !reopen()) {
            // Nothing was sent: the link is not healthy, whatever it was before.
            setCommOk(false);
            m_echoPending = false;
            return;
        }
        setCommOk(true);
        writeLine(text);
    }

    if (delaySeconds != 0.0) {
        if (answered) {
            waitForAnswer(delaySeconds, answered);
        } else {
            WaitSeconds(delaySeconds);
            // What has arrived by the end of the wait belongs to this reply,
            // whether or not the event loop got round to it.
            drain();
        }
    }
    releaseHeld();
}

SerialLink::Ack SerialLink::awaitAck()
{
    awaitAnswer([this] { return m_ack != Ack::None; });
    return m_ack;
}

void SerialLink::awaitAnswer(const std::function<bool()> &answered)
{
    for (;;) {
        drain();
        if (answered() || !m_port.isOpen() || !m_sentAt.isValid())
            return;
        const qint64 left = FirstByteTimeoutMs - m_sentAt.elapsed();
        if (left <= 0)
            return;
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        if (answered() || !m_port.isOpen())
            continue;
        if (!m_port.waitForReadyRead(int(std::clamp<qint64>(left, 1, 5))) &&
            m_port.error() != QSerialPort::TimeoutError)
            WaitSeconds(0.001); // a failing port: no busy loop
    }
}

void SerialLink::waitForAnswer(double seconds, const std::function<bool()> &answered)
{
    QElapsedTimer t0;
    t0.start();
    const qint64 total = qint64(seconds * 1e9);
    for (;;) {
        // Other events are serviced between reads, as in WaitSeconds; the
        // reply itself is taken in as soon as it arrives rather than on a
        // timer slice, so the wait ends within a character time of its line.
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        if (!m_rx.isEmpty() || (m_port.isOpen() && m_port.bytesAvailable() > 0))
            drain();
        if (!m_echoPending && answered())
            return;
        const qint64 left = total - t0.nsecsElapsed();
        if (left <= 0)
            return;
        if (!m_port.isOpen()) {
            WaitSeconds(double(left) / 1e9);
            return;
        }
        const int ms = int(std::clamp<qint64>((left + 999'999) / 1'000'000, 1, 5));
        if (!m_port.waitForReadyRead(ms) && m_port.error() != QSerialPort::TimeoutError)
            WaitSeconds(std::min(double(left) / 1e9, 0.001)); // a failing port: no busy loop
    }
}

void SerialLink::releaseHeld()
{
    if (!m_echoPending)
        return;
    // The echo never came as sent (noise on it, a cut reply, no reply).
    m_echoPending = false;
    const QString held = std::exchange(m_held, QString());
    m_heldLineStart = 0;
    for (const QChar c : QStringView(held).mid(replyStart(held)))
        m_parsers.dispatch(str, c);
}

qsizetype SerialLink::replyStart(const QString &held)
{
    // Lines of the previous reply may lead what was held; they end where this
    // reply's echo begins, the line before its acknowledgement. The last
    // acknowledgement is this reply's own: only values follow it.
    QList<qsizetype> starts{0};
    qsizetype from = 0;
    qsizetype found = 0;
    for (qsizetype cr = held.indexOf(QLatin1Char('\r')); cr >= 0;
         cr = held.indexOf(QLatin1Char('\r'), from)) {
        const QString line = held.mid(from, cr - from).trimmed();
        if (starts.size() >= 2 && (line == QLatin1String("OK") || line == QLatin1String("NG")))
            found = starts.at(starts.size() - 2);
        from = cr + 1;
        starts.append(from);
    }
    return found;
}

void SerialLink::waitQuiet(int quietMs, double maxSeconds)
{
    QElapsedTimer t0;
    t0.start();
    QElapsedTimer quiet;
    quiet.start();
    qint64 seen = m_bytesReceived;
    while (quiet.elapsed() < quietMs && t0.nsecsElapsed() < qint64(maxSeconds * 1e9)) {
        WaitSeconds(0.0005);
        if (m_bytesReceived != seen) {
            seen = m_bytesReceived;
            quiet.restart();
        }
    }
}

void SerialLink::WaitSeconds(double seconds)
{
    if (seconds <= 0.0)
        return;
    QElapsedTimer t0; // monotonic: a wait across midnight still ends
    t0.start();
    const qint64 total = qint64(seconds * 1e9);
    for (;;) {
        const qint64 left = total - t0.nsecsElapsed();
        if (left <= 0)
            break;
        if (left < 1'000'000) {
            QCoreApplication::processEvents(QEventLoop::AllEvents);
            continue;
        }
        QEventLoop loop;
        QTimer timer;
        timer.setTimerType(Qt::PreciseTimer);
        timer.setSingleShot(true);
        QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
        timer.start(int(left / 1'000'000));
        loop.exec();
    }
}

void SerialLink::onReadyRead()
{
    if (m_inPoll)
        return; // drained from the event loop once the poll has ended
    drain();
}

void SerialLink::drain()
{
    m_drainQueued = false;
    if (m_port.isOpen()) {
        const QByteArray bytes = m_port.readAll();
        if (!bytes.isEmpty()) {
            m_bytesReceived += bytes.size();
            m_rx.append(bytes);
        }
    }
    if (m_rx.isEmpty() || m_draining)
        return; // an outer drain further up the stack keeps the order
    if (!m_p.CommOk)
        setCommOk(true);
    m_draining = true;
    while (!m_rx.isEmpty()) {
        const char b = m_rx.front();
        m_rx.remove(0, 1);
        handleChar(QChar::fromLatin1(b));
    }
    m_draining = false;
}

void SerialLink::handleChar(QChar c)
{
    if (c == QLatin1Char('\r')) {
        writeSystemLog('"' + m_LineBuffer.toLatin1() + "\"\r\n");
        const QString line = m_LineBuffer;
        m_LineBuffer.clear();
        if (++m_linesSinceSend >= 2 && m_ack == Ack::None) {
            const QString trimmed = line.trimmed();
            if (trimmed == QLatin1String("OK"))
                m_ack = Ack::Ok;
            else if (trimmed == QLatin1String("NG"))
                m_ack = Ack::Ng;
        }
        Q_EMIT lineReceived(line);
        if (m_echoPending) {
            m_held.append(c);
            if (line.trimmed() == m_echo) {
                // Only the echo line and what follows it belong to this reply.
                m_echoPending = false;
                const QString echoLine = m_held.mid(m_heldLineStart);
                m_held.clear();
                m_heldLineStart = 0;
                for (const QChar e : echoLine)
                    m_parsers.dispatch(str, e);
            } else {
                m_heldLineStart = m_held.size();
            }
            return;
        }
    } else {
        m_LineBuffer.append(c);
        if (m_echoPending) {
            m_held.append(c);
            return;
        }
    }
    m_parsers.dispatch(str, c);
}

bool SerialLink::openSystemLog(const QString &path, bool append)
{
    closeSystemLog();
    m_sysLogLost = 0;
    if (append)
        return m_sysLog.openAppending(path);
    // A run started in the same second as the last keeps that run's log.
    const QFileInfo info(path);
    QString name = path;
    for (int n = 2; QFileInfo::exists(name); ++n)
        name = info.path() + QLatin1Char('/') + info.completeBaseName() + QLatin1Char('_') +
               QString::number(n) + QLatin1Char('.') + info.suffix();
    return m_sysLog.create(name);
}

void SerialLink::writeSystemLog(const QByteArray &line)
{
    if (!m_sysLog.isOpen())
        return;
    QString reason;
    // Lines the disk could not take are counted where the log goes on.
    if (m_sysLogLost > 0) {
        const QByteArray note =
            QDateTime::currentDateTime().toString(QStringLiteral("yyyy/MM/dd HH:mm:ss ")).toUtf8() +
            QStringLiteral("システムログに書き込めなかった行：%1").arg(m_sysLogLost).toUtf8() +
            "\r\n";
        if (m_sysLog.write(m_sysLogPrefix + note, &reason))
            m_sysLogLost = 0;
    }
    if (m_sysLogLost == 0 && m_sysLog.write(m_sysLogPrefix + line, &reason))
        return;
    if (m_sysLogLost++ == 0)
        Q_EMIT systemLogFailed(m_sysLog.fileName(), reason);
}

void SerialLink::noteSystemLog(const QString &text, const QDateTime &when)
{
    writeSystemLog(when.toString(QStringLiteral("yyyy/MM/dd HH:mm:ss ")).toUtf8() + text.toUtf8() +
                   "\r\n");
}

void SerialLink::closeSystemLog()
{
    QString reason;
    if (m_sysLog.isOpen() && !m_sysLog.close(&reason))
        Q_EMIT systemLogFailed(m_sysLog.fileName(), reason);
}
