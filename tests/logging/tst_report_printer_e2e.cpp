// "レポート印刷" on a computer that knows a printer: a print server of the
// test's own whose one queue writes what it gets to a file. The report goes
// to that queue, or to a PDF chosen in the same choice.

#include "shell/ShellFixture.h"
#include "ui/logging/GraphActions.h"
#include "ui/logging/frmGraph.h"
#include "ui/shell/PrintTarget.h"

#include <QComboBox>
#include <QPrinterInfo>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

namespace {

// A print server on a port of its own, its files in a folder of its own,
// with the queue "krm_file": a backend that copies each job to `output`.
struct PrintServer {
    QTemporaryDir dir;
    QProcess daemon;
    QString server;
    QString output;
    QString failure;

    bool write(const QString &name, const QByteArray &text, bool executable = false)
    {
        QFile f(dir.filePath(name));
        if (!f.open(QIODevice::WriteOnly) || f.write(text) != text.size())
            return false;
        f.close();
        return !executable ||
               f.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                QFile::ReadGroup | QFile::ExeGroup | QFile::ReadOther |
                                QFile::ExeOther);
    }

    bool start()
    {
        const QString cupsd =
            QStandardPaths::findExecutable(QStringLiteral("cupsd"), {QStringLiteral("/usr/sbin")});
        const QString lpadmin = QStandardPaths::findExecutable(QStringLiteral("lpadmin"),
                                                               {QStringLiteral("/usr/sbin")});
        if (cupsd.isEmpty() || lpadmin.isEmpty() || !dir.isValid()) {
            failure = QStringLiteral("cupsd and lpadmin (Debian cups) are needed");
            return false;
        }
        const QString root = dir.path();
        for (const char *sub : {"spool", "cache", "state", "log", "tmp", "out", "bin/backend"})
            QDir(root).mkpath(QString::fromLatin1(sub));
        // The backend runs as the print server's own user: it reaches the output folder.
        QFile::setPermissions(root, QFile::Permissions(0x7755));
        QFile::setPermissions(dir.filePath(QStringLiteral("out")), QFile::Permissions(0x7777));
        QFile::setPermissions(dir.filePath(QStringLiteral("tmp")), QFile::Permissions(0x7777));
        // The system's filters and drivers, and a backend that writes to a file.
        for (const QFileInfo &entry :
             QDir(QStringLiteral("/usr/lib/cups")).entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot))
            if (entry.fileName() != QLatin1String("backend"))
                QFile::link(entry.filePath(), root + QStringLiteral("/bin/") + entry.fileName());
        output = dir.filePath(QStringLiteral("out/job.out"));
        const int port = 20000 + int(QCoreApplication::applicationPid() % 20000);
        server = QStringLiteral("127.0.0.1:%1").arg(port);
        const bool written =
            write(
                QStringLiteral("bin/backend/krmfile"),
                "#!/bin/sh\n"
                "[ $# -eq 0 ] && { echo 'file krmfile \"Unknown\" \"file\"'; exit 0; }\n"
                "out=\"${DEVICE_URI#krmfile:}\"\n"
                "if [ -n \"$6\" ]; then cat \"$6\" > \"$out.part\"; else cat > \"$out.part\"; fi\n"
                "chmod 644 \"$out.part\" && mv \"$out.part\" \"$out\"\n",
                true) &&
            write(QStringLiteral("cupsd.conf"),
                  QStringLiteral("Listen %1\nLogLevel warn\nBrowsing No\nWebInterface No\n"
                                 "DefaultAuthType None\n<Location />\n  Order allow,deny\n"
                                 "  Allow all\n</Location>\n")
                      .arg(server)
                      .toUtf8()) &&
            write(QStringLiteral("cups-files.conf"),
                  QStringLiteral("ServerRoot %1\nServerBin %1/bin\nRequestRoot %1/spool\n"
                                 "CacheDir %1/cache\nStateDir %1/state\nTempDir %1/tmp\n"
                                 "ErrorLog %1/log/error_log\nAccessLog %1/log/access_log\n"
                                 "PageLog %1/log/page_log\n")
                      .arg(root)
                      .toUtf8());
        if (!written) {
            failure = QStringLiteral("the print server's files could not be written");
            return false;
        }
        daemon.start(cupsd, {QStringLiteral("-f"), QStringLiteral("-c"),
                             dir.filePath(QStringLiteral("cupsd.conf")), QStringLiteral("-s"),
                             dir.filePath(QStringLiteral("cups-files.conf"))});
        if (!daemon.waitForStarted(5000)) {
            failure = QStringLiteral("cupsd did not start");
            return false;
        }
        // The queue, once the server listens.
        for (int tries = 0; tries < 50; ++tries) {
            if (daemon.state() != QProcess::Running)
                break;
            QProcess admin;
            admin.start(lpadmin, {QStringLiteral("-h"), server, QStringLiteral("-p"),
                                  QStringLiteral("krm_file"), QStringLiteral("-E"),
                                  QStringLiteral("-v"), QStringLiteral("krmfile:") + output,
                                  QStringLiteral("-m"), QStringLiteral("raw")});
            if (admin.waitForFinished(10000) && admin.exitCode() == 0) {
                qputenv("CUPS_SERVER", server.toLatin1());
                // The queue is the default printer too.
                QProcess::execute(lpadmin, {QStringLiteral("-h"), server, QStringLiteral("-d"),
                                            QStringLiteral("krm_file")});
                return true;
            }
            QTest::qWait(100);
        }
        failure = QStringLiteral("cupsd did not start: ") +
                  QString::fromLocal8Bit(daemon.readAllStandardError()).trimmed();
        return false;
    }

    ~PrintServer()
    {
        if (daemon.state() == QProcess::Running) {
            daemon.terminate();
            if (!daemon.waitForFinished(5000))
                daemon.kill();
            daemon.waitForFinished(2000);
        }
    }
};

