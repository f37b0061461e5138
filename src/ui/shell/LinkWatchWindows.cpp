#include "ui/shell/LinkWatchWindows.h"

#include "core/session/InstrumentSession.h"
#include "ui/shell/Dialogs.h"
#include "ui/shell/StatusCells.h"
#include "ui/shell/WindowHost.h"

#include <QTimer>

LinkWatchWindows::LinkWatchWindows(WindowHost &w)
    : QObject(w.hostWidget()), m_w(w), m_watch(&w.session().linkWatch())
{
    setObjectName(QStringLiteral("LinkWatchWindows"));
    m_watch->setView(this);
    // A run always polls through the log's timer.
    m_watch->polling = [&w] { return w.session().polling() || w.logRecording(); };
}

LinkWatchWindows::~LinkWatchWindows()
{
    if (m_watch)
        m_watch->setView(nullptr);
}

LinkWatchWindows &LinkWatchWindows::of(WindowHost &w)
{
    return *w.hostWidget()->findChild<LinkWatchWindows *>(QStringLiteral("LinkWatchWindows"),
                                                          Qt::FindDirectChildrenOnly);
}

QString LinkWatchWindows::noticeKey()
{
    return QStringLiteral("link");
}

void LinkWatchWindows::showCommState(bool ok)
{
    m_w.setPanelText(5, ok ? commOkText() : commNgText());
}

void LinkWatchWindows::showLossNotice()
{
    Dialogs::instance().showNotice(m_w.hostWidget(), noticeKey(), LinkWatch::noticeText(),
                                   LinkWatch::noticeTitle());
}

void LinkWatchWindows::closeLossNotice()
{
    Dialogs::instance().closeNotice(noticeKey());
}

LinkWatchWindows *registerLinkWatch(WindowHost &w)
{
    return new LinkWatchWindows(w);
}
