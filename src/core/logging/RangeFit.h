#pragma once

struct GraphPage;

// "範囲自動": the Y range that holds the page's readings, taken from the two
// range lists (maximum 160 ... -55, minimum 155 ... -60, steps of 5), so the
// range arithmetic and the lists stay as they are.
namespace RangeFit {

// The tightest pair of list entries around the readings of samples
// `page.first` ... `page.last`. Readings beyond the lists get the nearest end
// entries. False (and nothing changed) when the page has no reading.
bool fit(const GraphPage &page, int *max, int *min);
// The same for known lowest and highest readings.
void fitValues(double lowest, double highest, int *max, int *min);

} // namespace RangeFit
