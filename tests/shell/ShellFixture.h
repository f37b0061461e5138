#pragma once

// A main window on a fresh program folder, the simulated instrument on its own
// pseudo-terminal, and every dialog answered by script.

#include "PtyInstrument.h"
#include "core/config/Ini_Operation.h"
#include "core/config/Parameter.h"
#include "core/link/SerialLink.h"
#include "ui/shell/KRM2200.h"
#include "ui/shell/ScriptedDialogs.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <memory>

struct ShellFixture {
    QTemporaryDir home;
    std::unique_ptr<PtyInstrument> sim;
    std::unique_ptr<ScriptedDialogs> dialogs;
    std::unique_ptr<KRM2200> window;

    ShellFixture()
    {
        param().reset();
        dialogs = std::make_unique<ScriptedDialogs>();
    }

    ~ShellFixture()
    {
        window.reset();
        sim.reset();
        dialogs.reset();
    }

    QString appDir() const { return QDir::fromNativeSeparators(home.path()); }
    QString iniPath() const { return appDir() + QStringLiteral("/sys/KRM.ini"); }

    bool startSim(const SimFaults &faults = {})
    {
        sim = std::make_unique<PtyInstrument>();
        sim->setStatePath(home.filePath(QStringLiteral("sim-state.ini")));
        if (!sim->start())
            return false;
        sim->setFaults(faults);
        return true;
    }

    // The window, with the spreadsheet look-up answering `spreadsheet`.
    KRM2200 *makeWindow(const QString &spreadsheet = QString())
    {
        window = std::make_unique<KRM2200>(appDir());
        window->setSpreadsheetLookup([spreadsheet] { return spreadsheet; });
        if (sim)
            window->session().link().setForcedDevice(sim->devicePath());
        window->show();
        return window.get();
    }

    // The state a successful start-up leaves, without the whole-set read:
    // working file, open port, unlocked controls.
    KRM2200 *readyWindow()
    {
        writeCompleteConfig(iniPath());
        KRM2200 *w = makeWindow();
        ini().setWorkingFile(iniPath());
        param().CommOk = true;
        w->session().link().OpenPort(QStringLiteral("1"));
        w->UnlockControls();
        return w;
    }

    // A log every second into this program folder, drawn on the first
    // graph scale (600 points a page, 150 ... -50 degrees).
    void presetLiveLog(KRM2200 *w) const
    {
        Parameter &p = param();
        p.LogInterval = 1;
        p.GraphPagePoints = 600;
        p.GraphXScale = 50;
        p.GraphDegPerDiv = 50.0;
        p.GraphDivCount = 4.0;
        p.GraphZeroDiv = 3.0;
        w->SetLogdirname(appDir());
    }

    // A ready window, sized for the graph, logging every second into this
    // program folder, on a simulator whose readings stand still: PT100A 25.00,
    // PT100B 24.98, SENSOR2 25, SENSOR1 unused. Nullptr when the simulator
    // does not start.
    KRM2200 *steadyLogWindow()
    {
        if (!startSim())
            return nullptr;
        sim->withEngine([](SimEngine &e) {
            e.setClock([] { return qint64(0); });
            e.setSensorRecord(0, QStringLiteral("1 +150.00 -050.00 +000.00 100.00"));
            e.setSensorRecord(1, QStringLiteral("1 +150.00 -050.00 +000.00 100.00"));
            e.setSensorRecord(2, QStringLiteral("0 +150.00 -050.00 +000.00"));
            e.setSensorRecord(3, QStringLiteral("1 +150.00 -050.00 +000.00"));
            e.setTemperature(0, 25.0);
            e.setTemperature(1, 24.98);
            e.setTemperature(3, 25.0);
        });
        KRM2200 *w = readyWindow();
        w->resize(1100, 860);
        presetLiveLog(w);
        return w;
    }

    QStringList commands() const { return sim ? sim->receivedCommands() : QStringList(); }

    static QString text(const QString &path)
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
    }

    static bool writeText(const QString &path, const QString &content)
    {
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return false;
        return f.write(content.toUtf8()) == content.toUtf8().size();
    }

    // A file of `size` bytes that is not text: binary bytes (NUL among them)
    // up front, the rest a hole, so it takes no room on the disk.
    static bool writeLargeNonText(const QString &path, qint64 size)
    {
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return false;
        QByteArray head(64 * 1024, '\0');
        for (qsizetype i = 0; i < head.size(); ++i)
            head[i] = char((i * 7919) % 251);
        return f.write(head) == head.size() && f.resize(size);
    }

    // A configuration holding every key of a full parameter set. `mark` goes
    // into the BEEP value so that copies can be told apart; `logValue` is the
    // LOG value; `skipKey` leaves one key out; `empty` leaves every value empty.
    static QString completeConfig(const QString &mark = QStringLiteral("1"),
                                  const QString &logValue = QStringLiteral("1 1"),
                                  const QString &skipKey = QString(), bool empty = false)
    {
        QString s;
        auto line = [&](const QString &key, const QString &value) {
            if (key != skipKey)
                s += key + QLatin1Char('=') + (empty ? QString() : value) + QLatin1Char('\n');
        };
        s += QStringLiteral("[SEN]\n");
        line(QStringLiteral("SEN0"), QStringLiteral("1 +150.00 -050.00 +000.00 100.00"));
        line(QStringLiteral("SEN1"), QStringLiteral("0 +150.00 -050.00 +000.00 100.00"));
        line(QStringLiteral("SEN2"), QStringLiteral("1 +100.00 +000.00 +000.00"));
        line(QStringLiteral("SEN3"), QStringLiteral("1 +090 +010 *"));
        s += QStringLiteral("[UNI]\n");
        line(QStringLiteral("para"), QStringLiteral("3.0 8"));
        s += QStringLiteral("[BEEP]\n");
        line(QStringLiteral("para"), mark);
        s += QStringLiteral("[LIT]\n");
        line(QStringLiteral("para"), QStringLiteral("1"));
        s += QStringLiteral("[LOG]\n");
        line(QStringLiteral("para"), logValue);
        s += QStringLiteral("[FAN]\n");
        line(QStringLiteral("para"), QStringLiteral("1"));
        s += QStringLiteral("[PATTERN]\n");
        for (int n = 0; n < 10; ++n)
            line(QStringLiteral("PATTERN%1").arg(n),
                 n == 0 ? QStringLiteral("1 0 0 1") : QString());
        s += QStringLiteral("[STEP]\n");
        for (int n = 0; n < 100; ++n)
            line(QStringLiteral("STEP%1").arg(n),
                 n < 2 ? QStringLiteral("0 0 0 +040.00 00:00:30") : QStringLiteral("* * * * *"));
        s += QStringLiteral("[COM]\npara=1\n");
        return s;
    }

    static bool writeCompleteConfig(const QString &path, const QString &mark = QStringLiteral("1"))
    {
        return writeText(path, completeConfig(mark));
    }
};
