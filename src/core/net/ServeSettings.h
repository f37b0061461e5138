#pragma once

#include <QString>

class Ini_Operation;

// Whether and where the window serves its status (the settings' "その他"
// page), stored with the program's other settings in the configuration, and
// the bench's name both front ends label their readings with.
struct ServeSettings {
    bool on = false; // 状態をネットワークに公開する
    int port = 9464; // its port
    bool remote = false; // 他のコンピュータからの接続を許可する (off: this computer only)
    QString bench; // empty: the host name

    static constexpr const char *Section = "STATUSSERVER";

    static ServeSettings load(const Ini_Operation &ini);
    // The stored "on port remote"; anything else gives the defaults.
    static ServeSettings parse(const QString &para);
    // False when the configuration could not be written.
    bool save(Ini_Operation &ini) const;

    // The port as typed, 1 ... 65535, or 0.
    static int portFrom(const QString &text);
    static QString portMessage();
    // What the user is told when the address cannot be taken; `inUse`: another
    // program holds the port.
    static QString listenFailedText(int port, bool inUse, const QString &reason);
};
