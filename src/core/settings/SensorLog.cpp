#include "core/settings/SensorLog.h"

#include "core/config/Parameter.h"

QString SensorLogState::line(qint64 sampleNo, const QString &reading)
{
    QString text = QString::number(sampleNo) + QLatin1Char(' ') + reading;
    text.remove(QLatin1Char('\r'));
    return text + QLatin1String("\r\n");
}

QString SensorLogState::rowText(int k, qint64 row) const
{
    if (row < 0 || row >= rows())
        return {};
    QString text =
        QString::number(m_numbers[size_t(row)]) + QLatin1Char(' ') + m_readings.text(k, row);
    text.remove(QLatin1Char('\r'));
    return text;
}

QString SensorLogState::box(int k) const
{
    QString text;
    for (qint64 r = 0; r < rows(); ++r)
        text += rowText(k, r) + QLatin1String("\r\n");
    return text;
}

void SensorLogState::refill(const Parameter &p, qint64 upTo)
{
    clear();
    const qint64 last = std::min<qint64>(upTo, p.SenValues.size() - 1);
    if (last < 1)
        return;
    m_numbers.reserve(size_t(last));
    m_readings.resize(last);
    QStringList readings;
    for (qint64 i = 1; i <= last; ++i) {
        readings.clear();
        for (int k = 0; k < Boxes; ++k)
            readings << p.SenValues.text(k, i);
        m_readings.set(i - 1, readings);
        m_numbers.push_back(i);
    }
}

void SensorLogState::load(const Parameter &p)
{
    if (m_loaded)
        return;
    refill(p, p.LogCount);
}

void SensorLogState::clear()
{
    std::vector<qint64>().swap(m_numbers);
    m_readings.clear();
    m_loaded = true;
    ++m_generation;
}

void SensorLogState::append(const Parameter &p, qint64 sampleNo, const QStringList &temps)
{
    if (!m_loaded) {
        // The echo of the sample just stored would otherwise come twice:
        // once from the refill, once appended.
        refill(p, sampleNo == p.LogCount ? sampleNo - 1 : qint64(p.LogCount));
    }
    m_readings.set(rows(), temps);
    m_numbers.push_back(sampleNo);
}

void SensorLogState::unload()
{
    clear();
    m_loaded = false;
}