QString pdfText(const QString &path)
{
    QProcess p;
    p.start(QStringLiteral("pdftotext"), {path, QStringLiteral("-")});
    p.waitForFinished(30000);
    return QString::fromUtf8(p.readAllStandardOutput())
        .remove(QRegularExpression(QStringLiteral("\\s")));
}

} // namespace

class tst_ReportPrinterE2E : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void toQueueOrPdf();

private:
    PrintServer m_server;
};

void tst_ReportPrinterE2E::initTestCase()
{
    if (!m_server.start())
        QSKIP(qPrintable(m_server.failure));
}

// A log of one page: its report is a summary and its page, to the queue
// chosen or to a PDF; the printers come first, the PDF last.
void tst_ReportPrinterE2E::toQueueOrPdf()
{
    ShellFixture f;
    KRM2200 *w = f.steadyLogWindow();
    QVERIFY(w);
    auto *graph = qobject_cast<frmGraph *>(w->openWindow(QStringLiteral("frmGraph")));
    QVERIFY(graph);
    QString content;
    for (int i = 0; i < 25; ++i)
        if (i < 10 || i > 12)
            content +=
                QStringLiteral("\"00:00:%1\",\"+0%2.00\",\"+024.00\",\"*\",\"+030\",\"0\"\r\n")
                    .arg(i, 2, 10, QLatin1Char('0'))
                    .arg(20 + i);
    const QString log = f.appDir() + QStringLiteral("/2008_01_15_12_30_45.txt");
    QVERIFY(ShellFixture::writeText(log, content));
    QSignalSpy read(graph, &frmGraph::storedLogRead);
    f.dialogs->answerOpenFile(log);
    graph->C_read->click();
    QVERIFY(read.wait(60000));

    f.dialogs->answerQuestion(true);
    f.dialogs->answerChoice(0);
    graph->Report_c->click();
    QCOMPARE(f.dialogs->choices().size(), 1);
    QCOMPARE(f.dialogs->choices().at(0).text, PrintTarget::destinationQuestion());
    QCOMPARE(f.dialogs->choices().at(0).options,
             QStringList({QStringLiteral("krm_file"), QStringLiteral("PDFファイルに保存")}));
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(m_server.output).size() > 0, 30000);
    QFile job(m_server.output);
    QVERIFY(job.open(QIODevice::ReadOnly));
    QVERIFY(job.read(4) == "%PDF");
    job.close();
    QString text = pdfText(m_server.output);
    for (const QString &part : {QStringLiteral("ログの概要"), QStringLiteral("欠測区間"),
                                QStringLiteral("サンプル：0～24"), QStringLiteral("2/2")})
        QVERIFY2(text.contains(part), qPrintable(part + QStringLiteral(" in ") + text));

    // "通常使うプリンタへ印刷" goes to the default queue without asking where.
    QVERIFY(QFile::remove(m_server.output));
    QCOMPARE(QPrinterInfo::defaultPrinterName(), QStringLiteral("krm_file"));
    f.dialogs->answerQuestion(true);
    graph->Print_c->click();
    QCOMPARE(f.dialogs->choices().size(), 1);
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(m_server.output).size() > 0, 30000);

    const QString pdf = f.appDir() + QStringLiteral("/report.pdf");
    f.dialogs->answerQuestion(true);
    f.dialogs->answerChoice(1);
    f.dialogs->answerSaveFile(pdf);
    graph->Report_c->click();
    QCOMPARE(f.dialogs->lastMessage().text, GraphActions::pdfSavedText(pdf));
    text = pdfText(pdf);
    QVERIFY2(text.contains(QStringLiteral("欠測区間")), qPrintable(text));
}

QTEST_MAIN(tst_ReportPrinterE2E)
#include "tst_report_printer_e2e.moc"
