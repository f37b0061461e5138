#pragma once

#include <QString>
#include <QStringList>

#include <array>

struct Parameter;

// The ready-made texts the memo inserts, describing parts of the parameter
// set, and the append of a registered memo to a finished text log. Every
// block line ends with CR LF.
namespace MemoBlocks {

// Entries of the three lists: "PT100A" … "SENSOR2", "STEP0～9" … "STEP90～99",
// "PATTERN0" … "PATTERN9".
QStringList sensorChoices();
QStringList stepChoices();
QStringList patternChoices();

// Sensor n (0-3) from its record; `name` is the list text.
QString sensor(int n, const QString &name, const QString &record);
// Pattern from its record; `name` is the list text.
QString pattern(const QString &name, const QString &record);
// Steps 10k to 10k+9 with a header line.
QString steps(int k, const std::array<QString, 101> &records);
// Thermal unit ("resistance current"); empty unless the record has 2 fields.
QString unit(const QString &record);
// Arguments of the last fixed-value run ("sensor heater fan temp reach");
// empty unless they are 5 fields. Before any run (`ran` false) the arguments
// describe nothing that happened: the block says so instead.
QString fixedRun(const QString &fixpara, bool ran = true);

// The three records a registered memo adds to its log: one holding CR LF,
// "-MEMO-", and the memo; each in double quotes and ended by CR LF.
QByteArray logRecords(const QString &memoText);
// Appends them to the text log at `path`, whole and flushed: a failed write
// leaves the log as it was. False, with `error` set, on any failure.
bool appendToLog(const QString &path, const QString &memoText, QString *error = nullptr);

} // namespace MemoBlocks
