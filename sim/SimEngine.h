#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <array>
#include <functional>
#include <random>

// Ways the simulated instrument misbehaves on purpose, so the link code can be
// tested against a line that is not perfect. Silent, drop, garble and cut are
// applied by SimEngine to each reply; late, hang-up and deafness after an open
// concern the line itself and are carried out by PtyInstrument.
struct SimFaults {
    // No reply at all; received lines are recorded but not carried out (an
    // instrument that is switched off).
    bool silent = false;
    // Extra delay before the first character of every reply.
    int lateFirstCharMs = 0;
    // Share (0..1) of reply characters that are lost on the line.
    double dropShare = 0.0;
    // Share (0..1) of reply characters, CR excepted, replaced by another one.
    double garbleShare = 0.0;
    // Share (0..1) of every character sent, CR included, replaced by another
    // byte of any value: noise on the line (a driver switching current
    // beside it), which no character class is spared.
    double noiseShare = 0.0;
    // Only this many lines of each reply are sent; -1 for whole replies.
    int cutAfterLines = -1;
    // The line hangs up (the pty master is closed) when a command arrives after
    // this many commands were answered; -1 for never.
    int hangUpAfterCommands = -1;
    // Pause before line 3 of every reply (the line with the answer): a slow
    // instrument, the first two lines at once and the answer later.
    int answerPauseMs = 0;
    // Pause between the echo line and the acknowledgement ("OK" or "NG") of
    // every reply, or only of the replies to lateAckCommand when it is set:
    // an instrument that takes its time to carry a command out.
    int lateAckMs = 0;
    QString lateAckCommand;
    // This many further lines after every reply ("EXTRA 1" ...).
    int extraLines = 0;
    // Commands heard within this many milliseconds of a client opening the
    // device are neither answered nor carried out: an instrument that needs a
    // moment after the port opens.
    int deafAfterOpenMs = 0;
    // The echo line of every this-many-th reply arrives with its first
    // character replaced: noise on the echo alone.
    int badEchoEvery = 0;
    // The first digit of the values of every this-many-th reply arrives as a
    // letter: one noise character where a value is read.
    int badValueEvery = 0;
    // A command that is this text, or this text followed by a blank and more,
    // is answered "NG" and not carried out: an instrument that refuses it.
    QString refusedCommand;
    // Seed of the random choice of dropped and garbled characters.
    quint32 seed = 2200;

    bool any() const;
    // Whether the acknowledgement of the reply to `command` comes late.
    bool lateAckFor(const QString &command) const;
    // Whether `command` is `pattern`, or `pattern` followed by a blank and more.
    static bool commandMatches(const QString &command, const QString &pattern);
    // Applies one option text: "silent", "late:MS", "drop:SHARE", "garble:SHARE", "noise:SHARE",
    // "cut:LINES", "hangup[:COMMANDS]", "pause:MS", "lateok:MS[:COMMAND]", "extra:LINES",
    // "deaf:MS", "badecho:N", "badvalue:N", "ng:COMMAND", "seed:N", "none". A share above 1 is read
    // as a percentage. Returns false (and a reason) for an unknown or bad text.
    static bool apply(const QString &option, SimFaults &faults, QString *error = nullptr);
};

// The KRM-2200 instrument as a pure model: fed the bytes that arrive on the
// line, it answers with the bytes the instrument sends back. It keeps the
// settings, patterns and steps, runs fixed-value control and patterns against a
// first-order thermal model, raises alarms and saves its state to a file.
//
// Replies: line 1 echoes the command, line 2 is "OK" (or "NG" for a command it
// does not know or cannot carry out), values follow from line 3; every line
// ends with CR. Query value lines:
//   "SEN n"    "n <use> <upper> <lower> <offset>:<resistance>" for sensors 0/1,
//              "n <use> <upper> <lower> <offset>" for sensors 2/3
//   "LP n 0"   "P<n> <loop> <action> <start> <end>"
//   "LS n 1"   "S<n> <sensor> <heater> <fan> <temp> <hh:mm:ss>"
//   "STATUS"   "<code> <internal> <current> <alarm> <step>" then
//              "<t0> <t1> <t2> <t3> " (t3 four characters wide, trailing space)
// The pattern and step lines put the record after a prefix without blanks,
// because the program keeps line 3 from its first blank on (digits and blanks
// only for patterns, everything but "/" for steps) and trims it: what it
// stores is exactly the record that "MKP"/"MKS" set. An unregistered pattern
// or step is answered with "*" in every field, which the program reads back as
// an empty pattern and a step whose second field is "*": both are sent back as
// "RP"/"RS", so a read followed by a write changes nothing.
//
// Not thread-safe; PtyInstrument serialises access.
class SimEngine {
public:
    // Monotonic milliseconds. Tests inject their own to run patterns quickly.
    using Clock = std::function<qint64()>;

    static constexpr int SensorCount = 4;
    static constexpr int PatternCount = 10;
    static constexpr int StepCount = 100;
    // A step's hold time starts once the control sensor is this close.
    static constexpr double ReachBand = 0.5;

    SimEngine();

