#include "core/app/LinkWatch.h"

#include "core/link/SerialLink.h"

LinkWatch::LinkWatch(SerialLink &link, QObject *parent) : QObject(parent), m_link(link)
{
    connect(&m_link, &SerialLink::commStateChanged, this, &LinkWatch::onCommState);
    connect(&m_link, &SerialLink::lineReceived, this, &LinkWatch::onLine);
}

QString LinkWatch::noticeText()
{
    return QStringLiteral("KRM-2200との通信が途絶えました。\n"
                          "ケーブルと電源を確認してください。\n"
                          "通信が戻ると記録を再開します。");
}

QString LinkWatch::noticeTitle()
{
    return QStringLiteral("通信異常");
}

QString LinkWatch::lossNote()
{
    return QStringLiteral("通信異常：KRM-2200から応答がありません。");
}

QString LinkWatch::returnNote()
{
    return QStringLiteral("通信復帰：KRM-2200の応答が戻りました。");
}

void LinkWatch::onCommState(bool ok)
{
    if (ok) {
        // A reopened port says nothing about the instrument.
        if (!m_lost && m_view)
            m_view->showCommState(true);
        return;
    }
    if (m_view)
        m_view->showCommState(false);
    if (m_lost || !polling || !polling())
        return;
    m_lost = true;
    m_link.noteSystemLog(lossNote(), now());
    if (m_view)
        m_view->showLossNotice();
}

void LinkWatch::onLine()
{
    if (!m_lost)
        return;
    m_lost = false;
    m_link.noteSystemLog(returnNote(), now());
    if (m_view) {
        m_view->showCommState(true);
        m_view->closeLossNotice();
    }
}

void LinkWatch::pollingStopped()
{
    if (!m_lost)
        return;
    m_lost = false;
    if (m_view)
        m_view->closeLossNotice();
}
