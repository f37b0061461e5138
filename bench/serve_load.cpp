// The window's status server under load and bad input while a log runs at
// its shortest interval (1 s) against the simulator:
//   1. CLIENTS clients scrape /metrics as fast as they can for SECONDS;
//   2. then bad requests: random bytes, a 1 MB header line, a request that
//      never ends, 1000 half-open connections.
// Prints the worst lateness of the status poll, the log lines expected and
// written, the scrapes served, the resident memory at the start and the end,
// and how each kind of bad request ended. Fails only when the program stopped
// serving or lost log lines.
//   bench_serve_load [SECONDS [CLIENTS]]   (default 60 s, 100 clients)

#include "PtyInstrument.h"
#include "core/config/Ini_Operation.h"
#include "core/config/Parameter.h"
#include "core/link/SerialLink.h"
#include "core/net/MetricsServer.h"
#include "core/net/ServeSettings.h"
#include "ui/logging/LoggingWindows.h"
#include "ui/shell/KRM2200.h"
#include "ui/shell/ScriptedDialogs.h"
#include "ui/shell/StatusServing.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <functional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "BenchSupport.h"

namespace {

using BenchSupport::residentKiB;
using BenchSupport::runUntil;

using Clock = std::chrono::steady_clock;

int connectTo(int port, int timeoutSeconds = 5)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0)
        return -1;
    timeval tv{timeoutSeconds, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(uint16_t(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr *>(&a), sizeof a) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

bool sendAll(int fd, const std::string &bytes)
{
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
        if (n <= 0)
            return false;
        done += size_t(n);
    }
    return true;
}

// Reads one response on a kept-alive connection: its status, or 0 when the
// connection ended first.
int readResponse(int fd, std::string &buffer)
{
    char chunk[16384];
    for (;;) {
        const size_t end = buffer.find("\r\n\r\n");
        if (end != std::string::npos) {
            size_t length = 0;
            const size_t at = buffer.find("Content-Length: ");
            if (at != std::string::npos && at < end)
                length = std::stoul(buffer.substr(at + 16));
            if (buffer.size() >= end + 4 + length) {
                const int status = std::atoi(buffer.c_str() + 9);
                buffer.erase(0, end + 4 + length);
                return status;
            }
        }
        const ssize_t n = ::recv(fd, chunk, sizeof chunk, 0);
        if (n <= 0)
            return 0;
        buffer.append(chunk, size_t(n));
    }
}

// Waits until the server closes `fd`; the seconds it took, or -1 if it did
// not within `limit` s.
double secondsToClose(int fd, double limit)
{
    const auto start = Clock::now();
    char chunk[4096];
    timeval tv{0, 200000};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    while (std::chrono::duration<double>(Clock::now() - start).count() < limit) {
        const ssize_t n = ::recv(fd, chunk, sizeof chunk, 0);
        if (n == 0 || (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK))
            return std::chrono::duration<double>(Clock::now() - start).count();
    }
    return -1;
}

const std::string kGet = "GET /metrics HTTP/1.1\r\nHost: bench\r\n\r\n";

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int seconds = argc > 1 ? std::max(5, QByteArray(argv[1]).toInt()) : 60;
    const int clients = argc > 2 ? std::max(1, QByteArray(argv[2]).toInt()) : 100;
    // 1000 half-open connections and the clients: both ends in this process.
    rlimit files{};
    getrlimit(RLIMIT_NOFILE, &files);
    files.rlim_cur = files.rlim_max;
    setrlimit(RLIMIT_NOFILE, &files);

    ScriptedDialogs dialogs;
    dialogs.onUnexpected = [](const ScriptedDialogs::Record &) {};
    QTemporaryDir home;
    QDir(home.path()).mkpath(QStringLiteral("sys"));
    param().reset();
    PtyInstrument sim;
    QString error;
    if (!sim.start(&error)) {
        std::printf("simulator: %s\n", qPrintable(error));
        return 1;
    }
    int rc = 1;
    {
        KRM2200 w(home.path());
        w.session().link().setForcedDevice(sim.devicePath());
        ini().setWorkingFile(home.filePath(QStringLiteral("sys/KRM.ini")));
        Parameter &p = param();
        p.CommOk = true;
        w.session().link().OpenPort(QStringLiteral("1"));
        w.UnlockControls();
        ServeSettings serve;
        serve.on = true;
        serve.port = 0;
        // Any free port: the setting itself takes 1 ... 65535.
        for (int port = 19464; port < 19564 && !statusServer(w)->isListening(); ++port) {
            serve.port = port;
            serve.save(ini());
            Q_EMIT w.events().statusServingChanged();
        }
        MetricsServer &server = *statusServer(w);
        const int port = server.serverPort();
        p.LogInterval = 1;
        w.SetLogdirname(home.path());
        w.startLog();
        const QString path = LoggingWindows::of(w).log().file().TxtLogPath;
        auto lines = [&path] {
            QFile f(path);
            return f.open(QIODevice::ReadOnly) ? f.readAll().count('\n') : -1;
        };
        // Lateness: each tick of the status poll against the one before.
        QElapsedTimer sinceTick;
        qint64 worstLateMs = 0;
        int ticks = 0;
        QObject::connect(&w.session().pollTimer(), &QTimer::timeout, &w, [&] {
            if (sinceTick.isValid())
                worstLateMs = std::max(worstLateMs, sinceTick.elapsed() - 1000);
            sinceTick.start();
            ++ticks;
        });
        runUntil([&] { return lines() >= 3; }, 20000);
        const long memoryStart = residentKiB();
        const int linesStart = lines();
        const int ticksStart = ticks;

        // 1. Scrapers, as fast as they go, each on its own kept-alive connection.
        std::atomic<bool> stop{false};
        std::atomic<long> served{0}, failed{0}, reconnects{0};
        std::vector<std::thread> threads;
        threads.reserve(size_t(clients));
        for (int c = 0; c < clients; ++c)
            threads.emplace_back([&] {
                std::string buffer;
                int fd = -1;
                while (!stop) {
                    if (fd < 0) {
                        fd = connectTo(port);
                        buffer.clear();
                        ++reconnects;
                        if (fd < 0) {
                            ++failed;
                            std::this_thread::sleep_for(std::chrono::milliseconds(10));
                            continue;
                        }
                    }
                    if (sendAll(fd, kGet) && readResponse(fd, buffer) == 200) {
                        ++served;
                    } else {
                        ++failed;
                        ::close(fd);
                        fd = -1;
                    }
                }
                if (fd >= 0)
                    ::close(fd);
            });
        QElapsedTimer loadTime;
        loadTime.start();
        runUntil([] { return false; }, seconds * 1000);
        stop = true;
        const double loadSeconds = double(loadTime.elapsed()) / 1000.0;
        const int ticksUnderLoad = ticks - ticksStart;
        // The last reply of the last tick in.
        runUntil([] { return false; }, 1500);
        for (std::thread &t : threads)
            t.join();
        const int linesUnderLoad = lines() - linesStart;
        const long memoryAfterLoad = residentKiB();

        std::printf("load: %d clients for %.1f s, %ld scrapes served (%.0f a second), %ld failed, "
                    "%ld connections\n",
                    clients, loadSeconds, served.load(), double(served) / loadSeconds,
                    failed.load(), reconnects.load());
        std::printf("status poll: %d ticks at 1 s (%.0f expected), worst lateness %lld ms\n",
                    ticksUnderLoad, loadSeconds, static_cast<long long>(worstLateMs));
        std::printf("log lines: %d written for %d ticks%s\n", linesUnderLoad, ticksUnderLoad,
                    linesUnderLoad >= ticksUnderLoad ? "" : " (LINES LOST)");
        std::printf("resident memory: %.1f MB at the start, %.1f MB after the load\n",
                    double(memoryStart) / 1024.0, double(memoryAfterLoad) / 1024.0);

        // 2. Bad requests, each from a thread of its own while the log goes on.
        worstLateMs = 0;
        const int ticksBeforeBad = ticks;
        const int linesBeforeBad = lines();
        std::string report;
        std::thread bad([&] {
            char line[256];
            // Random bytes.
            std::mt19937 random(38);
            int randomClosed = 0;
            const int randomCount = 200;
            for (int i = 0; i < randomCount; ++i) {
                const int fd = connectTo(port);
                if (fd < 0) {
                    ++randomClosed;
                    continue;
                }
                std::string junk(4096, '\0');
                for (char &c : junk)
                    c = char(random());
                sendAll(fd, junk);
                randomClosed += secondsToClose(fd, 15) >= 0 ? 1 : 0;
                ::close(fd);
            }
            std::snprintf(line, sizeof line, "random bytes: %d of %d connections closed\n",
                          randomClosed, randomCount);
            report += line;

            // A header line of a megabyte.
            {
                const int fd = connectTo(port);
                std::string big = "GET /metrics HTTP/1.1\r\nX-Big: " + std::string(1 << 20, 'a');
                const auto start = Clock::now();
                const bool whole = sendAll(fd, big + "\r\n\r\n");
                const double closed = secondsToClose(fd, 15);
                std::snprintf(
                    line, sizeof line, "1 MB header line: %s, connection closed after %.2f s\n",
                    whole ? "all sent" : "refused while sending",
                    closed >= 0 ? std::chrono::duration<double>(Clock::now() - start).count()
                                : -1.0);
                report += line;
                ::close(fd);
            }

            // A request that never ends: a header byte every 100 ms.
            {
                const int fd = connectTo(port);
                const auto start = Clock::now();
                bool open = true;
                while (open && std::chrono::duration<double>(Clock::now() - start).count() < 30) {
                    open = sendAll(fd, "a");
                    std::this_thread::sleep_for(std::chrono::milliseconds(100));
                    char c = 0;
                    if (open && ::recv(fd, &c, 1, MSG_DONTWAIT) == 0)
                        open = false;
                }
                std::snprintf(line, sizeof line, "endless request: %s after %.1f s\n",
                              open ? "STILL OPEN" : "closed",
                              std::chrono::duration<double>(Clock::now() - start).count());
                report += line;
                ::close(fd);
            }

            // Half-open connections: connected, nothing sent.
            {
                std::vector<int> fds;
                fds.reserve(1000);
                for (int i = 0; i < 1000; ++i)
                    if (const int fd = connectTo(port); fd >= 0)
                        fds.push_back(fd);
                std::this_thread::sleep_for(std::chrono::milliseconds(500));
                int closedAtOnce = 0;
                for (int fd : fds) {
                    char c = 0;
                    if (::recv(fd, &c, 1, MSG_DONTWAIT) == 0)
                        ++closedAtOnce;
                }
                // A scraper meanwhile, and after the deadline has passed.
                const int during = connectTo(port);
                std::string buffer;
                const int statusDuring =
                    during >= 0 && sendAll(during, kGet) ? readResponse(during, buffer) : 0;
                const auto start = Clock::now();
                int closedLater = 0;
                std::this_thread::sleep_for(std::chrono::seconds(11));
                for (int fd : fds) {
                    closedLater += secondsToClose(fd, 0.01) >= 0 ? 1 : 0;
                    ::close(fd);
                }
                if (during >= 0)
                    ::close(during);
                const int after = connectTo(port);
                buffer.clear();
                const int statusAfter =
                    after >= 0 && sendAll(after, kGet) ? readResponse(after, buffer) : 0;
                if (after >= 0)
                    ::close(after);
                std::snprintf(
                    line, sizeof line,
                    "1000 half-open: %zu connected, %d closed at once (room made for newer ones), "
                    "%d closed by the deadline within %.0f s; a scrape meanwhile: %d, "
                    "after: %d\n",
                    fds.size(), closedAtOnce, closedLater - closedAtOnce,
                    std::chrono::duration<double>(Clock::now() - start).count(), statusDuring,
                    statusAfter);
                report += line;
                rc = statusAfter == 200 ? 0 : 1;
            }
        });
        std::atomic<bool> badDone{false};
        std::thread waiter([&] {
            bad.join();
            badDone = true;
        });
        runUntil([&] { return badDone.load(); }, 10 * 60 * 1000);
        waiter.join();
        runUntil([] { return false; }, 1500);
        const int ticksBad = ticks - ticksBeforeBad;
        const int linesBad = lines() - linesBeforeBad;
        std::printf("%s", report.c_str());
        std::printf(
            "during the bad requests: %d ticks, %d log lines, worst lateness %lld ms; "
            "server refused %lld connections, closed %lld (limits and room for newer ones)\n",
            ticksBad, linesBad, static_cast<long long>(worstLateMs),
            static_cast<long long>(server.refused()), static_cast<long long>(server.cutOff()));
        std::printf("resident memory at the end: %.1f MB\n", double(residentKiB()) / 1024.0);
        if (linesUnderLoad < ticksUnderLoad || linesBad < ticksBad)
            rc = 1;
        w.session().pollTimer().stop();
        dialogs.answerQuestion(false);
        w.stopLog();
    }
    return rc;
}
