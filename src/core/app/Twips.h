#pragma once

#include <QGuiApplication>
#include <QMargins>
#include <QScreen>
#include <QSize>

#include <cmath>

// Geometry is kept in twips (1/1440 inch) as the windows were laid out; this
// is the one place that turns it into pixels, at the screen's logical DPI.
namespace Twips {

constexpr double PerInch = 1440.0;

inline double logicalDpiX(const QScreen *screen = nullptr)
{
    if (!screen && qGuiApp)
        screen = QGuiApplication::primaryScreen();
    return screen ? screen->logicalDotsPerInchX() : 96.0;
}

inline double logicalDpiY(const QScreen *screen = nullptr)
{
    if (!screen && qGuiApp)
        screen = QGuiApplication::primaryScreen();
    return screen ? screen->logicalDotsPerInchY() : 96.0;
}

inline int toPixelsX(double twips, const QScreen *screen = nullptr)
{
    return int(std::lround(twips * logicalDpiX(screen) / PerInch));
}

inline int toPixelsY(double twips, const QScreen *screen = nullptr)
{
    return int(std::lround(twips * logicalDpiY(screen) / PerInch));
}

inline QSize toPixels(double widthTwips, double heightTwips, const QScreen *screen = nullptr)
{
    return QSize(toPixelsX(widthTwips, screen), toPixelsY(heightTwips, screen));
}

inline double fromPixelsX(int pixels, const QScreen *screen = nullptr)
{
    return pixels * PerInch / logicalDpiX(screen);
}

inline double fromPixelsY(int pixels, const QScreen *screen = nullptr)
{
    return pixels * PerInch / logicalDpiY(screen);
}

// The pixel size of a window laid out at `widthTwips` x `heightTwips`. It
// never falls below `layoutMinimum`: the designed sizes were made for other
// fonts, and a window smaller than its contents clips text and stacks
// controls on top of each other.
inline QSize windowPixels(double widthTwips, double heightTwips, QSize layoutMinimum,
                          const QScreen *screen = nullptr)
{
    return toPixels(widthTwips, heightTwips, screen).expandedTo(layoutMinimum);
}

// The same for a size that includes the window's frame and caption, as
// top-level windows are measured: the result is the inside size, given the
// frame's `margins`.
inline QSize innerPixels(double outerWidthTwips, double outerHeightTwips, QMargins margins,
                         QSize layoutMinimum, const QScreen *screen = nullptr)
{
    const QSize outer = toPixels(outerWidthTwips, outerHeightTwips, screen);
    const QSize inner(outer.width() - margins.left() - margins.right(),
                      outer.height() - margins.top() - margins.bottom());
    return inner.expandedTo(layoutMinimum);
}

// Gives a widget its designed size, grown to its layout's minimum where that
// is larger. (A template, so that this header needs no widget module.)
template <class Widget> void resizeWindow(Widget *window, double widthTwips, double heightTwips)
{
    const QSize least = window->minimumSizeHint().expandedTo(window->minimumSize());
    window->resize(windowPixels(widthTwips, heightTwips, least, window->screen()));
}

// Position of a window of `window` pixels centred in an area of `area`
// pixels; 0 where the area is not larger than the window.
inline int centredOrigin(int area, int window)
{
    return area > window ? (area - window) / 2 : 0;
}

} // namespace Twips
