#include "PtyInstrument.h"

#include <QFileInfo>
#include <QLoggingCategory>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

Q_LOGGING_CATEGORY(lcSimPty, "krm.sim.pty")

namespace {

qint64 monotonicNs()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return qint64(ts.tv_sec) * 1000000000LL + ts.tv_nsec;
}

// Between the first and the last character of a reply the worker wakes at
// most this often and writes every character whose slot has come; the first
// and last characters are written on their own slots.
constexpr qint64 BatchNs = 1000000;

QString errnoText(const char *what)
{
    return QStringLiteral("%1: %2").arg(QLatin1String(what),
                                        QString::fromLocal8Bit(strerror(errno)));
}

} // namespace

PtyInstrument::PtyInstrument(QObject *parent) : QObject(parent) {}

PtyInstrument::~PtyInstrument()
{
    stop();
}

void PtyInstrument::setStatePath(const QString &path)
{
    m_statePath = path;
}

void PtyInstrument::setCharsPerSecond(int cps)
{
    m_cps = qMax(0, cps);
}

SimFaults PtyInstrument::faults() const
{
    std::lock_guard<std::mutex> lock(m_engineMutex);
    return m_engine.faults();
}

void PtyInstrument::setFaults(const SimFaults &faults)
{
    {
        std::lock_guard<std::mutex> lock(m_engineMutex);
        m_engine.setFaults(faults);
    }
    wake();
}

QStringList PtyInstrument::receivedCommands() const
{
    std::lock_guard<std::mutex> lock(m_engineMutex);
    return m_engine.receivedCommands();
}

void PtyInstrument::clearReceivedCommands()
{
    {
        std::lock_guard<std::mutex> lock(m_engineMutex);
        m_engine.clearReceivedCommands();
    }
    std::lock_guard<std::mutex> lock(m_stateMutex);
    m_commandCount = 0;
}

bool PtyInstrument::waitForCommands(int count, int timeoutMs) const
{
    std::unique_lock<std::mutex> lock(m_stateMutex);
    return m_stateChanged.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                   [&] { return m_commandCount >= count; });
}

bool PtyInstrument::waitForCommand(const QString &command, int timeoutMs) const
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    std::unique_lock<std::mutex> lock(m_stateMutex);
    for (;;) {
        if (receivedCommands().contains(command))
            return true;
        if (m_stateChanged.wait_until(lock, deadline) == std::cv_status::timeout)
            return receivedCommands().contains(command);
    }
}

bool PtyInstrument::waitForIdleLine(int timeoutMs) const
{
    std::unique_lock<std::mutex> lock(m_stateMutex);
    return m_stateChanged.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                   [&] { return m_lineIdle; });
}

bool PtyInstrument::start(QString *error)
{
    if (m_running)
        return true;
    auto fail = [&](const QString &why) {
        qCWarning(lcSimPty) << why;
        if (error)
            *error = why;
        closeAll();
        return false;
    };

    m_masterFd = posix_openpt(O_RDWR | O_NOCTTY);
    if (m_masterFd < 0)
        return fail(errnoText("posix_openpt"));
    if (grantpt(m_masterFd) != 0 || unlockpt(m_masterFd) != 0)
        return fail(errnoText("grantpt/unlockpt"));
    char name[128] = {};
    if (ptsname_r(m_masterFd, name, sizeof name) != 0)
        return fail(errnoText("ptsname_r"));
    m_devicePath = QString::fromLocal8Bit(name);
    fcntl(m_masterFd, F_SETFD, FD_CLOEXEC);
    fcntl(m_masterFd, F_SETFL, fcntl(m_masterFd, F_GETFL) | O_NONBLOCK);

    // Holding the slave open keeps the master readable while no client has the
    // device open (otherwise reads fail with EIO between two clients). It is
    // also where the line is put into raw mode before any client opens it, so
    // that the line discipline neither echoes nor turns CR into LF.
    m_slaveFd = ::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (m_slaveFd < 0)
        return fail(errnoText("open slave"));
    termios tio{};
    if (tcgetattr(m_slaveFd, &tio) != 0)
        return fail(errnoText("tcgetattr"));
    cfmakeraw(&tio);
    cfsetispeed(&tio, B57600);
    cfsetospeed(&tio, B57600);
    tio.c_cflag |= CLOCAL | CREAD;
    tio.c_cc[VMIN] = 1;
    tio.c_cc[VTIME] = 0;
    if (tcsetattr(m_slaveFd, TCSANOW, &tio) != 0)
        return fail(errnoText("tcsetattr"));

    m_wakeFd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (m_wakeFd < 0)
        return fail(errnoText("eventfd"));
    // A client opening the device is seen as an open of its node (our own
    // open of the slave came before the watch). Without inotify the
    // instrument is simply never deaf.
    m_openWatchFd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (m_openWatchFd >= 0 && inotify_add_watch(m_openWatchFd, name, IN_OPEN) < 0) {
        ::close(m_openWatchFd);
        m_openWatchFd = -1;
    }

    if (!m_statePath.isEmpty()) {
        std::lock_guard<std::mutex> lock(m_engineMutex);
        m_engine.setStatePath(m_statePath);
        if (QFileInfo::exists(m_statePath)) {
            QString why;
            m_engine.loadState(m_statePath, &why);
            if (!why.isEmpty())
                qCWarning(lcSimPty) << "state file" << m_statePath << why;
        }
    }

    m_quit = false;
    m_hungUp = false;
    m_out.clear();
    m_lineFreeNs = 0;
    m_inFreeNs = 0;
    m_answered = 0;
    m_deafUntilNs = 0;
    m_running = true;
    m_thread = std::thread([this] { run(); });
    return true;
}

