// Every writer of the program on a file system that is really full (a small
// tmpfs, filled): each refuses, keeps the file it was to replace or extend as
// it was, leaves nothing half-written beside it, and tells the user the
// system's reason. A flush to the disk that fails, which no full disk shows,
// goes through DiskFile's one fault seam.

#include "ShellFixture.h"
#include "core/app/FileCopy.h"
#include "core/config/DiskFile.h"
#include "core/logging/LOG_Handling.h"
#include "core/logging/LogFile.h"
#include "core/settings/MemoBlocks.h"
#include "ui/logging/GraphActions.h"

#include <QPrinterInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>

#include <cerrno>
#include <functional>

#include <unistd.h>

namespace {

const QString kFull = QStringLiteral("ディスクの空き容量が不足しています。");

QByteArray bytesOf(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QStringList filesIn(const QString &dir)
{
    return QDir(dir).entryList(QDir::Files | QDir::Hidden, QDir::Name);
}

struct Rig;
using Writer = std::function<QString(Rig &)>;

// A program folder with a main window, and a small file system mounted in it.
struct Rig {
    ShellFixture fx;
    KRM2200 *w = nullptr;
    QString disk;
    bool mounted = false;
    int fault = 0; // 0: a full disk; otherwise the error of a failing flush
    // The file a writer must leave as it was; `old` is empty for a file
    // that did not exist.
    QString target;
    QByteArray old;
    QStringList besideTarget;

    Rig()
    {
        disk = fx.appDir() + QStringLiteral("/disk");
        QDir().mkpath(disk);
        const long page = ::sysconf(_SC_PAGESIZE);
        mounted = ::geteuid() == 0 &&
                  QProcess::execute(QStringLiteral("mount"),
                                    {QStringLiteral("-t"), QStringLiteral("tmpfs"),
                                     QStringLiteral("-o"), QStringLiteral("size=%1").arg(16 * page),
                                     QStringLiteral("tmpfs"), disk}) == 0;
        fx.writeCompleteConfig(fx.iniPath());
        w = fx.makeWindow();
        ini().setWorkingFile(fx.iniPath());
        w->UnlockControls();
    }

    ~Rig()
    {
        fx.window.reset(); // closes the system log, which may be on the disk
        if (mounted && QProcess::execute(QStringLiteral("umount"), {disk}) != 0)
            QProcess::execute(QStringLiteral("umount"), {QStringLiteral("-l"), disk});
    }

    // Notes what `path` holds now, then fills the disk to its last byte or
    // arms the failing flush.
    void fill(const QString &path)
    {
        target = path;
        old = bytesOf(path);
        if (fault) {
            DiskFile::failNextSync(fault);
        } else {
            QFile filler(disk + QStringLiteral("/filler"));
            filler.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered);
            const QByteArray block(4096, 'f');
            while (filler.write(block) == block.size()) {
            }
            while (filler.write("f", 1) == 1) {
            }
        }
        besideTarget = filesIn(QFileInfo(path).absolutePath());
    }

    // A file on the disk whose last page has `room` bytes left, so that a
    // longer write first fits in part.
    QString fileWithRoom(const QString &name, qint64 room)
    {
        const qint64 page = ::sysconf(_SC_PAGESIZE);
        QString path = disk + QLatin1Char('/') + name;
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        f.write(QByteArray(page - room - 2, 'o') + "\r\n");
        return path;
    }

    QString lastTold() const
    {
        const auto records = fx.dialogs->records();
        return records.isEmpty() ? QString() : records.constLast().text;
    }
};

GraphPage twoSamples()
{
    GraphPage page;
    page.values = [](int, qint64) { return QStringLiteral("+025.00"); };
    page.elapsed = [](qint64 i) { return i; };
    page.interval = 1;
    page.last = 1;
    return page;
}

} // namespace

Q_DECLARE_METATYPE(Writer)

class tst_FullDisk : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
    void writerRefusesAndKeepsFile_data();
    void writerRefusesAndKeepsFile();
    void csvRepairMendsCopyOnceThereIsRoom();
};

