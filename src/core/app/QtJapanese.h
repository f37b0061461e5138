#pragma once

#include <QString>

class QCoreApplication;

// Qt's own texts (message-box buttons, the file dialogs, the context menus of
// edit boxes) in Japanese, whatever the user's locale: the whole interface is
// Japanese, and an English "Yes" under a Japanese question reads as a fault.
namespace QtJapanese {

// The folder Qt's catalogues are looked for in (the distribution's Qt
// translations package puts them there).
QString catalogueFolder();

// Installs Qt's Japanese catalogue on `app`. Returns false, and Qt's texts
// stay English, when the catalogue is missing.
bool install(QCoreApplication &app);

} // namespace QtJapanese
