#pragma once

#include <QRect>
#include <QSize>

#include <array>

// Where the three monitoring windows stand in the main window's work area
// (pixels from its top left corner): the sensor log at the top left, the
// status log to its right, the graph below both, filling the rest of the
// area; the live read-out, while open, under the graph across the bottom of
// the area (the graph gives it that room), or, where the area is too low for
// that, in its narrow form beside the graph at its right. Windows are never
// given less than their layouts need, and never
// placed over one another: where the designed places are too close for
// these sizes, a window moves right of or below its neighbour instead.
namespace WindowArrangement {

enum Monitor { SensorLog, StatusLog, Graph, Readout, Monitors };

struct Sizes {
    std::array<QPoint, Monitors> place; // designed top left corners
    std::array<QSize, Monitors> size;   // designed sizes (the graph's: none;
                                        // the read-out's: none while closed)
    std::array<QSize, Monitors> least;  // what each layout needs
    QSize graphMargin;                  // kept free right of and below the graph
    QSize narrowReadout;                // the read-out's narrow form; none without one
};

struct Plan {
    std::array<QRect, Monitors> rect;
    // The work area that holds the whole plan.
    QSize needed;
    bool fits(QSize area) const
    {
        return needed.width() <= area.width() && needed.height() <= area.height();
    }
};

// The designed arrangement in a work area of `area`.
Plan designed(QSize area, const Sizes &sizes);
// The designed arrangement with the read-out in its narrow form at the
// right of the graph, level with its top; the graph gives up that width
// instead of height. Empty (needing nothing) without a narrow form.
Plan besideGraph(QSize area, const Sizes &sizes);
// The windows side by side in one row at their least sizes, for an area too
// small for the designed arrangement.
Plan sideBySide(const Sizes &sizes);
// The work area in which the graph keeps the height it has in `area`
// without the read-out, with the read-out under it.
QSize roomForReadout(QSize area, const Sizes &sizes);
// How much a main window must grow for its work area `area` to hold
// `needed`, at most `room` (what the screen has beside it).
QSize growth(QSize area, QSize needed, QSize room);

} // namespace WindowArrangement
