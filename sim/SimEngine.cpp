#include "SimEngine.h"

#include <QFile>
#include <QLoggingCategory>
#include <QSaveFile>
#include <QTextStream>

#include <cctype>
#include <chrono>
#include <cmath>

Q_LOGGING_CATEGORY(lcSimEngine, "krm.sim.engine")

namespace {

// Each input follows the thermal unit a little differently, so the four curves
// of the graph do not lie on top of each other.
constexpr std::array<double, SimEngine::SensorCount> TimeConstantSec{3.0, 3.4, 4.2, 5.0};
constexpr double InternalTimeConstantSec = 60.0;
constexpr double InternalIdle = 31.5;
constexpr double InternalRunning = 36.0;
// Model time advances in slices no longer than this, so that reaching a set
// point and the end of a hold are seen close to when they happen.
constexpr qint64 SliceMs = 100;

qint64 steadyMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

QStringList fieldsOf(const QString &text)
{
    return text.split(QLatin1Char(' '), Qt::SkipEmptyParts);
}

bool toNumber(const QString &text, double &value)
{
    bool ok = false;
    value = text.toDouble(&ok);
    return ok && std::isfinite(value);
}

bool isDigits(const QString &text)
{
    if (text.isEmpty())
        return false;
    for (QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    }
    return true;
}

bool toIndex(const QString &text, int count, int &n)
{
    if (!isDigits(text))
        return false;
    n = text.toInt();
    return n >= 0 && n < count;
}

// Temperatures as the instrument writes them: sign, three digits, two decimals.
QString formatTemp(double v)
{
    if (std::abs(v) < 0.005)
        v = 0.0;
    return QString::asprintf("%+07.2f", v);
}

// SENSOR1 and SENSOR2 hold whole degrees: sign and three digits.
QString formatWhole(double v)
{
    return QString::asprintf("%+04d", int(std::lround(v)));
}

bool isWhole(double v)
{
    return v == std::round(v);
}

// A limit field: a number, or "*" for no limit.
bool toLimit(const QString &text, double &value, bool &none)
{
    none = text == QLatin1String("*");
    return none || toNumber(text, value);
}

QString formatResistance(double v)
{
    return QString::asprintf("%06.2f", v);
}

// Hold times come as "hh:mm:ss" or as whole seconds.
bool toSeconds(const QString &text, qint64 &seconds)
{
    const QStringList parts = text.split(QLatin1Char(':'));
    if (parts.size() != 1 && parts.size() != 3)
        return false;
    seconds = 0;
    for (const QString &part : parts) {
        if (!isDigits(part))
            return false;
        seconds = seconds * 60 + part.toLongLong();
    }
    return true;
}

bool isUnregistered(const QStringList &fields)
{
    return fields.isEmpty() || (fields.size() >= 2 && fields.at(1) == QLatin1String("*"));
}

const QString OkLine = QStringLiteral("OK");
const QString NgLine = QStringLiteral("NG");

} // namespace

bool SimFaults::any() const
{
    return silent || lateFirstCharMs > 0 || dropShare > 0 || garbleShare > 0 || noiseShare > 0 ||
           cutAfterLines >= 0 || hangUpAfterCommands >= 0 || answerPauseMs > 0 || extraLines > 0 ||
           deafAfterOpenMs > 0 || badEchoEvery > 0 || badValueEvery > 0 ||
           !refusedCommand.isEmpty() || lateAckMs > 0;
}

bool SimFaults::commandMatches(const QString &command, const QString &pattern)
{
    return command.startsWith(pattern) &&
           (command.size() == pattern.size() || command.at(pattern.size()) == QLatin1Char(' '));
}

bool SimFaults::lateAckFor(const QString &command) const
{
    return lateAckMs > 0 && (lateAckCommand.isEmpty() || commandMatches(command, lateAckCommand));
}

