#include "core/settings/StatusLabels.h"

#include "core/link/Reception_Show.h"

namespace StatusLabels {

QString name(int i)
{
    static const char *const names[Count] = {"nj_l",  "no_l",   "sd_l", "sa_l", "js_l",
                                             "pta_l", "ptb1_l", "s1_l", "s2_l"};
    return i >= 0 && i < Count ? QString::fromLatin1(names[i]) : QString();
}

QString caption(int i)
{
    static const QString captions[Count] = {
        QStringLiteral("内部状態　："),         QStringLiteral("内部温度[℃]　："),
        QStringLiteral("最大電流[A]　："),      QStringLiteral("最終アラーム　："),
        QStringLiteral("実行ステップ番号　："), QStringLiteral("PT100A温度　："),
        QStringLiteral("PT100B温度　："),       QStringLiteral("SENSOR1温度　："),
        QStringLiteral("SENSOR2温度　：")};
    return i >= 0 && i < Count ? captions[i] : QString();
}

QString windowTitle()
{
    return QStringLiteral("ステータス");
}

QString logWindowTitle()
{
    return QStringLiteral("ステータスログ");
}

Values fromReply(const Status2Report &reply)
{
    Values v;
    v[0] = reply.text;
    for (int i = 1; i < 5; ++i)
        v[size_t(i)] = reply.status.value(i);
    for (int k = 0; k < 4; ++k)
        v[size_t(k) + 5] = reply.temps.value(k);
    return v;
}

} // namespace StatusLabels
