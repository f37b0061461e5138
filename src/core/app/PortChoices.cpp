#include "core/app/PortChoices.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QSerialPortInfo>

#include <algorithm>

namespace {

QString g_byIdFolder;

} // namespace

QString PortChoices::byIdFolder()
{
    return g_byIdFolder.isEmpty() ? QStringLiteral("/dev/serial/by-id") : g_byIdFolder;
}

void PortChoices::setByIdFolder(const QString &folder)
{
    g_byIdFolder = folder;
}

QList<PortChoice> PortChoices::present()
{
    QList<PortChoice> ports;
#ifndef Q_OS_WIN
    const auto infos = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo &info : infos)
        ports.append({info.systemLocation(),
                      info.description().isEmpty() ? info.manufacturer() : info.description()});
#endif
    return stableNames(ports, byIdFolder());
}

QList<PortChoice> PortChoices::stableNames(const QList<PortChoice> &ports,
                                           const QString &byIdFolder)
{
    // Device path, links resolved -> its entry in `ports`.
    QHash<QString, qsizetype> byPath;
    for (qsizetype i = 0; i < ports.size(); ++i) {
        const QString real = QFileInfo(ports.at(i).path).canonicalFilePath();
        byPath.insert(real.isEmpty() ? ports.at(i).path : real, i);
    }
    QList<PortChoice> out;
    QList<bool> named(ports.size(), false);
    // A link whose device is gone (canonical path empty) is left out.
    const QFileInfoList links =
        QDir(byIdFolder).entryInfoList(QDir::Files | QDir::System, QDir::Name);
    for (const QFileInfo &link : links) {
        const QString target = link.canonicalFilePath();
        if (!link.isSymLink() || target.isEmpty())
            continue;
        const qsizetype i = byPath.value(target, -1);
        out.append({link.absoluteFilePath(), i >= 0 ? ports.at(i).description : QString()});
        if (i >= 0)
            named[i] = true;
    }
    const qsizetype stable = out.size();
    for (qsizetype i = 0; i < ports.size(); ++i)
        if (!named.at(i))
            out.append(ports.at(i));
    const auto byPathText = [](const PortChoice &a, const PortChoice &b) {
        return a.path < b.path;
    };
    std::sort(out.begin(), out.begin() + stable, byPathText);
    std::sort(out.begin() + stable, out.end(), byPathText);
    return out;
}

QString PortChoices::suggestion(const QList<PortChoice> &choices, const QString &byIdFolder)
{
    const QString folder = QDir(byIdFolder).absolutePath() + QLatin1Char('/');
    for (const PortChoice &choice : choices)
        if (QFileInfo(choice.path).absoluteFilePath().startsWith(folder))
            return choice.path;
    return QString();
}

QString PortChoices::dialoutHint()
{
    return QStringLiteral("このポートを使う権限がありません。ユーザーを dialout "
                          "グループに加えてから、ログインし直してください。");
}

QString PortChoices::inUseText(const QString &device)
{
    return QStringLiteral("ポートは他のプログラムが使用中です：") + device;
}

QString PortChoices::openFailText(const QString &first, const SerialLink::OpenFailure &failure)
{
    if (failure.error == QSerialPort::NoError)
        return first;
    if (failure.inUse)
        return first + QLatin1Char('\n') + inUseText(failure.device);
    QString text =
        first + QLatin1Char('\n') + failure.device + QStringLiteral("：") + failure.reason;
    if (failure.accessDenied)
        text += QLatin1Char('\n') + dialoutHint();
    return text;
}