bool SimFaults::apply(const QString &option, SimFaults &faults, QString *error)
{
    const int colon = option.indexOf(QLatin1Char(':'));
    const QString mode = (colon < 0 ? option : option.left(colon)).trimmed().toLower();
    const QString arg = colon < 0 ? QString() : option.mid(colon + 1).trimmed();
    auto fail = [&](const QString &why) {
        if (error)
            *error = why;
        return false;
    };
    auto share = [&](double &into) {
        double v = 0;
        if (!toNumber(arg, v) || v < 0 || v > 100)
            return fail(QStringLiteral("%1 needs a share from 0 to 1: %2").arg(mode, option));
        into = v > 1 ? v / 100.0 : v;
        return true;
    };
    auto count = [&](int &into, int fallback) {
        if (arg.isEmpty() && fallback >= 0) {
            into = fallback;
            return true;
        }
        if (!isDigits(arg))
            return fail(QStringLiteral("%1 needs a whole number: %2").arg(mode, option));
        into = arg.toInt();
        return true;
    };

    if (mode == QLatin1String("none")) {
        faults = SimFaults{};
        return true;
    }
    if (mode == QLatin1String("silent")) {
        faults.silent = true;
        return true;
    }
    if (mode == QLatin1String("late"))
        return count(faults.lateFirstCharMs, -1);
    if (mode == QLatin1String("drop"))
        return share(faults.dropShare);
    if (mode == QLatin1String("garble"))
        return share(faults.garbleShare);
    if (mode == QLatin1String("noise"))
        return share(faults.noiseShare);
    if (mode == QLatin1String("cut"))
        return count(faults.cutAfterLines, -1);
    if (mode == QLatin1String("hangup"))
        return count(faults.hangUpAfterCommands, 0);
    if (mode == QLatin1String("pause"))
        return count(faults.answerPauseMs, -1);
    if (mode == QLatin1String("lateok")) {
        const qsizetype colon2 = arg.indexOf(QLatin1Char(':'));
        const QString ms = colon2 < 0 ? arg : arg.left(colon2);
        if (!isDigits(ms))
            return fail(QStringLiteral("lateok needs a whole number: %1").arg(option));
        faults.lateAckMs = ms.toInt();
        faults.lateAckCommand = colon2 < 0 ? QString() : arg.mid(colon2 + 1);
        return true;
    }
    if (mode == QLatin1String("extra"))
        return count(faults.extraLines, -1);
    if (mode == QLatin1String("deaf"))
        return count(faults.deafAfterOpenMs, -1);
    if (mode == QLatin1String("badvalue"))
        return count(faults.badValueEvery, -1);
    if (mode == QLatin1String("badecho"))
        return count(faults.badEchoEvery, -1);
    if (mode == QLatin1String("ng")) {
        if (arg.isEmpty())
            return fail(QStringLiteral("ng needs a command: %1").arg(option));
        faults.refusedCommand = arg;
        return true;
    }
    if (mode == QLatin1String("seed")) {
        int seed = 0;
        if (!count(seed, -1))
            return false;
        faults.seed = quint32(seed);
        return true;
    }
    return fail(QStringLiteral("unknown fault mode: %1").arg(option));
}

SimEngine::SimEngine() : m_clock(steadyMs), m_rng(m_faults.seed)
{
    m_time = m_clock();
    resetToFactory();
    m_temps.fill(m_ambient);
}

void SimEngine::setClock(Clock clock)
{
    advance();
    m_clock = clock ? std::move(clock) : Clock(steadyMs);
    m_timeScale = 1.0;
    m_time = m_clock();
}

void SimEngine::setTimeScale(double factor)
{
    if (!std::isfinite(factor) || factor <= 0)
        factor = 1.0;
    if (factor == 1.0) {
        setClock(steadyMs);
    } else {
        const qint64 origin = steadyMs();
        setClock(
            [origin, factor] { return origin + qint64(double(steadyMs() - origin) * factor); });
    }
    m_timeScale = factor;
}

