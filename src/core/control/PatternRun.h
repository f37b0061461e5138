#pragma once

#include <QString>
#include <QStringList>

class Ini_Operation;

// Which stored patterns can be started, and the line that starts one.

// Whether a value of key PATTERNn (section PATTERN) names a registered
// pattern. An empty value is a free pattern; so is "ERR", what a missing key
// reads as (a configuration without the key has nothing to run), and a
// record with "*" in its second field, which the settings write sends to the
// instrument as a removal.
bool isRegisteredPattern(const QString &value);

// The numbers "0" to "9" of the registered patterns of the file that reads
// come from, in order.
QStringList registeredPatternList(const Ini_Operation &ini);

// "GO " followed by the chosen pattern number; empty when nothing is chosen.
QString goLine(const QString &choice);

// Settle delay after "GO " from the pattern-run window.
inline constexpr double GoSettleSeconds = 0.3;
