#pragma once

#include "core/config/SettingRanges.h"

#include <QString>

#include <array>
#include <functional>
#include <optional>

class Ini_Operation;
struct DetailedSettingsState;

// The sensor and device settings: what the detailed settings window loads
// from the configuration file, the checks of its OK button, and the values
// it writes. Nothing here talks to the instrument; the toolbar's write sends
// what was stored.
class DetailedSettings {
public:
    static constexpr int SensorCount = SettingRanges::SensorCount;
    // Pages of the window, selected when a step of the apply fails.
    enum Page { SensorPage = 0, FanPage = 1, OtherPage = 2 };
    // Thermal-unit presets (option index).
    enum Preset { PresetVdA = 0, PresetVdB = 1, PresetFree = 2 };
    // Entries of the current list.
    static constexpr int CurrentFirst = int(SettingRanges::UnitCurrent.min / 100);
    static constexpr int CurrentLast = int(SettingRanges::UnitCurrent.max / 100);
    // Result of a sensor check (`flg_i`).
    enum SensorCheck {
        SensorValid = 0,
        SensorLimit = 1,
        SensorOrder = 2,
        SensorResistance = 3,
        SensorOffset = 4,
        SensorChecking = 10
    };

    struct Sensor {
        bool inUse = false;
        QString upper;
        QString lower;
        QString offset;
        QString resistance; // PT100A and PT100B only
    };

    // Every value of the window, as the texts and option indexes it shows.
    struct Values {
        int fan = 0;  // FAN_O: SYNC, 停止, 動作
        int beep = 0; // O_beep: なし, あり
        int lit = 0;  // O_lit: 消灯, 点灯
        QString interval = QStringLiteral("1");
        std::array<Sensor, SensorCount> sensors;
        int preset = PresetFree;
        QString teikou;                        // thermal-unit resistance
        QString current = QStringLiteral("3"); // entry of the current list
        QString logFolder;
        int csvIndex = 0; // 0 未出力, 1 出力
        QString csvPath;
        bool verifyAfterWrite = false; // 書込み後に照合する
        bool serveOn = false;          // 状態をネットワークに公開する
        QString servePort = QStringLiteral("9464");
        bool serveRemote = false; // 他のコンピュータからの接続を許可する
    };

    // Where "書込み後に照合する" is kept ("1" on). Written once it was chosen:
    // a configuration that never had it keeps its keys as they were.
    static constexpr const char *VerifySection = "WRITEVERIFY";
    static constexpr const char *VerifyKey = "para";

    // The values the window shows when it opens. `appDir` is the program folder,
    // shown as the log folder when none is stored. `read(section, key)` answers
    // like IniRead ("ERR" for an absent key; an empty key reads "para").
    static Values load(const std::function<QString(const QString &, const QString &)> &read,
                       const QString &appDir);

    // What the apply needs from the rest of the program.
    struct Context {
        Ini_Operation &ini;
        DetailedSettingsState &state; // flg_csv and flg_i are set
        int &logInterval;             // seconds between status samples
        // Full path of the program that opens spreadsheets, or empty.
        std::function<QString()> spreadsheetProgram;
        std::function<void(const QString &)> setLogdirname;
        // The pause after each sensor write (events serviced).
        std::function<void(double)> pause;
    };

    struct Result {
        bool ok = false;
        int page = SensorPage;   // page to select when not ok
        QString message;         // shown with the title "error" when not ok
        bool csvMissing = false; // no spreadsheet program: CSV output was switched off
    };

    // Checks and writes every value, stopping at the first step that fails; the
    // steps before it stay written.
    static Result ApplySettings(const Values &values, Context &ctx);

    // ---- the rules (SettingRanges) on the text as typed ----

    // Full-width letters, digits, signs and the ideographic space in their
    // half-width forms.
    static QString toHalfWidth(const QString &text);
    // The value of a plain decimal text ("+025.00", "-5", ".5") times 100, when
    // it is exact in hundredths (blanks around it ignored).
    static std::optional<qint64> hundredths(const QString &text);
    // `flg_i` of sensor n for the given texts (limits already "*" when empty).
    static int checkSensor(int n, const Sensor &s);
    // The resistance of the thermal unit: 1.0 ... 6.0 in steps of 0.1.
    static bool validTeikou(const QString &text);
    // The interval as whole seconds 1 ... 60 (0 counts as 1); nothing when invalid.
    static std::optional<int> validInterval(const QString &text);
    // The interval box's rule while typing: a number equal to 0 becomes "1".
    static QString intervalWhileTyping(const QString &text);

    // ---- texts ----
    static QString sensorName(int n);        // "PT100A" ...
    static QString sensorMessage(int flg_i); // second line of a sensor message
    static QString folderMessage();
    static QString teikouMessage();
    static QString intervalMessage();
    static QString csvMissingMessage();
    // After OK; while a log runs it first says that the log keeps its
    // interval (a new one applies from the next log).
    static QString writeQuestion(bool logRunning = false);
    static QString closeQuestion();
    static QString errorTitle();
    static QString confirmTitle();
    static QString writeTitle();
    static QString closeTitle();
    static QString folderPickerTitle();
};