void SimEngine::resetToFactory()
{
    // The PT100 inputs cover the whole control range; SENSOR1 and SENSOR2 are
    // limited to what a sample on the bench may see, in whole degrees.
    m_sensors[0] = QStringLiteral("1 +150.00 -050.00 +000.00 100.00");
    m_sensors[1] = QStringLiteral("1 +150.00 -050.00 +000.00 100.00");
    m_sensors[2] = QStringLiteral("1 +080 +000 +000");
    m_sensors[3] = QStringLiteral("1 +100 +000 +000");
    m_patterns.fill(QString());
    m_steps.fill(QString());
    // One short demonstration programme, so that a fresh simulator has
    // something to run: up to 40 °C, on to 60 °C, back to 25 °C.
    m_patterns[0] = QStringLiteral("1 0 0 2");
    m_steps[0] = QStringLiteral("0 0 0 +040.00 00:00:30");
    m_steps[1] = QStringLiteral("0 0 0 +060.00 00:00:30");
    m_steps[2] = QStringLiteral("0 0 0 +025.00 00:00:10");
    m_uni = QStringLiteral("3.0 8");
    m_beep = QStringLiteral("1");
    m_lit = QStringLiteral("1");
    m_log = QStringLiteral("1 1");
    m_fan = QStringLiteral("1");
}

// ---- line level ------------------------------------------------------------

QStringList SimEngine::takeCommands(const QByteArray &bytes)
{
    QStringList lines;
    for (char c : bytes) {
        if (c == '\n')
            continue;
        if (c == '\r') {
            lines.append(QString::fromLatin1(m_pending));
            m_pending.clear();
        } else {
            m_pending.append(c);
        }
    }
    return lines;
}

QByteArray SimEngine::feed(const QByteArray &bytes)
{
    QByteArray out;
    const QStringList lines = takeCommands(bytes);
    for (const QString &line : lines)
        out += reply(line);
    return out;
}

QByteArray SimEngine::reply(const QString &command)
{
    if (command.isEmpty())
        return {};
    m_received.append(command);
    if (m_faults.silent)
        return {};
    const QString &refused = m_faults.refusedCommand;
    if (!refused.isEmpty() && SimFaults::commandMatches(command, refused))
        return applyFaults(answer(command, false));
    return applyFaults(execute(command));
}

QByteArray SimEngine::applyFaults(const QByteArray &reply)
{
    QByteArray out = reply;
    ++m_replies;
    if (m_faults.badEchoEvery > 0 && m_replies % m_faults.badEchoEvery == 0 && !out.isEmpty() &&
        out.front() != '\r')
        out[0] = '#';
    if (m_faults.badValueEvery > 0 && m_replies % m_faults.badValueEvery == 0) {
        // The first digit after the acknowledgement line becomes a letter.
        const qsizetype ack = out.indexOf('\r', out.indexOf('\r') + 1);
        for (qsizetype i = ack + 1; ack > 0 && i < out.size(); ++i) {
            if (std::isdigit(static_cast<unsigned char>(out.at(i)))) {
                out[i] = 'O';
                break;
            }
        }
    }
    for (int i = 1; i <= m_faults.extraLines; ++i)
        out += "EXTRA " + QByteArray::number(i) + '\r';
    if (m_faults.cutAfterLines >= 0) {
        int lines = 0;
        qsizetype end = 0;
        while (end < out.size() && lines < m_faults.cutAfterLines) {
            if (out.at(end) == '\r')
                ++lines;
            ++end;
        }
        out.truncate(end);
    }
    if (m_faults.dropShare <= 0 && m_faults.garbleShare <= 0 && m_faults.noiseShare <= 0)
        return out;
    std::uniform_real_distribution<double> chance(0.0, 1.0);
    std::uniform_int_distribution<int> printable(0x21, 0x7e);
    QByteArray disturbed;
    disturbed.reserve(out.size());
    for (char c : std::as_const(out)) {
        if (m_faults.dropShare > 0 && chance(m_rng) < m_faults.dropShare)
            continue;
        if (c != '\r' && m_faults.garbleShare > 0 && chance(m_rng) < m_faults.garbleShare) {
            char other = c;
            while (other == c)
                other = char(printable(m_rng));
            c = other;
        }
        if (m_faults.noiseShare > 0 && chance(m_rng) < m_faults.noiseShare) {
            std::uniform_int_distribution<int> anyByte(1, 255);
            // Any other byte: added to the value, modulo 256, never 0.
            c = char((static_cast<unsigned char>(c) + anyByte(m_rng)) % 256);
        }
        disturbed.append(c);
    }
    return disturbed;
}

