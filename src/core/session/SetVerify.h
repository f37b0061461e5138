#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <utility>

class Ini_Operation;
class Reception_Show;
class SerialLink;

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

// Whether the settings ask for the check after every "本体書込"
// ("書込み後に照合する").
bool enabled(const Ini_Operation &ini);

struct ReadBack {
    bool read = false;     // the whole set came back
    QStringList differing; // keys whose value differs
    bool same() const { return read && differing.isEmpty(); }
};
// After a whole-set write of the working file: the set read back (the fast
// read, which falls back to the normal one) into a scratch copy of the
// working file, so that the working file keeps what the user wrote, and
// compared key by key with it.
ReadBack checkWritten(SerialLink &link, Reception_Show &parsers, Ini_Operation &ini);

// "書き込んだ値と本体の値が異なります：" and the keys.
QString differsText(const QStringList &keys);
// What the check found, as the sentence after "書き込み完了しました。".
QString checkText(const ReadBack &check);

} // namespace SetVerify
