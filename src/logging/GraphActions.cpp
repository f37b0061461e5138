#include "logging/GraphActions.h"

#include "shell/Dialogs.h"
#include "shell/PrintTarget.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPageLayout>
#include <QPainter>
#include <QPrinter>

namespace {

const QString kError = QStringLiteral("error");

// A name typed without an extension gets the one of its kind.
QString withSuffix(const QString &path, const QString &suffix)
{
    return QFileInfo(path).suffix().isEmpty() ? path + QLatin1Char('.') + suffix : path;
}

} // namespace

namespace GraphActions {

QString imageFailText(const QString &path)
{
    return QStringLiteral("画像ファイルを保存できませんでした。\n") +
           QDir::toNativeSeparators(path);
}

QString csvFailText(const QString &path)
{
    return QStringLiteral("CSVファイルを保存できませんでした。\n") + QDir::toNativeSeparators(path);
}

QString pdfSavedText(const QString &path)
{
    return QStringLiteral("PDFファイルを保存しました。\n") + QDir::toNativeSeparators(path);
}

QString saveImage(QWidget *parent, const QImage &image, const QString &folder)
{
    Dialogs &d = Dialogs::instance();
    const QString chosen = d.saveFile(parent, QStringLiteral("PNGファイル (*.png)"), folder);
    if (chosen.isEmpty())
        return {};
    QString path = withSuffix(chosen, QStringLiteral("png"));
    if (!GraphExport::writeImage(path, image)) {
        d.message(parent, imageFailText(path), kError);
        return {};
    }
    return path;
}

QString saveCsv(QWidget *parent, const GraphPage &page, const QString &folder)
{
    Dialogs &d = Dialogs::instance();
    const QString chosen = d.saveFile(parent, QStringLiteral("CSVファイル (*.csv)"), folder);
    if (chosen.isEmpty())
        return {};
    QString path = withSuffix(chosen, QStringLiteral("csv"));
    if (!GraphExport::writeFile(path, GraphExport::csv(page))) {
        d.message(parent, csvFailText(path), kError);
        return {};
    }
    return path;
}

bool printReportTo(QPrinter &printer, const GraphPage &page, const GraphExport::PlotSetup &setup)
{
    printer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Landscape,
                                      QMarginsF(10, 10, 10, 10), QPageLayout::Millimeter));
    printer.setDocName(GraphExport::reportTitle());
    QPainter g;
    if (!g.begin(&printer))
        return false;
    GraphExport::drawReport(g, QRectF(g.viewport()), page, setup, 1, 1);
    return g.end();
}

void printReport(QWidget *parent, const GraphPage &page, const GraphExport::PlotSetup &setup,
                 const QString &folder)
{
    Dialogs &d = Dialogs::instance();
    if (!d.question(parent, QStringLiteral("印刷しますか？"), QStringLiteral("確認"), true))
        return;
    QPrinter printer(QPrinter::HighResolution);
    if (!PrintTarget::choose(parent, printer, folder))
        return;
    const QString pdf =
        printer.outputFormat() == QPrinter::PdfFormat ? printer.outputFileName() : QString();
    // The user agreed to replace it; a file left from before must not pass
    // for this report.
    if (!pdf.isEmpty())
        QFile::remove(pdf);
    const bool printed = printReportTo(printer, page, setup);
    PrintTarget::confirm(parent, printer);
    if (printed && !pdf.isEmpty() && QFileInfo(pdf).isFile())
        d.message(parent, pdfSavedText(pdf), QStringLiteral("確認"));
}

} // namespace GraphActions