void SimEngine::setFaults(const SimFaults &faults)
{
    m_faults = faults;
    m_rng.seed(faults.seed);
    m_replies = 0;
}

QByteArray SimEngine::answer(const QString &echo, bool ok, const QStringList &values) const
{
    QByteArray out = echo.toLatin1() + '\r';
    out += (ok ? OkLine : NgLine).toLatin1() + '\r';
    for (const QString &v : values)
        out += v.toLatin1() + '\r';
    return out;
}

QByteArray SimEngine::execute(const QString &command)
{
    advance();
    const QStringList f = fieldsOf(command);
    if (f.isEmpty())
        return answer(command, false);
    const QString &cmd = f.first();
    const QStringList args = f.mid(1);
    int n = 0;

    if (cmd == QLatin1String("STATUS") && args.isEmpty())
        return answer(command, true, {statusLine(), temperatureLine()});
    if (cmd == QLatin1String("VERSION") && args.isEmpty())
        return answer(command, true, {QStringLiteral("KRM-2200"), QStringLiteral("Ver 2.01")});

    if (cmd == QLatin1String("SEN")) {
        if (args.isEmpty() || !toIndex(args.at(0), SensorCount, n))
            return answer(command, false);
        if (args.size() == 1) {
            // Offset and resistance are separated by ":" on this line.
            QStringList rec = fieldsOf(m_sensors[n]);
            QString line =
                QString::number(n) + QLatin1Char(' ') + rec.mid(0, 4).join(QLatin1Char(' '));
            if (rec.size() > 4)
                line += QLatin1Char(':') + rec.at(4);
            return answer(command, true, {line});
        }
        return answer(command, setSensorRecord(n, args.mid(1).join(QLatin1Char(' '))));
    }

    if (cmd == QLatin1String("BEEP") || cmd == QLatin1String("LIT") ||
        cmd == QLatin1String("FAN") || cmd == QLatin1String("LOG") || cmd == QLatin1String("UNI")) {
        if (args.isEmpty())
            return answer(command, true, {setting(cmd)});
        return answer(command, setSetting(cmd, args.join(QLatin1Char(' '))));
    }

    if (cmd == QLatin1String("LP")) {
        if (args.isEmpty() || args.size() > 2 || !toIndex(args.at(0), PatternCount, n))
            return answer(command, false);
        const QString rec = m_patterns[n].isEmpty() ? QStringLiteral("* * * *") : m_patterns[n];
        return answer(command, true, {QStringLiteral("P%1 %2").arg(n).arg(rec)});
    }
    if (cmd == QLatin1String("LS")) {
        if (args.isEmpty() || args.size() > 2 || !toIndex(args.at(0), StepCount, n))
            return answer(command, false);
        const QString rec = m_steps[n].isEmpty() ? QStringLiteral("* * * * *") : m_steps[n];
        return answer(command, true, {QStringLiteral("S%1 %2").arg(n).arg(rec)});
    }
    if (cmd == QLatin1String("MKP") || cmd == QLatin1String("MKS")) {
        const bool pattern = cmd == QLatin1String("MKP");
        if (args.size() < 2 || !toIndex(args.at(0), pattern ? PatternCount : StepCount, n))
            return answer(command, false);
        const QString rec = args.mid(1).join(QLatin1Char(' '));
        return answer(command, pattern ? setPatternRecord(n, rec) : setStepRecord(n, rec));
    }
    if (cmd == QLatin1String("RP") || cmd == QLatin1String("RS")) {
        const bool pattern = cmd == QLatin1String("RP");
        if (args.size() != 1 || !toIndex(args.at(0), pattern ? PatternCount : StepCount, n))
            return answer(command, false);
        if (pattern)
            m_patterns[n].clear();
        else
            m_steps[n].clear();
        return answer(command, true);
    }

    if (cmd == QLatin1String("SAVE") && args.isEmpty()) {
        bool ok = true;
        if (!m_statePath.isEmpty()) {
            QString why;
            ok = saveState(m_statePath, &why);
            if (!ok)
                qCWarning(lcSimEngine) << "SAVE failed:" << why;
        }
        return answer(command, ok);
    }
    if (cmd == QLatin1String("RUN"))
        return answer(command, startFixed(args));
    if (cmd == QLatin1String("GO")) {
        if (args.size() != 1 || !toIndex(args.at(0), PatternCount, n))
            return answer(command, false);
        startPattern(n);
        return answer(command, true);
    }
    if (cmd == QLatin1String("STOP") && args.isEmpty()) {
        stopControl();
        return answer(command, true);
    }
    if (cmd == QLatin1String("ACLR") && args.isEmpty()) {
        clearAlarm();
        return answer(command, true);
    }
    return answer(command, false);
}

