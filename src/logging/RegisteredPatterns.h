#pragma once

#include <QList>

class Ini_Operation;

// Pattern numbers 0-9 that are registered in the configuration file: the key
// "PATTERN<n>" of section "PATTERN" holds a value. A missing key ("ERR") or an
// empty value means the pattern is not registered.
QList<int> registeredPatterns(const Ini_Operation &cfg);
