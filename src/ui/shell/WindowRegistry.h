#pragma once

#include "ui/shell/WindowHost.h"

#include <QHash>
#include <QPointer>
#include <QSize>
#include <QString>
#include <QStringList>

class QMdiArea;
class QMdiSubWindow;
class QWidget;

// The windows a host knows by name and the ones loaded in its work area: a
// window's widget is made when it is opened and destroyed when it is closed
// (the state it must keep lives in WindowState).
class WindowRegistry {
public:
    explicit WindowRegistry(QMdiArea *area) : m_area(area) {}

    void add(const QString &name, WindowHost::WindowFactory factory, QSize outerTwips);
    bool contains(const QString &name) const { return m_factories.contains(name); }
    // Every registered name, sorted.
    QStringList names() const;

    // Loads the window through its factory if needed and shows it; nullptr
    // when no such window is registered.
    QWidget *open(const QString &name, WindowHost &host);
    // The widget of a loaded window, or nullptr.
    QWidget *loaded(const QString &name) const;
    // Closes the window if loaded (its close handler may ask about pending
    // changes). False when the window refused to close.
    bool unload(const QString &name);
    void unloadAll();
    // Restores a minimised child, otherwise brings it to the front.
    void showChild(QWidget *child);

private:
    struct Registered {
        WindowHost::WindowFactory factory;
        QSize outerTwips;
    };
    QMdiArea *m_area;
    QHash<QString, Registered> m_factories;
    QHash<QString, QPointer<QMdiSubWindow>> m_loaded;
};