// ---- settings --------------------------------------------------------------

QString SimEngine::sensorRecord(int n) const
{
    return n >= 0 && n < SensorCount ? m_sensors[n] : QString();
}

bool SimEngine::setSensorRecord(int n, const QString &record)
{
    if (n < 0 || n >= SensorCount)
        return false;
    const QStringList f = fieldsOf(record);
    const int wanted = n < 2 ? 5 : 4;
    // The resistance may be left out; the one the instrument holds stays.
    if (f.size() < 4 || f.size() > 5)
        return false;
    if (f.at(0) != QLatin1String("0") && f.at(0) != QLatin1String("1"))
        return false;
    double upper = 0, lower = 0, offset = 0, resistance = 100;
    bool noUpper = false, noLower = false;
    if (!toLimit(f.at(1), upper, noUpper) || !toLimit(f.at(2), lower, noLower))
        return false;
    if (f.at(3) != QLatin1String("*") && !toNumber(f.at(3), offset))
        return false;
    // SENSOR1 and SENSOR2 take whole degrees only.
    if (wanted == 4 && (!isWhole(upper) || !isWhole(lower) || !isWhole(offset)))
        return false;
    if (wanted == 5) {
        const QStringList old = fieldsOf(m_sensors[n]);
        if (f.size() == 5) {
            if (f.at(4) != QLatin1String("*") && !toNumber(f.at(4), resistance))
                return false;
        } else if (old.size() == 5) {
            toNumber(old.at(4), resistance);
        }
        if (resistance < 0 || resistance >= 1000)
            return false;
    }
    if (std::abs(upper) >= 1000 || std::abs(lower) >= 1000 || std::abs(offset) >= 1000)
        return false;
    const auto format = wanted == 5 ? formatTemp : formatWhole;
    QStringList out{f.at(0), noUpper ? f.at(1) : format(upper), noLower ? f.at(2) : format(lower),
                    format(offset)};
    if (wanted == 5)
        out.append(formatResistance(resistance));
    m_sensors[n] = out.join(QLatin1Char(' '));
    return true;
}

QString SimEngine::patternRecord(int n) const
{
    return n >= 0 && n < PatternCount ? m_patterns[n] : QString();
}

bool SimEngine::setPatternRecord(int n, const QString &record)
{
    if (n < 0 || n >= PatternCount)
        return false;
    const QStringList f = fieldsOf(record);
    if (isUnregistered(f)) {
        m_patterns[n].clear();
        return true;
    }
    // Only digits survive the program's reading of a pattern line, so anything
    // else could not come back as it was set.
    if (f.size() != 4)
        return false;
    for (const QString &field : f) {
        if (!isDigits(field))
            return false;
    }
    if (f.at(2).toInt() >= StepCount || f.at(3).toInt() >= StepCount)
        return false;
    m_patterns[n] = f.join(QLatin1Char(' '));
    return true;
}

