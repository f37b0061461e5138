#pragma once

#include "SimEngine.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

// The simulated instrument on a pseudo-terminal: a client opens devicePath()
// like any serial port (QSerialPort included) and talks to a SimEngine that
// runs on this object's own thread. Replies leave at the line rate, one
// character per slot of a monotonic schedule, and a command counts as heard
// only once its characters would have crossed the line, so that timing on the
// device resembles a real 57600 baud line in both directions.
//
// In a test:
//     PtyInstrument sim;
//     QVERIFY(sim.start());
//     port.setPortName(sim.devicePath());
//     ...
//     sim.withEngine([](SimEngine &e) { e.raiseAlarm(QStringLiteral("001")); });
//     QTRY_VERIFY(sim.receivedCommands().contains(QStringLiteral("ACLR")));
class PtyInstrument : public QObject {
    Q_OBJECT
public:
    // 57600 baud, ten bits a character.
    static constexpr int LineCharsPerSecond = 5760;

    explicit PtyInstrument(QObject *parent = nullptr);
    ~PtyInstrument() override;

    // Before start(): the state file, read at start when it exists and written
    // by "SAVE".
    void setStatePath(const QString &path);
    // Characters per second on the line; 0 sends without pacing.
    void setCharsPerSecond(int cps);

    // Opens the pseudo-terminal and starts the worker thread.
    bool start(QString *error = nullptr);
    // Stops the thread and closes the pseudo-terminal; also done on destruction.
    void stop();
    bool isRunning() const { return m_running.load(); }
    // "/dev/pts/N", valid after start().
    QString devicePath() const { return m_devicePath; }

    SimFaults faults() const;
    void setFaults(const SimFaults &faults);

    // Every command line received so far (without its CR), in order.
    QStringList receivedCommands() const;
    void clearReceivedCommands();
    // Blocks until `count` lines in total have been received (or a line equal
    // to `command` when given); false on timeout.
    bool waitForCommands(int count, int timeoutMs) const;
    bool waitForCommand(const QString &command, int timeoutMs) const;
    // Blocks until every queued reply character has been written.
    bool waitForIdleLine(int timeoutMs) const;

    // Runs f on the engine under the engine's lock, e.g. to read or preset
    // settings, patterns, steps, temperatures or alarms.
    template <typename F> auto withEngine(F &&f)
    {
        std::lock_guard<std::mutex> lock(m_engineMutex);
        return f(m_engine);
    }

    qint64 bytesReceived() const { return m_bytesIn.load(); }
    qint64 bytesSent() const { return m_bytesOut.load(); }
    bool isHungUp() const { return m_hungUp.load(); }

Q_SIGNALS:
    // Emitted on the thread this object lives on (its event loop must run).
    void commandReceived(const QString &command);
    void hungUp();

private:
    struct Chunk {
        QByteArray data;
        qint64 startNs = 0; // the line time the first character starts on
        qsizetype written = 0;
    };

    void run();
    void readInput();
    void writeDue(qint64 nowNs);
    qint64 nextDueNs() const;
    void hangUpLine();
    void takeOpenEvents(qint64 nowNs);
    void wake();
    void closeAll();

    mutable std::mutex m_engineMutex;
    SimEngine m_engine;

    // Guards m_commandCount, m_lineIdle and the output queue state seen by waits.
    mutable std::mutex m_stateMutex;
    mutable std::condition_variable m_stateChanged;
    int m_commandCount = 0;
    bool m_lineIdle = true;

    std::deque<Chunk> m_out;  // worker thread only
    qint64 m_lineFreeNs = 0;  // worker thread only: when the send line is free
    qint64 m_inFreeNs = 0;    // worker thread only: when the receive line is free
    int m_answered = 0;       // worker thread only
    qint64 m_deafUntilNs = 0; // worker thread only: commands heard before are ignored

    QString m_statePath;
    QString m_devicePath;
    std::atomic<int> m_cps{LineCharsPerSecond};
    int m_masterFd = -1;
    int m_slaveFd = -1;
    int m_wakeFd = -1;
    int m_openWatchFd = -1; // inotify: a client opening the device
    std::thread m_thread;
    std::atomic<bool> m_running{false};
    std::atomic<bool> m_quit{false};
    std::atomic<bool> m_hungUp{false};
    std::atomic<qint64> m_bytesIn{0};
    std::atomic<qint64> m_bytesOut{0};
};
