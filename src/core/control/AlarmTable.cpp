#include "core/control/AlarmTable.h"

#include <array>

namespace {

struct Row {
    const char *code;
    const char *message;
    const char *advice;
};

// The texts as the instrument's manual words them, half-width and full-width
// punctuation mixed; "\r\n" separates the two lines of an advice.
#define HW "ハードウェアに問題があります｡\r\n電源を再投入し状況がかわるか試してください｡"
#define RETRY "\r\n再度､実行してみて状況がかわるか試してください｡"
#define FACTORY "工場出荷を行いデータ初期化をねがいます｡"
#define WIRING "ヴェルダの接続を確認してください。"
#define UNUSABLE "制御に使用するセンサが使用不可になっています｡\r\n"

constexpr std::array<Row, 19> Rows{{
    {"001", "001 : 温度センサ・リミットにより動作停止しました",
     "温度センサのリミット設定を見直してください｡"},
    {"003", "003 : インターロックにより制御開始ができません",
     "汎用入力のインターロック設定を見直してください｡"},
    {"004", "004 : 機器の内部温度に異常があります", HW},
    {"005", "005 : ヴェルダ駆動回路が動作していません", HW},
    {"006", "006 : 機器の内部温度に問題があります",
     "0℃以下、もしくは80℃以上です。\r\n暖めるか､もしくは冷ましてからご使用ください｡"},
    {"010", "010 : ヴェルダが断線しています", WIRING},
    {"011", "011 : ヴェルダがショートしています", WIRING},
    {"012", "012 : ヴェルダへ過電流がながれました",
     "ヴェルダが破壊された可能性があります。\r\n電源を再投入し状況がかわるか試してください｡"},
    {"020", "020 : 使用センサの指定に問題があります", UNUSABLE "センサの設定項目を確認ください｡"},
    {"021", "021 : 使用不可のセンサを指定しています",
     UNUSABLE "センサが接続されているか確認ください｡"},
    {"022", "022 : 機器の内部温度計測が実行できません", HW},
    {"023", "023 : ヴェルダ駆動回路に異常があります", HW},
    {"100", "100 : データ保存に失敗しました", "機器情報を書き込む際に異常が発生しました｡" RETRY},
    {"101", "101 : データ読込に失敗しました", "機器情報を読み込む際に異常が発生しました｡" RETRY},
    {"102", "102 : 指示されたパターンは未登録です",
     "パターン登録を行ってから再度､実行してください｡"},
    {"103", "103: 登録パターンに異常があります", "登録されているパターンの情報を確認してください｡"},
    {"104", "104 : データ読込時に問題を発見しました｡", FACTORY},
    {"105", "105 : 保存データに異常を発見しました｡", FACTORY},
    {"700", "700 : アラームテスト", "アラームが発生しています"},
}};

#undef HW
#undef RETRY
#undef FACTORY
#undef WIRING
#undef UNUSABLE

} // namespace

AlarmText LookupAlarm(const QString &code)
{
    for (const Row &row : Rows) {
        if (code == QLatin1String(row.code))
            return {QString::fromUtf8(row.message), QString::fromUtf8(row.advice)};
    }
    return {};
}
