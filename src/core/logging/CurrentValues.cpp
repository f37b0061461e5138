#include "core/logging/CurrentValues.h"

#include "core/app/WindowState.h"
#include "core/config/Parameter.h"
#include "core/logging/LogFile.h"

#include <algorithm>

namespace {

QString orDash(const QString &text)
{
    return text.isEmpty() ? QStringLiteral("-") : text;
}

// The caption of a stale time, with the date when it is not today's.
QString since(const QString &what, const QDateTime &when, const QDateTime &now)
{
    if (!when.isValid() || when.date() == now.date())
        return what;
    return what + QStringLiteral("（") + when.toString(QStringLiteral("yyyy/MM/dd")) +
           QStringLiteral("）");
}

QString timeOf(const QDateTime &when)
{
    return when.isValid() ? when.toString(QStringLiteral("HH:mm:ss")) : QString();
}

} // namespace

qint64 CurrentValues::newestSample(const Parameter &p)
{
    // A tick counts its sample before the reply is in: look back from there.
    const SampleStore &sen = p.SenValues;
    for (qint64 i = std::min<qint64>(p.LogCount, sen.size() - 1); i >= 0; --i) {
        for (int k = 0; k < 4; ++k) {
            if (!sen.text(k, i).isEmpty())
                return i;
        }
    }
    return -1;
}

bool CurrentValues::sensorUnusable(const Parameter &p, int k)
{
    // As the status bar's "…使用不可" reads it: a use flag that is a number
    // equal to zero.
    bool ok = false;
    const double use = p.SenPara.at(size_t(k)).section(QLatin1Char(' '), 0, 0).toDouble(&ok);
    return ok && use == 0.0;
}

CurrentValues CurrentValues::from(const Parameter &p, const StatuslogState &status,
                                  const QString &linkText, const Feed &feed)
{
    CurrentValues v;
    const qint64 n = newestSample(p);
    for (int k = 0; k < 4; ++k) {
        // The instrument may still send a number for an input that is off.
        if (sensorUnusable(p, k))
            v.temps[size_t(k)] = unusableText();
        else
            v.temps[size_t(k)] =
                n >= 0 ? orDash(p.SenValues.text(k, n).trimmed()) : QStringLiteral("-");
    }
    v.setPoint = orDash(p.TargetLineText);
    v.state = orDash(status.nj_l);
    v.step = orDash(status.js_l);
    v.elapsed =
        n >= 0 ? LogFile::FormatElapsed(qint64(p.sampleInterval()) * n) : QStringLiteral("-");
    v.link = orDash(linkText);

    if (!feed.polling) {
        v.freshness = Freshness::NotUpdating;
        v.staleWhat = QStringLiteral("更新停止");
        if (feed.pollingEnded.isValid()) {
            v.staleSince = since(QStringLiteral("ログ終了"), feed.pollingEnded, feed.now);
            v.staleTime = timeOf(feed.pollingEnded);
        } else {
            v.staleSince = QStringLiteral("ログ停止中");
        }
    } else if (feed.linkLost) {
        v.freshness = Freshness::LinkLost;
        v.staleWhat = QStringLiteral("通信異常");
        const QDateTime last = n >= 0 ? feed.lastReading : QDateTime();
        v.staleSince = last.isValid() ? since(QStringLiteral("最終受信"), last, feed.now)
                                      : QStringLiteral("受信なし");
        v.staleTime = timeOf(last);
    }
    return v;
}