void tst_FullDisk::writerRefusesAndKeepsFile_data()
{
    QTest::addColumn<Writer>("write");
    QTest::addColumn<int>("fault");

    const Writer workingFile = [](Rig &r) {
        ini().setWorkingFile(r.disk + QStringLiteral("/KRM.ini"));
        ShellFixture::writeCompleteConfig(ini().workingFile());
        r.fill(ini().workingFile());
        if (ini().IniWrite(QStringLiteral("BEEP"), QString(), QStringLiteral("0")))
            return QStringLiteral("written");
        return r.fx.dialogs->notices().value(0).text;
    };
    QTest::newRow("working file") << workingFile << 0;
    QTest::newRow("working file, flush fails") << workingFile << EIO;

    QTest::newRow("開く") << Writer([](Rig &r) {
        const QString set = r.fx.appDir() + QStringLiteral("/set.ini");
        ShellFixture::writeCompleteConfig(set, QStringLiteral("0"));
        ini().setWorkingFile(r.disk + QStringLiteral("/KRM.ini"));
        ShellFixture::writeCompleteConfig(ini().workingFile());
        r.fill(ini().workingFile());
        r.fx.dialogs->answerOpenFile(set);
        r.w->file_open();
        return r.lastTold();
    }) << 0;

    // A read the instrument answers in full: the disk is told, never the
    // connection.
    QTest::newRow("本体読込") << Writer([](Rig &r) {
        if (!r.fx.startSim())
            return QStringLiteral("no simulator");
        r.w->session().setForcedDevice(r.fx.sim->devicePath());
        r.w->session().link().OpenPort(QStringLiteral("1"));
        ini().setWorkingFile(r.disk + QStringLiteral("/KRM.ini"));
        ShellFixture::writeCompleteConfig(ini().workingFile());
        r.fill(ini().workingFile());
        r.w->Toolbar1_ButtonClick(QStringLiteral("READ"));
        // Once, in one box, with the file's reason.
        const auto told = r.fx.dialogs->records();
        if (told.size() != 1)
            return QStringLiteral("told %1 times").arg(told.size());
        const QString all = told.constFirst().text;
        return all.contains(QStringLiteral("接続")) ||
                       !all.startsWith(
                           QStringLiteral("本体の設定を設定ファイルに保存できませんでした。"))
                   ? QStringLiteral("told as a failed connection")
                   : all;
    }) << 0;

    QTest::newRow("名前をつけて保存") << Writer([](Rig &r) {
        const QString target = r.disk + QStringLiteral("/set.ini");
        ShellFixture::writeText(target, QStringLiteral("an older set"));
        r.fill(target);
        r.fx.dialogs->answerSaveFile(target);
        r.w->file_save();
        return r.lastTold();
    }) << 0;

    const Writer logLine = [](Rig &r) {
        LogFile log;
        QString failed;
        if (!log.open(r.disk + QStringLiteral("/LOG"), QDateTime::currentDateTime(), &failed))
            return QStringLiteral("not opened");
        log.writeLine(QByteArray(::sysconf(_SC_PAGESIZE) - 12, 'o') + "\r\n");
        r.fill(log.TxtLogPath);
        QString reason;
        return log.writeLine(LogFile::formatLine(QStringLiteral("00:00:01"), {}, {}), &reason)
                   ? QStringLiteral("written")
                   : LOG_Handling::writeFailText(log.TxtLogPath, reason);
    };
    QTest::newRow("text log line") << logLine << 0;

    QTest::newRow("CSV copy at the stop") << Writer([](Rig &r) {
        LogFile log;
        QString failed;
        QString reason;
        if (!log.open(r.disk + QStringLiteral("/LOG"), QDateTime::currentDateTime(), &failed))
            return QStringLiteral("not opened");
        log.writeLine(QByteArray(5000, 'o') + "\r\n");
        const QString csv = r.disk + QStringLiteral("/LOG/CSV_DATA/") +
                            QFileInfo(log.TxtLogPath).dir().dirName() + QLatin1Char('/') +
                            log.LogStem + QStringLiteral(".csv");
        r.fill(csv);
        return log.close(true, &failed, &reason) ? QStringLiteral("written")
                                                 : LOG_Handling::csvFailText(failed, reason);
    }) << 0;

    const Writer memo = [](Rig &r) {
        const QString path = r.fileWithRoom(QStringLiteral("log.txt"), 10);
        r.fill(path);
        QString reason;
        return MemoBlocks::appendToLog(path, QString(3000, u'メ'), &reason)
                   ? QStringLiteral("written")
                   : reason;
    };
    QTest::newRow("memo") << memo << 0;
    QTest::newRow("memo, flush fails") << memo << EIO;

    QTest::newRow("CSV export") << Writer([](Rig &r) {
        const QString target = r.disk + QStringLiteral("/page.csv");
        ShellFixture::writeText(target, QStringLiteral("an older export"));
        r.fill(target);
        r.fx.dialogs->answerSaveFile(target);
        GraphActions::saveCsv(r.w, twoSamples(), r.disk);
        return r.lastTold();
    }) << 0;

    QTest::newRow("PNG export") << Writer([](Rig &r) {
        const QString target = r.disk + QStringLiteral("/page.png");
        ShellFixture::writeText(target, QStringLiteral("an older picture"));
        r.fill(target);
        r.fx.dialogs->answerSaveFile(target);
        QImage image(200, 200, QImage::Format_RGB32);
        image.fill(Qt::darkCyan);
        GraphActions::saveImage(r.w, image, r.disk);
        return r.lastTold();
    }) << 0;

    QTest::newRow("PDF report") << Writer([](Rig &r) {
        const QString target = r.disk + QStringLiteral("/report.pdf");
        ShellFixture::writeText(target, QStringLiteral("an older report"));
        r.fill(target);
        r.fx.dialogs->answerQuestion(true);
        r.fx.dialogs->answerQuestion(true);
        r.fx.dialogs->answerSaveFile(target);
        GraphActions::printReport(r.w, twoSamples(), {}, r.disk);
        return r.lastTold();
    }) << 0;

    QTest::newRow("system log") << Writer([](Rig &r) {
        const QString path = r.disk + QStringLiteral("/system.txt");
        r.w->session().link().openSystemLog(path);
        r.w->session().link().noteSystemLog(QString(::sysconf(_SC_PAGESIZE) - 40, u'o'));
        r.fill(path);
        r.w->session().link().noteSystemLog(QString(100, u'x'));
        return r.fx.dialogs->notices().value(0).text;
    }) << 0;
}

