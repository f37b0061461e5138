#include "logging/CurrentValues.h"

#include "config/Parameter.h"
#include "logging/LogFile.h"
#include "shell/WindowState.h"

#include <algorithm>

namespace {

QString orDash(const QString &text)
{
    return text.isEmpty() ? QStringLiteral("-") : text;
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

CurrentValues CurrentValues::from(const Parameter &p, const StatuslogState &status,
                                  const QString &linkText)
{
    CurrentValues v;
    const qint64 n = newestSample(p);
    for (int k = 0; k < 4; ++k)
        v.temps[size_t(k)] =
            n >= 0 ? orDash(p.SenValues.text(k, n).trimmed()) : QStringLiteral("-");
    v.setPoint = orDash(p.TargetLineText);
    v.state = orDash(status.nj_l);
    v.step = orDash(status.js_l);
    v.elapsed =
        n >= 0 ? LogFile::FormatElapsed(qint64(p.sampleInterval()) * n) : QStringLiteral("-");
    v.link = orDash(linkText);
    return v;
}
