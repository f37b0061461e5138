#include "core/session/StatusEffects.h"

#include "core/app/WindowState.h"
#include "core/config/Ini_Operation.h"
#include "core/config/Parameter.h"
#include "core/link/Reception_Show.h"

namespace StatusEffects {

void storeSample(Parameter &p, int n, const StatusReport &report)
{
    if (p.SenValues.size() < n + 3)
        p.SenValues.resize(n + 3);
    p.SenValues.set(n, report.temps.mid(0, 4));
}

bool updateTarget(Parameter &p, const WindowState &state, Ini_Operation &cfg, int n,
                  const StatusReport &report)
{
    // A new step is being executed: its set temperature becomes the target
    // line. An idle instrument runs nothing: no target (it reports step 0
    // then, and STEP0's temperature would stand as a target no run is
    // heading for). Sample 0 may be the reply to the query a fixed-value
    // run's log starts with, sent just before the run: its target stays
    // unless a run ended.
    const QString code = report.code();
    const QString step = report.status.at(4);
    const bool wasRunning =
        state.statuslog.nj_l == Reception_Show::statusText(QStringLiteral("02"));
    // A pattern that starts at the step the idle instrument already reported
    // (step 0) changes no step: a running pattern without a target takes its
    // step's all the same. A fixed-value run is reported as step 0 too; its
    // target is its own set temperature.
    const bool patternWithoutTarget =
        code == QLatin1String("02") && p.TargetLineText.isEmpty() && !state.fix.lastRunFixed;
    if (code == QLatin1String("00")) {
        if (!p.TargetLineText.isEmpty() && (n != 0 || wasRunning)) {
            p.TargetLineText.clear();
            return true;
        }
    } else if (code == QLatin1String("02") && n != 0 &&
               (state.statuslog.js_l != step || patternWithoutTarget)) {
        // Only a running instrument heads for its step's temperature: an
        // alarm reports step 0 as it stops, and STEP0's temperature is no
        // target then.
        const QStringList fields =
            cfg.IniRead(QStringLiteral("STEP"), QStringLiteral("STEP") + step)
                .split(QLatin1Char(' '));
        if (fields.size() > 3) {
            p.TargetLineText = fields.at(3);
            return true;
        }
    }
    return false;
}

void updateLabels(WindowState &state, const StatusReport &report)
{
    StatuslogState &labels = state.statuslog;
    const QString code = report.code();
    const QString text = Reception_Show::statusText(code);
    if (!text.isNull())
        labels.nj_l = text;
    labels.no_l = report.status.at(1);
    labels.sd_l = report.status.at(2);
    labels.sa_l = report.status.at(3);
    labels.js_l = report.status.at(4);
    labels.nj_red = code == QLatin1String("04");
}

} // namespace StatusEffects