void tst_FullDisk::writerRefusesAndKeepsFile()
{
    QFETCH(Writer, write);
    QFETCH(int, fault);
    Rig r;
    if (!r.mounted)
        QSKIP("a small tmpfs cannot be mounted here (it needs root): the full disk is not shown");
    if (QTest::currentDataTag() == QLatin1String("PDF report") &&
        !QPrinterInfo::availablePrinters().isEmpty())
        QSKIP("a printer is installed: the report would be printed on it");
    r.fault = fault;
    const QString told = write(r);
    const QString reason = fault ? DiskFile::reasonText(fault) : kFull;
    QVERIFY2(told.contains(reason), qPrintable(told));
    QVERIFY(!r.target.isEmpty());
    QCOMPARE(bytesOf(r.target), r.old);
    QCOMPARE(QFileInfo::exists(r.target), !r.old.isEmpty());
    // Nothing half-written beside it.
    QCOMPARE(filesIn(QFileInfo(r.target).absolutePath()), r.besideTarget);
}

// A CSV copy the full disk cut stays until there is room, and is then made
// again at the next start; a copy that ends where the log's memo begins is
// whole.
void tst_FullDisk::csvRepairMendsCopyOnceThereIsRoom()
{
    Rig r;
    if (!r.mounted)
        QSKIP("a small tmpfs cannot be mounted here (it needs root): the full disk is not shown");
    const QString logs = r.disk + QStringLiteral("/LOG");
    const QByteArray samples = QByteArray(3000, 's') + "\r\n";
    const QByteArray memo = MemoBlocks::logRecords(QStringLiteral("メモ"));
    const QString cut = QStringLiteral("/2026_01_01/2026_01_01_10_00_00");
    const QString withMemo = QStringLiteral("/2026_01_01/2026_01_01_11_00_00");
    ShellFixture::writeText(logs + QStringLiteral("/TXT_DATA") + cut + QStringLiteral(".txt"),
                            QString::fromLatin1(samples));
    ShellFixture::writeText(logs + QStringLiteral("/CSV_DATA") + cut + QStringLiteral(".csv"),
                            QStringLiteral("ss"));
    ShellFixture::writeText(logs + QStringLiteral("/TXT_DATA") + withMemo + QStringLiteral(".txt"),
                            QString::fromUtf8(samples + memo));
    const QString memoCopy = logs + QStringLiteral("/CSV_DATA") + withMemo + QStringLiteral(".csv");
    ShellFixture::writeText(memoCopy, QString::fromLatin1(samples));
    const QString cutCopy = logs + QStringLiteral("/CSV_DATA") + cut + QStringLiteral(".csv");
    r.fill(cutCopy);

    QList<LogFile::MadeCopy> made = LogFile::makeMissingCsvCopies(logs);
    QCOMPARE(made.size(), 1);
    QCOMPARE(made.at(0).csvPath, cutCopy);
    QCOMPARE(made.at(0).error, kFull);
    QCOMPARE(bytesOf(cutCopy), QByteArray("ss"));

    QVERIFY(QFile::remove(r.disk + QStringLiteral("/filler")));
    made = LogFile::makeMissingCsvCopies(logs);
    QCOMPARE(made.size(), 1);
    QCOMPARE(made.at(0).error, QString());
    QCOMPARE(bytesOf(cutCopy), samples);
    QCOMPARE(bytesOf(memoCopy), samples);
    QVERIFY(LogFile::makeMissingCsvCopies(logs).isEmpty());
}

QTEST_MAIN(tst_FullDisk)
#include "tst_full_disk.moc"
