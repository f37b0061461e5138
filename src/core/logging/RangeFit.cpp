#include "core/logging/RangeFit.h"

#include "core/logging/GraphReadout.h"
#include "core/logging/GraphScale.h"

#include <cmath>

namespace RangeFit {

namespace {

constexpr int Step = 5;
constexpr int TopMax = 160;
constexpr int BottomMax = -55;
constexpr int TopMin = 155;
constexpr int BottomMin = -60;

} // namespace

void fitValues(double lowest, double highest, int *max, int *min)
{
    // Far beyond the lists is as good as at their ends.
    lowest = std::clamp(lowest, -1000.0, 1000.0);
    highest = std::clamp(highest, -1000.0, 1000.0);
    int hi = int(std::ceil(highest / Step)) * Step;
    int lo = int(std::floor(lowest / Step)) * Step;
    hi = std::clamp(hi, BottomMax, TopMax);
    lo = std::clamp(lo, BottomMin, TopMin);
    // A flat page on an entry, or a page wholly beyond one end: one step wide.
    if (lo >= hi) {
        if (lo + Step <= TopMax)
            hi = lo + Step;
        else
            lo = hi - Step;
    }
    *max = hi;
    *min = lo;
}

bool fit(const GraphPage &page, int *max, int *min)
{
    if (!page.values)
        return false;
    double lowest = 0.0;
    double highest = 0.0;
    bool any = false;
    for (qint64 i = std::max<qint64>(page.first, 0); i <= page.last; ++i) {
        for (int k = 0; k < 4; ++k) {
            double v = 0.0;
            if (sampleValue(page.values(k, i), &v) != SampleKind::Value)
                continue;
            if (!any) {
                lowest = highest = v;
                any = true;
            } else {
                lowest = std::min(lowest, v);
                highest = std::max(highest, v);
            }
        }
    }
    if (!any)
        return false;
    fitValues(lowest, highest, max, min);
    return true;
}

} // namespace RangeFit