void PtyInstrument::stop()
{
    if (m_thread.joinable()) {
        m_quit = true;
        wake();
        m_thread.join();
    }
    m_running = false;
    closeAll();
}

void PtyInstrument::closeAll()
{
    for (int *fd : {&m_slaveFd, &m_masterFd, &m_wakeFd, &m_openWatchFd}) {
        if (*fd >= 0)
            ::close(*fd);
        *fd = -1;
    }
}

void PtyInstrument::wake()
{
    if (m_wakeFd >= 0) {
        const quint64 one = 1;
        [[maybe_unused]] ssize_t n = ::write(m_wakeFd, &one, sizeof one);
    }
}

void PtyInstrument::run()
{
    qint64 masterQuietUntil = 0;
    while (!m_quit) {
        qint64 now = monotonicNs();
        writeDue(now);

        pollfd fds[3] = {
            {m_wakeFd, POLLIN, 0}, {m_openWatchFd, POLLIN, 0}, {m_masterFd, POLLIN, 0}};
        const bool watchMaster = m_masterFd >= 0 && now >= masterQuietUntil;
        qint64 wakeAt = m_out.empty() ? -1 : nextDueNs();
        if (m_masterFd >= 0 && !watchMaster)
            wakeAt = wakeAt < 0 ? masterQuietUntil : qMin(wakeAt, masterQuietUntil);
        timespec timeout{};
        timespec *timeoutPtr = nullptr;
        if (wakeAt >= 0) {
            const qint64 wait = qMax<qint64>(0, wakeAt - now);
            timeout.tv_sec = wait / 1000000000LL;
            timeout.tv_nsec = wait % 1000000000LL;
            timeoutPtr = &timeout;
        }
        const int rc = ppoll(fds, watchMaster ? 3 : 2, timeoutPtr, nullptr);
        if (rc < 0) {
            if (errno == EINTR)
                continue;
            qCWarning(lcSimPty) << errnoText("ppoll");
            break;
        }
        if (fds[0].revents & POLLIN) {
            quint64 count = 0;
            [[maybe_unused]] ssize_t n = ::read(m_wakeFd, &count, sizeof count);
        }
        if (fds[1].revents & POLLIN)
            takeOpenEvents(monotonicNs());
        if (watchMaster && m_masterFd >= 0) {
            if (fds[2].revents & POLLIN)
                readInput();
            else if (fds[2].revents & (POLLHUP | POLLERR))
                masterQuietUntil = monotonicNs() + 10000000; // no slave open: look again later
        }
    }
}

void PtyInstrument::takeOpenEvents(qint64 nowNs)
{
    alignas(inotify_event) char buffer[4096];
    bool opened = false;
    for (;;) {
        const ssize_t n = ::read(m_openWatchFd, buffer, sizeof buffer);
        if (n <= 0)
            break;
        for (ssize_t at = 0; at + ssize_t(sizeof(inotify_event)) <= n;) {
            const auto *e = reinterpret_cast<const inotify_event *>(buffer + at);
            opened = opened || (e->mask & IN_OPEN);
            at += ssize_t(sizeof(inotify_event) + e->len);
        }
    }
    if (!opened)
        return;
    std::lock_guard<std::mutex> lock(m_engineMutex);
    const int deafMs = m_engine.faults().deafAfterOpenMs;
    if (deafMs > 0)
        m_deafUntilNs = nowNs + qint64(deafMs) * 1000000LL;
}

