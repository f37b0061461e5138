#include "ui/shell/WindowRegistry.h"

#include "ui/shell/SubWindowPlace.h"
#include "ui/shell/SubWindows.h"

#include <QLoggingCategory>
#include <QMdiArea>
#include <QMdiSubWindow>

Q_LOGGING_CATEGORY(lcWindows, "krm.shell.windows")

void WindowRegistry::add(const QString &name, WindowHost::WindowFactory factory, QSize outerTwips)
{
    m_factories.insert(name, Registered{std::move(factory), outerTwips});
}

QStringList WindowRegistry::names() const
{
    QStringList names = m_factories.keys();
    names.sort();
    return names;
}

QWidget *WindowRegistry::loaded(const QString &name) const
{
    const QPointer<QMdiSubWindow> sub = m_loaded.value(name);
    if (!sub || sub->isHidden())
        return nullptr;
    return sub->widget();
}

QWidget *WindowRegistry::open(const QString &name, WindowHost &host)
{
    if (QWidget *w = loaded(name)) {
        showChild(w);
        return w;
    }
    const auto it = m_factories.constFind(name);
    if (it == m_factories.constEnd()) {
        qCDebug(lcWindows) << "no window" << name;
        return nullptr;
    }
    QWidget *widget = it->factory(host);
    if (!widget)
        return nullptr;
    if (widget->objectName().isEmpty())
        widget->setObjectName(name);
    QMdiSubWindow *sub = m_area->addSubWindow(widget);
    sub->setObjectName(name + QStringLiteral("_sub"));
    sub->setAttribute(Qt::WA_DeleteOnClose);
    SubWindows::sizeNew(sub, name, it->outerTwips);
    SubWindowPlace::keepInside(sub);
    m_loaded.insert(name, sub);
    sub->show();
    showChild(widget);
    SubWindows::keepOwnSize(sub, name);
    return widget;
}

bool WindowRegistry::unload(const QString &name)
{
    const QPointer<QMdiSubWindow> sub = m_loaded.value(name);
    if (!sub || sub->isHidden()) {
        m_loaded.remove(name);
        return true;
    }
    if (!sub->close())
        return false;
    m_loaded.remove(name);
    return true;
}

void WindowRegistry::unloadAll()
{
    const QStringList names = m_loaded.keys();
    for (const QString &name : names)
        unload(name);
}

void WindowRegistry::showChild(QWidget *child)
{
    if (!child)
        return;
    auto *sub = qobject_cast<QMdiSubWindow *>(child->parentWidget());
    if (!sub) {
        child->show();
        child->raise();
        return;
    }
    if (sub->isMinimized()) {
        sub->showNormal();
    } else {
        sub->show();
        sub->raise();
    }
    m_area->setActiveSubWindow(sub);
}