    // Replaces the clock; model time continues from the clock's present value.
    void setClock(Clock clock);
    // Runs model time `factor` times as fast as real time (1 = real time), so
    // that hold times and the thermal model need not be waited out in a demo
    // or a test. Replaces any clock set before; a factor that is not a
    // positive number means real time.
    void setTimeScale(double factor);
    double timeScale() const { return m_timeScale; }

    // Line level: splits the bytes into command lines (CR ends a line, LF is
    // ignored) and returns the replies, faults applied.
    QByteArray feed(const QByteArray &bytes);
    // The first half of feed(): complete command lines taken from the bytes.
    QStringList takeCommands(const QByteArray &bytes);
    // The second half: records the line, carries it out and returns the reply as
    // it goes on the line (silent, cut, drop and garble applied). Empty lines are
    // ignored.
    QByteArray reply(const QString &command);
    // Carries out one command and returns the undisturbed reply.
    QByteArray execute(const QString &command);
    // Records a line without carrying it out (the line hung up before it).
    void noteCommand(const QString &command) { m_received.append(command); }

    QStringList receivedCommands() const { return m_received; }
    void clearReceivedCommands() { m_received.clear(); }

    // Settings. Sensor records as the program stores them, e.g.
    // "1 +150.00 -050.00 +000.00 100.00" (0/1) or "1 +080 +000 +000" (2/3, whole
    // degrees). A limit may be "*" (none).
    QString sensorRecord(int n) const;
    // Accepts "use upper lower offset [resistance]"; numbers are kept in the
    // instrument's own format, "*" stands for offset 0 and resistance 100.
    bool setSensorRecord(int n, const QString &record);
    // Pattern "loop action start end"; empty when not registered.
    QString patternRecord(int n) const;
    // Empty text or "*" in field 2 removes the pattern.
    bool setPatternRecord(int n, const QString &record);
    // Step "sensor heater fan temp time"; empty when not registered.
    QString stepRecord(int n) const;
    bool setStepRecord(int n, const QString &record);
    // "BEEP", "LIT", "LOG", "FAN", "UNI": the value as the query answers it.
    QString setting(const QString &name) const;
    bool setSetting(const QString &name, const QString &value);
    // Settings, patterns and steps as delivered.
    void resetToFactory();

    // Run state; each of these first brings the model up to the clock.
    QString statusCode();
    QString alarmCode() const { return m_alarm; }
    // Stops control and reports status "04" with the code until "ACLR".
    void raiseAlarm(const QString &code);
    // The instrument's alarm test: alarm "700".
    void alarmTest();
    void clearAlarm();
    // Reports the given status code instead of the model's own while not empty
    // (for codes the model never produces: "01", "40", "80").
    void setStatusOverride(const QString &code) { m_statusOverride = code; }
    bool isControlling();
    int currentStep();
    double setPoint() const { return m_setPoint; }
    std::array<double, SensorCount> temperatures();
    void setTemperature(int sensor, double value);
    double ambient() const { return m_ambient; }
    void setAmbient(double value) { m_ambient = value; }
    QString statusLine();
    QString temperatureLine();

    // State file: every setting, pattern and step as KEY=value lines. "SAVE"
    // writes it when a path is set; it is read by loadState.
    void setStatePath(const QString &path) { m_statePath = path; }
    QString statePath() const { return m_statePath; }
    bool saveState(const QString &path, QString *error = nullptr) const;
    bool loadState(const QString &path, QString *error = nullptr);

    SimFaults faults() const { return m_faults; }
    // Also restarts the random sequence from the faults' seed.
    void setFaults(const SimFaults &faults);

    // Brings the thermal model and the running programme up to the clock.
    void advance();

private:
    enum class Mode { Idle, Fixed, Pattern, PatternHold };

    QByteArray answer(const QString &echo, bool ok, const QStringList &values = {}) const;
    QByteArray applyFaults(const QByteArray &reply);
    void step(qint64 dtMs);
    // Raises alarm 001 when a sensor in use is past one of its limits.
    bool limitPassed();
    void stopControl();
    void alarm(const QString &code);
    bool startFixed(const QStringList &args);
    void startPattern(int n);
    bool loadStep(int n);
    void nextStep();

    Clock m_clock;
    double m_timeScale = 1.0;
    qint64 m_time = 0;
    QByteArray m_pending;
    QStringList m_received;

    std::array<QString, SensorCount> m_sensors;
    std::array<QString, PatternCount> m_patterns;
    std::array<QString, StepCount> m_steps;
    QString m_uni, m_beep, m_lit, m_log, m_fan;
    QString m_statePath;

    std::array<double, SensorCount> m_temps{};
    double m_internal = 31.5;
    double m_ambient = 25.0;
    Mode m_mode = Mode::Idle;
    int m_controlSensor = 0;
    double m_setPoint = 25.0;
    bool m_endOnReach = false;
    bool m_reached = false;
    int m_pattern = 0;
    int m_step = 0;
    int m_startStep = 0;
    int m_endStep = 0;
    int m_loops = 1;
    int m_loopsDone = 0;
    bool m_holdAtEnd = false;
    qint64 m_holdLeftMs = 0;
    QString m_alarm = QStringLiteral("000");
    QString m_statusOverride;

    SimFaults m_faults;
    std::mt19937 m_rng;
    int m_replies = 0; // replies disturbed since the faults were set
};