QString SimEngine::stepRecord(int n) const
{
    return n >= 0 && n < StepCount ? m_steps[n] : QString();
}

bool SimEngine::setStepRecord(int n, const QString &record)
{
    if (n < 0 || n >= StepCount)
        return false;
    const QStringList f = fieldsOf(record);
    if (isUnregistered(f)) {
        m_steps[n].clear();
        return true;
    }
    double temp = 0;
    qint64 seconds = 0;
    if (f.size() != 5 || record.contains(QLatin1Char('/')) || !toNumber(f.at(3), temp) ||
        !toSeconds(f.at(4), seconds))
        return false;
    for (int i = 0; i < 3; ++i) {
        if (!isDigits(f.at(i)))
            return false;
    }
    m_steps[n] = f.join(QLatin1Char(' '));
    return true;
}

QString SimEngine::setting(const QString &name) const
{
    if (name == QLatin1String("BEEP"))
        return m_beep;
    if (name == QLatin1String("LIT"))
        return m_lit;
    if (name == QLatin1String("LOG"))
        return m_log;
    if (name == QLatin1String("FAN"))
        return m_fan;
    if (name == QLatin1String("UNI"))
        return m_uni;
    return QString();
}

bool SimEngine::setSetting(const QString &name, const QString &value)
{
    const QStringList f = fieldsOf(value);
    double v = 0;
    for (const QString &field : f) {
        if (!toNumber(field, v))
            return false;
    }
    const QString joined = f.join(QLatin1Char(' '));
    if (name == QLatin1String("UNI")) {
        if (f.size() != 2)
            return false;
        m_uni = joined;
        return true;
    }
    if (name == QLatin1String("LOG")) {
        if (f.isEmpty() || f.size() > 2)
            return false;
        m_log = joined;
        return true;
    }
    if (f.size() != 1)
        return false;
    if (name == QLatin1String("BEEP"))
        m_beep = joined;
    else if (name == QLatin1String("LIT"))
        m_lit = joined;
    else if (name == QLatin1String("FAN"))
        m_fan = joined;
    else
        return false;
    return true;
}

// ---- state file ------------------------------------------------------------

bool SimEngine::saveState(const QString &path, QString *error) const
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text)) {
        if (error)
            *error = file.errorString();
        return false;
    }
    QTextStream out(&file);
    out << "# KRM-2200 simulator state\n";
    for (int n = 0; n < SensorCount; ++n)
        out << "SEN" << n << '=' << m_sensors[n] << '\n';
    out << "UNI=" << m_uni << '\n'
        << "BEEP=" << m_beep << '\n'
        << "LIT=" << m_lit << '\n'
        << "LOG=" << m_log << '\n'
        << "FAN=" << m_fan << '\n';
    for (int n = 0; n < PatternCount; ++n)
        out << "PATTERN" << n << '=' << m_patterns[n] << '\n';
    for (int n = 0; n < StepCount; ++n)
        out << "STEP" << n << '=' << m_steps[n] << '\n';
    out.flush();
    if (!file.commit()) {
        if (error)
            *error = file.errorString();
        return false;
    }
    return true;
}

bool SimEngine::loadState(const QString &path, QString *error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        if (error)
            *error = file.errorString();
        return false;
    }
    QTextStream in(&file);
    int line = 0;
    QStringList bad;
    while (!in.atEnd()) {
        const QString text = in.readLine();
        ++line;
        if (text.trimmed().isEmpty() || text.startsWith(QLatin1Char('#')))
            continue;
        const int eq = text.indexOf(QLatin1Char('='));
        const QString key = text.left(eq).trimmed().toUpper();
        const QString value = text.mid(eq + 1).trimmed();
        bool ok = eq > 0;
        auto indexAfter = [&](QLatin1String prefix, int count, int &n) {
            return key.startsWith(prefix) && toIndex(key.mid(prefix.size()), count, n);
        };
        int n = 0;
        if (!ok)
            ;
        else if (indexAfter(QLatin1String("SEN"), SensorCount, n))
            ok = setSensorRecord(n, value);
        else if (indexAfter(QLatin1String("PATTERN"), PatternCount, n))
            ok = setPatternRecord(n, value);
        else if (indexAfter(QLatin1String("STEP"), StepCount, n))
            ok = setStepRecord(n, value);
        else
            ok = setSetting(key, value);
        if (!ok)
            bad.append(QString::number(line));
    }
    // A damaged line keeps the value held before; the rest of the file counts.
    if (!bad.isEmpty()) {
        qCWarning(lcSimEngine) << "state file" << path << "has unusable lines" << bad;
        if (error)
            *error = QStringLiteral("unusable lines: %1").arg(bad.join(QLatin1String(", ")));
    }
    return true;
}

