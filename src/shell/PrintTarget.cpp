#include "shell/PrintTarget.h"

#include "shell/Dialogs.h"

#include <QFileInfo>
#include <QPrinter>
#include <QPrinterInfo>

namespace PrintTarget {

bool choose(QWidget *parent, QPrinter &printer, const QString &folder)
{
    if (!QPrinterInfo::defaultPrinter().isNull() || !QPrinterInfo::availablePrinters().isEmpty())
        return true;
    Dialogs &d = Dialogs::instance();
    if (!d.question(parent,
                    QStringLiteral("プリンタが見つかりません。\nPDFファイルに保存しますか？"),
                    QStringLiteral("確認"), true))
        return false;
    const QString path = d.saveFile(parent, QStringLiteral("PDFファイル (*.pdf)"), folder);
    if (path.isEmpty())
        return false;
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(path);
    return true;
}

void confirm(QWidget *parent, const QPrinter &printer)
{
    const QString path = printer.outputFileName();
    if (printer.outputFormat() != QPrinter::PdfFormat || path.isEmpty())
        return;
    if (!QFileInfo(path).isFile())
        Dialogs::instance().message(parent,
                                    QStringLiteral("PDFファイルを保存できませんでした。\n") + path,
                                    QStringLiteral("error"));
}

} // namespace PrintTarget
