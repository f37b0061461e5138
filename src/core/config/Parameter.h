#pragma once

#include "core/config/SampleStore.h"

#include <QString>
#include <QStringList>

#include <array>

// The program's one shared store of configuration and run-time data. It lives
// as long as the program; every window and module reads and writes it directly.
// Records are plain text, fields separated by single spaces.
struct Parameter {
    // Record arrays: one slot more than used; the top slot is never written.
    std::array<QString, 5> SenPara;
    std::array<QString, 11> PatternPara;
    std::array<QString, 101> StepPara;
    QString UniPara;

    // Reply buffers filled by the reply parsers, emptied by whoever reads them.
    QString SenReply;
    QString BeepReply;
    QString LitReply;
    QString LogReply;
    QString FanReply;
    QString LpReply;
    QString LsReply;
    QString UniReply;

    QString FixTemp;

    // Sampling and graph state.
    int LogInterval = 0;
    // The interval the log in SenValues was started with (a log keeps it to
    // its end); 0 before the first log.
    int LogRunInterval = 0;
    qint32 LogCount = 0;
    QStringList LogTimeText;
    SampleStore SenValues; // the four readings of every sample of the log
    int GraphPagePoints = 0;
    int GraphXScale = 0;
    qint32 GraphPage = 0;
    qint32 GraphPageStart = 0;
    double GraphDegPerDiv = 0.0;
    double GraphDivCount = 0.0;
    double GraphZeroDiv = 0.0;
    bool LogStopFlag = false;
    double GraphYScale = 0.0;
    double GraphZeroY = 0.0;
    QString TargetLineText;

    // Shared flags kept beside the parameter set.
    bool CommOk = false;    // link healthy
    bool UiEnabled = false; // menus and toolbar unlocked

    // Seconds between the samples in SenValues: their log's interval, or the
    // setting before any log.
    int sampleInterval() const { return LogRunInterval > 0 ? LogRunInterval : LogInterval; }

    // Empties the eight reply buffers.
    void ResetReplyBuffers();
    // Back to the program-start state: every text empty, numbers 0, flags false.
    void reset();
};

// The instance shared by the whole program.
Parameter &param();

// Sensor names by slot number 0-3.
QString sensorName(int n);
