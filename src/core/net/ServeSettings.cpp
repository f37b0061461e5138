#include "core/net/ServeSettings.h"

#include "core/config/Ini_Operation.h"

ServeSettings ServeSettings::parse(const QString &para)
{
    ServeSettings s;
    const QStringList f = para.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (f.size() == 3) {
        s.on = f.at(0) == QLatin1String("1");
        if (const int port = portFrom(f.at(1)))
            s.port = port;
        s.remote = f.at(2) == QLatin1String("1");
    }
    return s;
}

ServeSettings ServeSettings::load(const Ini_Operation &ini)
{
    const QString section = QLatin1String(Section);
    ServeSettings s = parse(ini.IniRead(section, QStringLiteral("para")));
    const QString bench = ini.IniRead(section, QStringLiteral("bench"));
    // An absent key reads as the configuration's error text.
    if (bench != QLatin1String("ERR"))
        s.bench = bench.trimmed();
    return s;
}

bool ServeSettings::save(Ini_Operation &ini) const
{
    return ini.IniWrite(QLatin1String(Section), QStringLiteral("para"),
                        QStringLiteral("%1 %2 %3").arg(int(on)).arg(port).arg(int(remote)));
}

int ServeSettings::portFrom(const QString &text)
{
    const QString t = text.trimmed();
    if (t.isEmpty() || t.size() > 5)
        return 0;
    for (QChar c : t)
        if (c < u'0' || c > u'9')
            return 0;
    const int port = t.toInt();
    return port >= 1 && port <= 65535 ? port : 0;
}

QString ServeSettings::portMessage()
{
    return QStringLiteral("公開するポートには1～65535の数値を入力してください。");
}

QString ServeSettings::listenFailedText(int port, bool inUse, const QString &reason)
{
    if (inUse)
        return QStringLiteral("状態をネットワークに公開できません。\n"
                              "ポート%1は他のプログラムが使用しています。"
                              "別のポートを指定してください。")
            .arg(port);
    return QStringLiteral(
               "状態をネットワークに公開できません。\nポート%1で待ち受けできません。（%2）")
        .arg(port)
        .arg(reason);
}
