#pragma once

// A link to the in-process simulated instrument over a real pseudo-terminal,
// with a fresh program folder and a fresh shared state for every test.

#include "PtyInstrument.h"
#include "core/config/Ini_Operation.h"
#include "core/config/Parameter.h"
#include "core/link/Reception_Show.h"
#include "core/link/SerialLink.h"

#include <QDir>
#include <QTemporaryDir>

#include <memory>

struct LinkFixture {
    QTemporaryDir home;
    PtyInstrument sim;
    std::unique_ptr<Reception_Show> parsers;
    std::unique_ptr<SerialLink> link;

    bool start(const SimFaults &faults = {})
    {
        if (!home.isValid())
            return false;
        QDir(home.path()).mkpath(QStringLiteral("sys"));
        param().reset();
        param().CommOk = true;
        ini().setWorkingFile(iniPath());
        sim.setStatePath(home.filePath(QStringLiteral("sim-state.ini")));
        if (!sim.start())
            return false;
        sim.setFaults(faults);
        parsers = std::make_unique<Reception_Show>(param());
        link = std::make_unique<SerialLink>(param(), *parsers, ini());
        link->setForcedDevice(sim.devicePath());
        return link->OpenPort(QStringLiteral("1"));
    }

    QString iniPath() const { return home.filePath(QStringLiteral("sys/KRM.ini")); }

    void setFaults(const SimFaults &faults) { sim.setFaults(faults); }
};
