#pragma once

#include <QString>

// Titles and texts the main window's messages share.
namespace MainWindowTexts {

inline QString errorTitle()
{
    return QStringLiteral("error");
}

inline QString confirmTitle()
{
    return QStringLiteral("確認");
}

inline QString transferRetryText()
{
    return QStringLiteral("本体との接続を確認し、再度実行してください。");
}

} // namespace MainWindowTexts
