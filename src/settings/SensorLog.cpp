#include "settings/SensorLog.h"

#include "config/Parameter.h"

namespace {
const QLatin1StringView CrLf("\r\n");
} // namespace

QString SensorLogState::line(qint64 sampleNo, const QString &reading)
{
    QString text = QString::number(sampleNo) + QLatin1Char(' ') + reading;
    text.remove(QLatin1Char('\r'));
    return text + CrLf;
}

SensorLogState::Texts SensorLogState::refill(const std::array<QStringList, 4> &values, qint64 upTo)
{
    Texts boxes;
    qint64 last = 0;
    for (int k = 0; k < Boxes; ++k) {
        const qint64 have = std::min<qint64>(upTo, values[size_t(k)].size() - 1);
        last = std::max(last, have);
        // One allocation per box: a long log refills in one go.
        boxes[size_t(k)].reserve(qsizetype(std::max<qint64>(0, have)) * 14);
    }
    QString number;
    for (qint64 i = 1; i <= last; ++i) {
        number.setNum(i);
        number += QLatin1Char(' ');
        for (int k = 0; k < Boxes; ++k) {
            const QStringList &v = values[size_t(k)];
            if (i >= v.size())
                continue;
            const QString &reading = v.at(qsizetype(i));
            QString &box = boxes[size_t(k)];
            box += number;
            if (reading.contains(QLatin1Char('\r')))
                box += QString(reading).remove(QLatin1Char('\r'));
            else
                box += reading;
            box += CrLf;
        }
    }
    return boxes;
}

void SensorLogState::load(const Parameter &p)
{
    if (m_loaded)
        return;
    m_boxes = refill(p.SenValues, p.LogCount);
    m_loaded = true;
    ++m_generation;
}

void SensorLogState::clear()
{
    for (QString &box : m_boxes)
        box.clear();
    m_loaded = true;
    ++m_generation;
}

SensorLogState::Texts SensorLogState::append(const Parameter &p, qint64 sampleNo,
                                             const QStringList &temps)
{
    if (!m_loaded) {
        // The echo of the sample just stored would otherwise come twice:
        // once from the refill, once appended.
        const qint64 upTo = sampleNo == p.LogCount ? sampleNo - 1 : qint64(p.LogCount);
        m_boxes = refill(p.SenValues, upTo);
        m_loaded = true;
        ++m_generation;
    }
    Texts lines;
    for (int k = 0; k < Boxes; ++k) {
        lines[size_t(k)] = line(sampleNo, temps.value(k));
        m_boxes[size_t(k)] += lines[size_t(k)];
    }
    return lines;
}

void SensorLogState::unload()
{
    m_loaded = false;
    ++m_generation;
    for (QString &box : m_boxes)
        box = QString();
}
