#pragma once

#include <QGuiApplication>
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

// Position of a window of `window` pixels centred in an area of `area`
// pixels; 0 where the area is not larger than the window.
inline int centredOrigin(int area, int window)
{
    return area > window ? (area - window) / 2 : 0;
}

} // namespace Twips