void PtyInstrument::readInput()
{
    char buffer[4096];
    const ssize_t n = ::read(m_masterFd, buffer, sizeof buffer);
    if (n <= 0)
        return;
    m_bytesIn += n;

    const qint64 now = monotonicNs();
    const int cps = m_cps.load();
    const qint64 byteNs = cps > 0 ? 1000000000LL / cps : 0;
    // The command's characters cross the line at the same rate as the replies:
    // the instrument hears a command only once its CR would have arrived.
    QList<qint64> crArrivals;
    for (ssize_t i = 0; i < n; ++i) {
        m_inFreeNs = qMax(now, m_inFreeNs) + byteNs;
        if (buffer[i] == '\r')
            crArrivals.append(m_inFreeNs);
    }
    QStringList commands;
    bool hangUp = false;
    {
        std::lock_guard<std::mutex> lock(m_engineMutex);
        const QStringList lines = m_engine.takeCommands(QByteArray(buffer, qsizetype(n)));
        for (qsizetype i = 0; i < lines.size(); ++i) {
            const QString &line = lines.at(i);
            const qint64 heardNs = crArrivals.value(i, now);
            if (line.isEmpty())
                continue;
            commands.append(line);
            const SimFaults f = m_engine.faults();
            if (heardNs < m_deafUntilNs) {
                m_engine.noteCommand(line); // heard, but not yet listening
                continue;
            }
            if (f.hangUpAfterCommands >= 0 && m_answered >= f.hangUpAfterCommands) {
                m_engine.noteCommand(line);
                hangUp = true;
                break;
            }
            ++m_answered;
            const QByteArray reply = m_engine.reply(line);
            if (reply.isEmpty())
                continue;
            // A late acknowledgement splits the reply after its echo line, a
            // pause before the answer line after its acknowledgement.
            const qsizetype firstCr = reply.indexOf('\r');
            const qsizetype secondCr = firstCr < 0 ? -1 : reply.indexOf('\r', firstCr + 1);
            QList<std::pair<qsizetype, int>> pauses; // (where, milliseconds)
            if (f.lateAckFor(line) && firstCr >= 0 && firstCr + 1 < reply.size())
                pauses.append({firstCr + 1, f.lateAckMs});
            if (f.answerPauseMs > 0 && secondCr >= 0 && secondCr + 1 < reply.size())
                pauses.append({secondCr + 1, f.answerPauseMs});
            qsizetype from = 0;
            qint64 startNs = heardNs + qint64(f.lateFirstCharMs) * 1000000LL;
            for (qsizetype i = 0; i <= pauses.size(); ++i) {
                const qsizetype to = i < pauses.size() ? pauses.at(i).first : reply.size();
                Chunk chunk;
                chunk.data = reply.mid(from, to - from);
                chunk.startNs = qMax(startNs, m_lineFreeNs);
                m_lineFreeNs = chunk.startNs + byteNs * chunk.data.size();
                m_out.push_back(chunk);
                if (i < pauses.size())
                    startNs = m_lineFreeNs + qint64(pauses.at(i).second) * 1000000LL;
                from = to;
            }
        }
    }
    {
        std::lock_guard<std::mutex> lock(m_stateMutex);
        m_commandCount += int(commands.size());
        if (!m_out.empty())
            m_lineIdle = false;
    }
    m_stateChanged.notify_all();
    // Signals are emitted on the thread this object lives on, so that direct
    // connections (a QSignalSpy, for one) never run on the worker thread.
    for (const QString &c : std::as_const(commands))
        QMetaObject::invokeMethod(
            this, [this, c] { Q_EMIT commandReceived(c); }, Qt::QueuedConnection);
    if (hangUp)
        hangUpLine();
}

qint64 PtyInstrument::nextDueNs() const
{
    const Chunk &c = m_out.front();
    const int cps = m_cps.load();
    if (cps <= 0)
        return c.startNs;
    const qint64 byteNs = 1000000000LL / cps;
    const qint64 next = c.startNs + byteNs * (c.written + 1);
    const qint64 last = c.startNs + byteNs * c.data.size();
    if (c.written == 0)
        return next;
    return qMin(last, qMax(next, monotonicNs() + BatchNs));
}

void PtyInstrument::writeDue(qint64 nowNs)
{
    const int cps = m_cps.load();
    const qint64 byteNs = cps > 0 ? 1000000000LL / cps : 0;
    bool finished = false;
    while (!m_out.empty() && m_masterFd >= 0) {
        Chunk &c = m_out.front();
        if (nowNs < c.startNs + byteNs)
            break;
        // A character is due once its ten bit times have passed.
        qsizetype due = byteNs > 0 ? qsizetype((nowNs - c.startNs) / byteNs) : c.data.size();
        due = qMin(due, c.data.size());
        if (due > c.written) {
            const ssize_t w =
                ::write(m_masterFd, c.data.constData() + c.written, size_t(due - c.written));
            if (w > 0)
                m_bytesOut += w;
            // Characters the pty cannot take (nobody reading, buffer full) are
            // lost, as on a serial line that nobody listens to.
            c.written = due;
        }
        if (c.written < c.data.size())
            break;
        m_out.pop_front();
        finished = m_out.empty();
    }
    if (finished) {
        {
            std::lock_guard<std::mutex> lock(m_stateMutex);
            m_lineIdle = true;
        }
        m_stateChanged.notify_all();
    }
}

void PtyInstrument::hangUpLine()
{
    qCInfo(lcSimPty) << "hanging up" << m_devicePath;
    m_out.clear();
    // Flag first: the client sees the hang-up as soon as the master closes.
    m_hungUp = true;
    for (int *fd : {&m_slaveFd, &m_masterFd}) {
        if (*fd >= 0)
            ::close(*fd);
        *fd = -1;
    }
    {
        std::lock_guard<std::mutex> lock(m_stateMutex);
        m_lineIdle = true;
    }
    m_stateChanged.notify_all();
    QMetaObject::invokeMethod(
        this, [this] { Q_EMIT hungUp(); }, Qt::QueuedConnection);
}
