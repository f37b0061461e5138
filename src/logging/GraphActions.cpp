#include "logging/GraphActions.h"

#include "shell/Dialogs.h"
#include "shell/PrintTarget.h"

#include <QDir>
#include <QFileInfo>
#include <QPageLayout>
#include <QPagedPaintDevice>
#include <QPainter>

namespace {

const QString kError = QStringLiteral("error");

// A name typed without an extension gets the one of its kind.
QString withSuffix(const QString &path, const QString &suffix)
{
    return QFileInfo(path).suffix().isEmpty() ? path + QLatin1Char('.') + suffix : path;
}

QString withReason(const QString &reason)
{
    return reason.isEmpty() ? QString() : QLatin1Char('\n') + reason;
}

} // namespace

namespace GraphActions {

QString imageFailText(const QString &path, const QString &reason)
{
    return QStringLiteral("画像ファイルを保存できませんでした。\n") +
           QDir::toNativeSeparators(path) + withReason(reason);
}

QString csvFailText(const QString &path, const QString &reason)
{
    return QStringLiteral("CSVファイルを保存できませんでした。\n") +
           QDir::toNativeSeparators(path) + withReason(reason);
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
    QString reason;
    if (!GraphExport::writeImage(path, image, &reason)) {
        d.message(parent, imageFailText(path, reason), kError);
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
    QString reason;
    if (!GraphExport::writeFile(path, GraphExport::csv(page), &reason)) {
        d.message(parent, csvFailText(path, reason), kError);
        return {};
    }
    return path;
}

bool printReportTo(QPagedPaintDevice &printer, const GraphPage &page,
                   const GraphExport::PlotSetup &setup)
{
    printer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Landscape,
                                      QMarginsF(10, 10, 10, 10), QPageLayout::Millimeter));
    PrintTarget::setTitle(printer, GraphExport::reportTitle());
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
    PrintTarget::Job job;
    if (!PrintTarget::choose(parent, job, folder))
        return;
    const bool printed = printReportTo(job.device(), page, setup);
    // A file is written only when the whole report is in it.
    if (PrintTarget::finish(parent, job) && printed && !job.pdfPath().isEmpty())
        d.message(parent, pdfSavedText(job.pdfPath()), QStringLiteral("確認"));
}

} // namespace GraphActions