// ---- control ---------------------------------------------------------------

bool SimEngine::startFixed(const QStringList &args)
{
    // "RUN sensor heater fan temp reach"; heater and fan are taken as given.
    // Trailing fields may be missing: the reach choice defaults to holding.
    int sensor = 0;
    double temp = 0;
    if (args.size() < 4 || args.size() > 5 || !toIndex(args.at(0), 2, sensor) ||
        !toNumber(args.at(3), temp))
        return false;
    if (m_mode != Mode::Idle)
        stopControl();
    if (m_alarm != QLatin1String("000"))
        return true; // an alarm blocks control until it is cleared
    if (fieldsOf(m_sensors[sensor]).value(0) != QLatin1String("1")) {
        alarm(QStringLiteral("021"));
        return true;
    }
    m_mode = Mode::Fixed;
    m_controlSensor = sensor;
    m_setPoint = temp;
    m_endOnReach = args.size() == 5 && args.at(4) == QLatin1String("0");
    m_reached = false;
    m_step = 0;
    return true;
}

void SimEngine::startPattern(int n)
{
    if (m_mode != Mode::Idle)
        stopControl();
    if (m_alarm != QLatin1String("000"))
        return;
    const QStringList f = fieldsOf(m_patterns[n]);
    if (f.size() != 4) {
        alarm(QStringLiteral("102"));
        return;
    }
    m_pattern = n;
    m_loops = f.at(0).toInt();
    m_holdAtEnd = f.at(1) == QLatin1String("1");
    m_startStep = f.at(2).toInt();
    m_endStep = f.at(3).toInt();
    m_loopsDone = 0;
    if (m_startStep > m_endStep) {
        alarm(QStringLiteral("103"));
        return;
    }
    m_mode = Mode::Pattern;
    loadStep(m_startStep);
}

bool SimEngine::loadStep(int n)
{
    const QStringList f = fieldsOf(m_steps[n]);
    int sensor = 0;
    double temp = 0;
    qint64 seconds = 0;
    if (f.size() != 5 || !toIndex(f.at(0), 2, sensor) || !toNumber(f.at(3), temp) ||
        !toSeconds(f.at(4), seconds)) {
        alarm(QStringLiteral("103"));
        return false;
    }
    if (fieldsOf(m_sensors[sensor]).value(0) != QLatin1String("1")) {
        alarm(QStringLiteral("021"));
        return false;
    }
    m_step = n;
    m_controlSensor = sensor;
    m_setPoint = temp;
    m_reached = false;
    m_holdLeftMs = seconds * 1000;
    return true;
}

void SimEngine::nextStep()
{
    if (m_step < m_endStep) {
        loadStep(m_step + 1);
        return;
    }
    ++m_loopsDone;
    if (m_loops == 0 || m_loopsDone < m_loops) {
        loadStep(m_startStep);
        return;
    }
    if (m_holdAtEnd)
        m_mode = Mode::PatternHold; // keeps the last set point
    else
        stopControl();
}

void SimEngine::stopControl()
{
    m_mode = Mode::Idle;
    m_setPoint = m_ambient;
    m_step = 0;
}

void SimEngine::raiseAlarm(const QString &code)
{
    advance();
    alarm(code);
}

void SimEngine::alarm(const QString &code)
{
    stopControl();
    m_alarm = code;
}

