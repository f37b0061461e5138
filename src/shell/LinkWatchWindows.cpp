#include "shell/LinkWatchWindows.h"

#include "logging/LoggingWindows.h"
#include "shell/Dialogs.h"
#include "shell/KRM2200.h"
#include "shell/StatusCells.h"

#include <QTimer>

LinkWatchWindows::LinkWatchWindows(KRM2200 &w) : QObject(&w), m_w(w), m_watch(w.link(), this)
{
    setObjectName(QStringLiteral("LinkWatchWindows"));
    m_watch.setView(this);
    // A run always polls through the log's timer.
    m_watch.polling = [&w] { return w.Log_Timer->isActive() || w.logRecording(); };
}

LinkWatchWindows::~LinkWatchWindows()
{
    m_watch.setView(nullptr);
}

LinkWatchWindows &LinkWatchWindows::of(KRM2200 &w)
{
    return *w.findChild<LinkWatchWindows *>(QStringLiteral("LinkWatchWindows"),
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
    Dialogs::instance().showNotice(&m_w, noticeKey(), LinkWatch::noticeText(),
                                   LinkWatch::noticeTitle());
}

void LinkWatchWindows::closeLossNotice()
{
    Dialogs::instance().closeNotice(noticeKey());
}

void registerLinkWatch(KRM2200 &w)
{
    auto *watch = new LinkWatchWindows(w);
    QObject::connect(&LoggingWindows::of(w).log(), &LOG_Handling::logStopped, &watch->watch(),
                     &LinkWatch::pollingStopped);
}
