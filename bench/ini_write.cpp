// Times the configuration file on a full parameter set: one key written, the
// full-set check and one read; the check "開く" makes of a set; and how soon a
// 200 MB file that is neither a set nor a log is refused by "開く" and by the
// graph's stored-log read. Prints figures only; nothing passes or fails.
#include "core/app/ConfigSet.h"
#include "core/config/IniDocument.h"
#include "core/config/IniFile.h"
#include "core/config/Ini_Operation.h"
#include "core/logging/StoredLog.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

struct Figures {
    double median = 0;
    double p95 = 0;
};

Figures timeRuns(int runs, const std::function<void(int)> &body)
{
    std::vector<double> us;
    us.reserve(runs);
    QElapsedTimer timer;
    for (int i = 0; i < runs; ++i) {
        timer.start();
        body(i);
        us.push_back(timer.nsecsElapsed() / 1000.0);
    }
    std::sort(us.begin(), us.end());
    return {us[us.size() / 2], us[std::min(us.size() - 1, us.size() * 95 / 100)]};
}

void print(const char *name, const Figures &f)
{
    std::printf("%s_median_us %.1f\n%s_p95_us %.1f\n", name, f.median, name, f.p95);
}

// Every key of a full configuration, in the order a first start writes them.
void writeFullSet(Ini_Operation &op)
{
    op.IniWrite(QStringLiteral("LOGDIRPATH"), QStringLiteral("path"),
                QStringLiteral("/home/user/KRM2200/LOG"));
    op.IniWrite(QStringLiteral("COM"), QStringLiteral("para"), QStringLiteral("1"));
    op.IniWrite(QStringLiteral("Y"), QStringLiteral("para"), QStringLiteral("160 -60"));
    for (int i = 0; i < 4; ++i)
        op.IniWrite(QStringLiteral("SEN"), QStringLiteral("SEN%1").arg(i),
                    QStringLiteral("1 +150.00 -050.00 +000.00 100.00"));
    op.IniWrite(QStringLiteral("UNI"), QStringLiteral("para"), QStringLiteral("3.0 8"));
    op.IniWrite(QStringLiteral("BEEP"), QStringLiteral("para"), QStringLiteral("1"));
    op.IniWrite(QStringLiteral("LIT"), QStringLiteral("para"), QStringLiteral("1"));
    op.IniWrite(QStringLiteral("LOG"), QStringLiteral("para"), QStringLiteral("1 1"));
    op.IniWrite(QStringLiteral("FAN"), QStringLiteral("para"), QStringLiteral("1"));
    for (int i = 0; i < 10; ++i)
        op.IniWrite(QStringLiteral("PATTERN"), QStringLiteral("PATTERN%1").arg(i),
                    QStringLiteral("1 1 %1 %2").arg(i * 10).arg(i * 10 + 9));
    for (int i = 0; i < 100; ++i)
        op.IniWrite(QStringLiteral("STEP"), QStringLiteral("STEP%1").arg(i),
                    QStringLiteral("0 0 0 +040.00 00:10:00"));
    op.IniWrite(QStringLiteral("CSVPATH"), QStringLiteral("path"), QStringLiteral("0 C:\\"));
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    if (!dir.isValid())
        return 1;
    Ini_Operation op;
    op.setWorkingFile(dir.filePath(QStringLiteral("KRM.ini")));

    QElapsedTimer build;
    build.start();
    writeFullSet(op);
    std::printf("ini_fresh_123_keys_ms %.1f\n", build.nsecsElapsed() / 1e6);
    std::printf("ini_file_bytes %lld\n", QFile(op.workingFile()).size());

    const QString values[2] = {QStringLiteral("0 0 0 +040.00 00:10:00"),
                               QStringLiteral("1 0 0 +085.50 01:00:00")};
    print("ini_write", timeRuns(1000, [&](int i) {
              op.IniWrite(QStringLiteral("STEP"), QStringLiteral("STEP57"), values[i % 2]);
          }));
    print("ini_check", timeRuns(200, [&](int) { op.IniCheck(); }));
    print("ini_read", timeRuns(1000, [&](int) {
              op.IniRead(QStringLiteral("STEP"), QStringLiteral("STEP57"));
          }));

    // The in-memory parts alone, to tell parsing from file system costs.
    QFile f(op.workingFile());
    f.open(QIODevice::ReadOnly);
    const QByteArray bytes = f.readAll();
    print("ini_parse", timeRuns(1000, [&](int) { IniDocument::parse(bytes); }));
    print("ini_parse_set_serialize", timeRuns(1000, [&](int i) {
              IniDocument doc = IniDocument::parse(bytes);
              doc.setValue(QStringLiteral("STEP"), QStringLiteral("STEP57"), values[i % 2]);
              doc.serialize();
          }));
    print("set_check", timeRuns(200, [&](int) { ConfigSet::check(bytes); }));
    // A whole set followed by 90 000 keys that are not its own: refused.
    QByteArray junk = bytes + "[JUNK]\r\n";
    for (int i = 0; i < 90000; ++i)
        junk += "k" + QByteArray::number(i) + "=1\r\n";
    print("set_check_90000_foreign_keys", timeRuns(20, [&](int) { ConfigSet::check(junk); }));

    // 200 MB of binary bytes (a hole after the first 64 KiB).
    const QString big = dir.filePath(QStringLiteral("big.bin"));
    QFile b(big);
    if (b.open(QIODevice::WriteOnly)) {
        QByteArray head(64 * 1024, '\0');
        for (qsizetype i = 0; i < head.size(); ++i)
            head[i] = char((i * 7919) % 251);
        b.write(head);
        b.resize(200LL * 1024 * 1024);
        b.close();
        QElapsedTimer t;
        t.start();
        const bool opened = ConfigSet::open(big, dir.filePath(QStringLiteral("other.ini"))).opened;
        std::printf("open_200MB_refused %d in_ms %.2f\n", opened ? 0 : 1, t.nsecsElapsed() / 1e6);
        t.start();
        StoredLog log;
        const bool read = log.readFile(big);
        std::printf("stored_log_200MB_refused %d in_ms %.2f\n", read ? 0 : 1,
                    t.nsecsElapsed() / 1e6);
        QFile::remove(big);
    }
    return 0;
}
