#pragma once

#include "core/link/SerialLink.h"

#include <QList>
#include <QString>

// A serial device the port window offers besides COM1-COM6.
struct PortChoice {
    QString path;        // what is listed and opened
    QString description; // the adapter's own description; may be empty
};

// The serial devices present, by the names that stay when an adapter moves
// to another socket, and the words for a port that cannot be opened.
class PortChoices {
public:
    // Folder of the system's stable device names ("/dev/serial/by-id").
    static QString byIdFolder();
    // Another folder (tests); an empty text restores the system's.
    static void setByIdFolder(const QString &folder);

    // Every present serial device (the system's list of serial ports) by its
    // stable name when it has one, see stableNames.
    static QList<PortChoice> present();
    // `ports` (device paths with descriptions), each listed once, sorted: by
    // the name of a link in `byIdFolder` that leads to it, else by its path.
    // A link whose device is not among `ports` is a serial device the system
    // named but did not list (a virtual one): listed, without a description.
    // The devices with a stable name come first: they are the USB adapters an
    // instrument is plugged in by, while a numbered port such as /dev/ttyS0
    // exists on most machines whether anything is attached or not.
    static QList<PortChoice> stableNames(const QList<PortChoice> &ports, const QString &byIdFolder);
    // The first of `choices` with a stable name in `byIdFolder`; empty when
    // none has one.
    static QString suggestion(const QList<PortChoice> &choices, const QString &byIdFolder);

    // `first`, then a line with the device and the system's reason, and for a
    // user without the rights on the device, how to get them; for a device
    // another program holds, that instead of the reason.
    static QString openFailText(const QString &first, const SerialLink::OpenFailure &failure);
    // "ポートは他のプログラムが使用中です：" and the device.
    static QString inUseText(const QString &device);
    static QString dialoutHint();
};