void SimEngine::alarmTest()
{
    raiseAlarm(QStringLiteral("700"));
}

void SimEngine::clearAlarm()
{
    m_alarm = QStringLiteral("000");
}

void SimEngine::advance()
{
    const qint64 now = m_clock();
    while (m_time < now) {
        const qint64 dt = qMin(SliceMs, now - m_time);
        step(dt);
        m_time += dt;
    }
}

bool SimEngine::limitPassed()
{
    for (int i = 0; i < SensorCount; ++i) {
        const QStringList f = fieldsOf(m_sensors[i]);
        if (f.value(0) != QLatin1String("1"))
            continue;
        // "*" is no limit on that side.
        bool upperOk = false, lowerOk = false;
        const double upper = f.value(1).toDouble(&upperOk);
        const double lower = f.value(2).toDouble(&lowerOk);
        if ((upperOk && m_temps[i] > upper) || (lowerOk && m_temps[i] < lower)) {
            alarm(QStringLiteral("001"));
            return true;
        }
    }
    return false;
}

void SimEngine::step(qint64 dtMs)
{
    const bool controlling = m_mode != Mode::Idle;
    const double target = controlling ? m_setPoint : m_ambient;
    const double dt = dtMs / 1000.0;
    for (int i = 0; i < SensorCount; ++i)
        m_temps[i] = target + (m_temps[i] - target) * std::exp(-dt / TimeConstantSec[i]);
    const double internalTarget = controlling ? InternalRunning : InternalIdle;
    m_internal =
        internalTarget + (m_internal - internalTarget) * std::exp(-dt / InternalTimeConstantSec);
    if (!controlling)
        return;

    if (limitPassed())
        return;

    const bool near = std::abs(m_temps[m_controlSensor] - m_setPoint) <= ReachBand;
    if (m_mode == Mode::Fixed) {
        if (!m_reached && near) {
            m_reached = true;
            if (m_endOnReach)
                stopControl();
        }
    } else if (m_mode == Mode::Pattern) {
        if (!m_reached) {
            m_reached = near;
            if (m_reached && m_holdLeftMs <= 0)
                nextStep();
        } else {
            m_holdLeftMs -= dtMs;
            if (m_holdLeftMs <= 0)
                nextStep();
        }
    }
}

QString SimEngine::statusCode()
{
    advance();
    if (!m_statusOverride.isEmpty())
        return m_statusOverride;
    if (m_alarm != QLatin1String("000"))
        return QStringLiteral("04");
    return m_mode == Mode::Idle ? QStringLiteral("00") : QStringLiteral("02");
}

bool SimEngine::isControlling()
{
    advance();
    return m_mode != Mode::Idle;
}

int SimEngine::currentStep()
{
    advance();
    return m_mode == Mode::Pattern || m_mode == Mode::PatternHold ? m_step : 0;
}

std::array<double, SimEngine::SensorCount> SimEngine::temperatures()
{
    advance();
    return m_temps;
}

void SimEngine::setTemperature(int sensor, double value)
{
    advance();
    if (sensor < 0 || sensor >= SensorCount)
        return;
    m_temps[sensor] = value;
    if (m_mode != Mode::Idle)
        limitPassed();
}

QString SimEngine::statusLine()
{
    const QString code = statusCode();
    const double current = fieldsOf(m_uni).value(1).toDouble();
    return QStringLiteral("%1 %2 %3 %4 %5")
        .arg(code, formatTemp(m_internal), QString::asprintf("%04.1f", current), m_alarm)
        .arg(currentStep());
}

QString SimEngine::temperatureLine()
{
    advance();
    QString line;
    for (int i = 0; i < SensorCount; ++i) {
        const bool inUse = fieldsOf(m_sensors[i]).value(0) == QLatin1String("1");
        if (!inUse)
            line += QLatin1Char('*');
        else if (i < 3)
            line += formatTemp(m_temps[i]);
        else
            line += QString::asprintf("%+04d", int(std::lround(m_temps[i])));
        line += QLatin1Char(' ');
    }
    return line;
}
