#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <utility>

class Ini_Operation;

// The check after a whole-set write: the set is read back from the instrument
// and compared with what was written, key by key. The instrument keeps
// numbers in its own format ("+40" comes back "+040.00") and answers a free
// slot with "*", so values are compared for what the instrument takes from
// them, not as texts.
namespace SetVerify {

// One value per key the write sends, in the order of the parameter set:
// (name, value), the name as the user knows the key: "SEN0", "UNI", "BEEP",
// "LIT", "FAN", "PATTERN0", "STEP0" ...
using Values = QList<std::pair<QString, QString>>;

// The values of the file that `ini` reads from.
Values snapshot(const Ini_Operation &ini);

// Whether the instrument holds the same setting for `name` after being sent
// `written` as it reports when read (`readBack`).
bool sameSetting(const QString &name, const QString &written, const QString &readBack);

// Names of the keys whose read-back value differs, in order. A key missing
// from `readBack` differs.
QStringList differingKeys(const Values &written, const Values &readBack);

// The message naming them, after the first sentence.
QString differsText(const QStringList &keys);

} // namespace SetVerify
