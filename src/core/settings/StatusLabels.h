#pragma once

#include <QString>

#include <array>

struct Status2Report;

// The value labels of the status window ("ステータス") and, the first five of
// them, of the status-log window: their names, the captions in front of them,
// and what a status reply puts into them.
namespace StatusLabels {

constexpr int Count = 9;
// The status-log window shows the status line only.
constexpr int StatuslogCount = 5;
using Values = std::array<QString, Count>;

// nj_l, no_l, sd_l, sa_l, js_l, pta_l, ptb1_l, s1_l, s2_l.
QString name(int i);
QString caption(int i);

// Caption of the status window the menu opens.
QString windowTitle();
// The status window beside the temperature log during a log: named apart
// from the other, as "温度ログ" is, so that the two are told apart by ear.
QString logWindowTitle();

// The status window's labels from a status-window reply: the status text,
// status fields 1 to 4, then temperature fields 0 to 3.
Values fromReply(const Status2Report &reply);

} // namespace StatusLabels

// What the status window shows. Filled by a status-window reply even while
// the window is closed, shown when it opens, and forgotten when it closes, so
// a later opening never presents old readings as current ones.
struct StatusWindowState {
    bool filled = false;
    StatusLabels::Values values;
};
