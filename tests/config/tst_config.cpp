#include "core/app/ConfigSet.h"
#include "core/config/IniDocument.h"
#include "core/config/IniFile.h"
#include "core/config/Ini_Operation.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTest>

#include <condition_variable>
#include <csignal>
#include <fcntl.h>
#include <mutex>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

void writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    QVERIFY2(f.open(QIODevice::WriteOnly | QIODevice::Truncate), qPrintable(path));
    QCOMPARE(f.write(bytes), bytes.size());
}

QByteArray readBytes(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QByteArray("<unreadable>");
    return f.readAll();
}

const QString Err = QStringLiteral("ERR");

// A configuration file as the program leaves it: the keys of a fresh start,
// then the whole-set read's answers, then the CSV setting. `edits` change,
// or (with a null value) leave out keys, `para` keys named by their section; with `stepsLast` the
// [STEP] section ends the file.
QByteArray programSet(const QList<std::pair<QString, QString>> &edits = {}, bool stepsLast = false)
{
    QList<std::tuple<QString, QString, QString>> keys{
        {"LOGDIRPATH", "path", "/home/user/krm"}, {"COM", "para", "1"}, {"Y", "para", "160 -60"}};
    auto add = [&keys](const char *section, const QString &key, const QString &value) {
        keys.append({QString::fromLatin1(section), key, value});
    };
    add("SEN", "SEN0", "1 +150.00 -050.00 +000.00 100.00");
    add("SEN", "SEN1", "1 +150.00 -050.00 +000.00 100.00");
    add("SEN", "SEN2", "1 +080 +000 +000");
    add("SEN", "SEN3", "1 +100 +000 +000");
    for (const char *s : {"UNI", "BEEP", "LIT", "LOG", "FAN"})
        add(s, "para", QString::fromLatin1(s) == "UNI" ? "3.0 8" : "1");
    for (int n = 0; n < 10; ++n)
        add("PATTERN", QStringLiteral("PATTERN%1").arg(n), n ? "" : "1 0 0 2");
    for (int n = 0; n < 100; ++n)
        add("STEP", QStringLiteral("STEP%1").arg(n),
            n < 3 ? QStringLiteral("0 0 0 +0%1.00 00:00:30").arg(40 + 10 * n) : "* * * * *");
    if (!stepsLast)
        add("CSVPATH", "path", "0 C:\\");
    IniDocument doc;
    for (const auto &entry : keys) {
        const QString &section = std::get<0>(entry);
        const QString &key = std::get<1>(entry);
        const QString &value = std::get<2>(entry);
        const auto edit = std::find_if(edits.cbegin(), edits.cend(), [&](const auto &e) {
            return e.first == key || (key == QLatin1String("para") && e.first == section);
        });
        if (edit == edits.cend())
            doc.setValue(section, key, value);
        else if (!edit->second.isNull())
            doc.setValue(section, key, edit->second);
    }
    return doc.serialize();
}

// ConfigSet::open as a user: root reads any file whatever its mode, so as
// root the open runs in a child that has given root up first.
QString openAsUser(const QString &path, const QString &working)
{
    if (::geteuid() != 0)
        return ConfigSet::open(path, working).message;
    int out[2];
    if (::pipe(out) != 0)
        return QStringLiteral("<no pipe>");
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(out[0]);
        const QByteArray message = ::setgid(65534) == 0 && ::setuid(65534) == 0
                                       ? ConfigSet::open(path, working).message.toUtf8()
                                       : QByteArray("<still root>");
        const ssize_t written = ::write(out[1], message.constData(), size_t(message.size()));
        ::_exit(written == message.size() ? 0 : 1);
    }
    ::close(out[1]);
    QByteArray got;
    char buffer[4096];
    for (ssize_t n; (n = ::read(out[0], buffer, sizeof buffer)) > 0;)
        got.append(buffer, n);
    ::close(out[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    return QString::fromUtf8(got);
}

} // namespace

class tst_config : public QObject {
    Q_OBJECT

private slots:
    void init();

    void read_data();
    void read();
    void readAbsentFile();
    void readCutsAt255();

    void freshStartLayout();
    void replaceKeepsOtherBytes_data();
    void replaceKeepsOtherBytes();
    void newKeyPlacement_data();
    void newKeyPlacement();
    void lineBreaksInValueStayOnOneLine();
    void unstorableNamesRefused();
    void externalChangeIsSeen();

    void shiftJisReadAndRewrittenAsUtf8();
    void byteOrderMarkKept();
    void garbageDoesNotCrash();

    void failedWriteLeavesFileIntact();

    void emptyKeyMeansPara();
    void readsFromFilenameWritesToWorkingFile();
    void iniCheck_data();
    void iniCheck();

    void openSet_data();
    void openSet();
    void openWhatIsNoSet_data();
    void openWhatIsNoSet();

private:
    QString path(const QString &name = QStringLiteral("KRM.ini")) const
    {
        return m_dir->filePath(name);
    }

    std::unique_ptr<QTemporaryDir> m_dir;
};

void tst_config::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

void tst_config::read_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("expected");

    const QByteArray basic = "[COM]\r\npara=3\r\nempty=\r\n";
    QTest::newRow("value") << basic << "COM"
                           << "para"
                           << "3";
    QTest::newRow("empty value is not absent") << basic << "COM"
                                               << "empty"
                                               << "";
    QTest::newRow("absent key") << basic << "COM"
                                << "other" << Err;
    QTest::newRow("absent section") << basic << "UNI"
                                    << "para" << Err;
    QTest::newRow("section case") << basic << "com"
                                  << "para"
                                  << "3";
    QTest::newRow("key case") << basic << "Com"
                              << "PARA"
                              << "3";
    QTest::newRow("names are trimmed") << QByteArray("  [ Y ]  \n  para  =  160 -60  \n") << "Y"
                                       << "para"
                                       << "160 -60";
    QTest::newRow("tabs trimmed") << QByteArray("[Y]\npara=\t1 2\t\n") << "Y"
                                  << "para"
                                  << "1 2";
    QTest::newRow("quotes stripped") << QByteArray("[A]\nk= \"  x \" \n") << "A"
                                     << "k"
                                     << "  x ";
    QTest::newRow("lone quote kept") << QByteArray("[A]\nk=\"x\n") << "A"
                                     << "k"
                                     << "\"x";
    QTest::newRow("only a quote") << QByteArray("[A]\nk=\"\n") << "A"
                                  << "k"
                                  << "\"";
    QTest::newRow("equals in value") << QByteArray("[A]\nk=a=b\n") << "A"
                                     << "k"
                                     << "a=b";
    QTest::newRow("first key wins") << QByteArray("[A]\nk=1\nK=2\n") << "A"
                                    << "k"
                                    << "1";
    QTest::newRow("first section wins") << QByteArray("[A]\nx=1\n[a]\nk=2\n") << "A"
                                        << "k" << Err;
    QTest::newRow("duplicate section, first has key")
        << QByteArray("[A]\nk=1\n[B]\n[A]\nk=2\n") << "A"
        << "k"
        << "1";
    QTest::newRow("comment line") << QByteArray("[A]\n;k=1\nk=2\n") << "A"
                                  << "k"
                                  << "2";
    QTest::newRow("indented comment") << QByteArray("[A]\n  ;k=1\n") << "A"
                                      << "k" << Err;
    QTest::newRow("line without equals ignored") << QByteArray("[A]\nk\nk=5\n") << "A"
                                                 << "k"
                                                 << "5";
    QTest::newRow("key before any section") << QByteArray("k=1\n[A]\nx=2\n") << "A"
                                            << "k" << Err;
    QTest::newRow("header without closing bracket") << QByteArray("[A\nk=1\n") << "A"
                                                    << "k"
                                                    << "1";
    QTest::newRow("text after bracket") << QByteArray("[A] ;x\nk=1\n") << "A"
                                        << "k"
                                        << "1";
    QTest::newRow("lone CR endings") << QByteArray("[A]\rk=1\rj=2") << "A"
                                     << "j"
                                     << "2";
    QTest::newRow("no final line break") << QByteArray("[A]\r\nk=last") << "A"
                                         << "k"
                                         << "last";
    QTest::newRow("empty file") << QByteArray() << "A"
                                << "k" << Err;
    QTest::newRow("japanese value")
        << QString::fromUtf8("[LOGDIRPATH]\npath=C:\\データ\n").toUtf8() << "LOGDIRPATH"
        << "path" << QString::fromUtf8("C:\\データ");
}

void tst_config::read()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, section);
    QFETCH(QString, key);
    QFETCH(QString, expected);
    writeBytes(path(), content);
    const QString got = IniFile::read(path(), section, key);
    QCOMPARE(got, expected);
    QVERIFY(!got.isNull());
}

void tst_config::readAbsentFile()
{
    QCOMPARE(
        IniFile::read(path(QStringLiteral("none.ini")), QStringLiteral("A"), QStringLiteral("k")),
        Err);
    // A folder in the file's place reads like an absent file.
    QCOMPARE(IniFile::read(m_dir->path(), QStringLiteral("A"), QStringLiteral("k")), Err);
    QCOMPARE(IniFile::read(QString(), QStringLiteral("A"), QStringLiteral("k")), Err);
}

void tst_config::readCutsAt255()
{
    const QString longValue = QString(300, u'x');
    QVERIFY(IniFile::write(path(), QStringLiteral("A"), QStringLiteral("k"), longValue));
    QCOMPARE(IniFile::read(path(), QStringLiteral("A"), QStringLiteral("k")),
             QString(IniFile::MaxValueLength, u'x'));
    // The whole value is stored.
    QVERIFY(readBytes(path()).contains("k=" + QByteArray(300, 'x') + "\r\n"));

    // A character outside the basic plane is not cut in half.
    const QString clef = QString::fromUtf8("\xF0\x9D\x84\x9E");
    const QString edge = QString(254, u'a') + clef + u'z';
    QVERIFY(IniFile::write(path(), QStringLiteral("A"), QStringLiteral("k"), edge));
    QCOMPARE(IniFile::read(path(), QStringLiteral("A"), QStringLiteral("k")), QString(254, u'a'));
}

void tst_config::freshStartLayout()
{
    // The writes a first start makes, in their order, into a file that does
    // not exist yet.
    Ini_Operation op;
    op.setWorkingFile(path());
    QVERIFY(op.IniWrite(QStringLiteral("LOGDIRPATH"), QStringLiteral("path"),
                        QStringLiteral("/home/u/KRM")));
    QVERIFY(op.IniWrite(QStringLiteral("COM"), QStringLiteral("para"), QStringLiteral("1")));
    QVERIFY(op.IniWrite(QStringLiteral("Y"), QStringLiteral("para"), QStringLiteral("160 -60")));
    for (int i = 0; i < 2; ++i)
        QVERIFY(op.IniWrite(QStringLiteral("SEN"), QStringLiteral("SEN%1").arg(i),
                            QStringLiteral("1 +150.00 -050.00 * *")));
    QVERIFY(op.IniWrite(QStringLiteral("UNI"), QStringLiteral("para"), QStringLiteral("3.0 8")));
    QVERIFY(op.IniWrite(QStringLiteral("PATTERN"), QStringLiteral("PATTERN0"), QString()));
    QVERIFY(
        op.IniWrite(QStringLiteral("CSVPATH"), QStringLiteral("path"), QStringLiteral("0 C:\\")));
    // Rewriting keys of earlier sections changes nothing around them.
    QVERIFY(op.IniWrite(QStringLiteral("COM"), QStringLiteral("para"), QStringLiteral("4")));
    QVERIFY(op.IniWrite(QStringLiteral("SEN"), QStringLiteral("SEN2"), QStringLiteral("0 1 2 3")));

    const QByteArray expected = "[LOGDIRPATH]\r\n"
                                "path=/home/u/KRM\r\n"
                                "\r\n"
                                "[COM]\r\n"
                                "para=4\r\n"
                                "\r\n"
                                "[Y]\r\n"
                                "para=160 -60\r\n"
                                "\r\n"
                                "[SEN]\r\n"
                                "SEN0=1 +150.00 -050.00 * *\r\n"
                                "SEN1=1 +150.00 -050.00 * *\r\n"
                                "SEN2=0 1 2 3\r\n"
                                "\r\n"
                                "[UNI]\r\n"
                                "para=3.0 8\r\n"
                                "\r\n"
                                "[PATTERN]\r\n"
                                "PATTERN0=\r\n"
                                "\r\n"
                                "[CSVPATH]\r\n"
                                "path=0 C:\\\r\n";
    QCOMPARE(readBytes(path()), expected);
    QCOMPARE(op.IniRead(QStringLiteral("PATTERN"), QStringLiteral("PATTERN0")), QString());
}

void tst_config::replaceKeepsOtherBytes_data()
{
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QByteArray>("after");

    QTest::newRow("mixed endings and comments")
        << QByteArray("; kept\n[COM]\r\n  Para = 1  \r\nextra=x\n\n[Y]\npara=1 2") << "com"
        << "PARA"
        << "7" << QByteArray("; kept\n[COM]\r\n  Para =7\r\nextra=x\n\n[Y]\npara=1 2");
    QTest::newRow("first of duplicate keys") << QByteArray("[A]\r\nk=1\r\nk=2\r\n") << "A"
                                             << "k"
                                             << "9" << QByteArray("[A]\r\nk=9\r\nk=2\r\n");
    QTest::newRow("first of duplicate sections")
        << QByteArray("[A]\r\nk=1\r\n[A]\r\nk=2\r\n") << "a"
        << "K"
        << "9" << QByteArray("[A]\r\nk=9\r\n[A]\r\nk=2\r\n");
    QTest::newRow("last line without break") << QByteArray("[A]\r\nk=1") << "A"
                                             << "k"
                                             << "2" << QByteArray("[A]\r\nk=2");
    QTest::newRow("unknown keys and odd lines")
        << QByteArray("top=1\r\n[A]\r\nnoequals\r\n;c=1\r\nk=1\r\nZ=z\r\n") << "A"
        << "k"
        << "" << QByteArray("top=1\r\n[A]\r\nnoequals\r\n;c=1\r\nk=\r\nZ=z\r\n");
}

void tst_config::replaceKeepsOtherBytes()
{
    QFETCH(QByteArray, before);
    QFETCH(QString, section);
    QFETCH(QString, key);
    QFETCH(QString, value);
    QFETCH(QByteArray, after);
    writeBytes(path(), before);
    QVERIFY(IniFile::write(path(), section, key, value));
    QCOMPARE(readBytes(path()), after);
    QCOMPARE(IniFile::read(path(), section, key), value);
}

void tst_config::newKeyPlacement_data()
{
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QString>("section");
    QTest::addColumn<QByteArray>("after");

    QTest::newRow("before blank lines of next section")
        << QByteArray("[A]\r\nx=1\r\n\r\n\r\n[B]\r\ny=2\r\n") << "A"
        << QByteArray("[A]\r\nx=1\r\nk=v\r\n\r\n\r\n[B]\r\ny=2\r\n");
    QTest::newRow("after last key, not after trailing comment")
        << QByteArray("[A]\nx=1\n; about B\n[B]\n") << "a"
        << QByteArray("[A]\nx=1\nk=v\r\n; about B\n[B]\n");
    QTest::newRow("section without keys")
        << QByteArray("[A]\r\n\r\n[B]\r\n") << "A" << QByteArray("[A]\r\nk=v\r\n\r\n[B]\r\n");
    QTest::newRow("first of duplicate sections")
        << QByteArray("[A]\r\nx=1\r\n[A]\r\ny=2\r\n") << "A"
        << QByteArray("[A]\r\nx=1\r\nk=v\r\n[A]\r\ny=2\r\n");
    QTest::newRow("end of file without break")
        << QByteArray("[A]\r\nx=1") << "A" << QByteArray("[A]\r\nx=1\r\nk=v\r\n");
    QTest::newRow("new section after text without break")
        << QByteArray("[A]\r\nx=1") << "B" << QByteArray("[A]\r\nx=1\r\n\r\n[B]\r\nk=v\r\n");
    QTest::newRow("new section after a blank line")
        << QByteArray("[A]\nx=1\n\n") << "B" << QByteArray("[A]\nx=1\n\n[B]\r\nk=v\r\n");
    QTest::newRow("keys before any section do not count")
        << QByteArray("k=old\r\n") << "A" << QByteArray("k=old\r\n\r\n[A]\r\nk=v\r\n");
}

void tst_config::newKeyPlacement()
{
    QFETCH(QByteArray, before);
    QFETCH(QString, section);
    QFETCH(QByteArray, after);
    writeBytes(path(), before);
    QVERIFY(IniFile::write(path(), section, QStringLiteral("k"), QStringLiteral("v")));
    QCOMPARE(readBytes(path()), after);
}

void tst_config::lineBreaksInValueStayOnOneLine()
{
    QVERIFY(IniFile::write(path(), QStringLiteral("A"), QStringLiteral("k"),
                           QStringLiteral("one\r\ntwo\nthree\rfour")));
    QVERIFY(IniFile::write(path(), QStringLiteral("A"), QStringLiteral("j"), QStringLiteral("x")));
    QCOMPARE(readBytes(path()), QByteArray("[A]\r\nk=one two three four\r\nj=x\r\n"));
}

void tst_config::unstorableNamesRefused()
{
    writeBytes(path(), "[A]\r\nk=1\r\n");
    const QStringList badKeys{QString(),
                              QStringLiteral("  "),
                              QStringLiteral("a=b"),
                              QStringLiteral("a\nb"),
                              QStringLiteral("[x"),
                              QStringLiteral(";x")};
    for (const QString &key : badKeys)
        QVERIFY2(!IniFile::write(path(), QStringLiteral("A"), key, QStringLiteral("v")),
                 qPrintable(key));
    QVERIFY(!IniFile::write(path(), QString(), QStringLiteral("k"), QStringLiteral("v")));
    QVERIFY(!IniFile::write(path(), QStringLiteral("A\r\nB"), QStringLiteral("k"),
                            QStringLiteral("v")));
    QCOMPARE(readBytes(path()), QByteArray("[A]\r\nk=1\r\n"));
}

void tst_config::externalChangeIsSeen()
{
    QVERIFY(IniFile::write(path(), QStringLiteral("A"), QStringLiteral("k"), QStringLiteral("1")));
    QCOMPARE(IniFile::read(path(), QStringLiteral("A"), QStringLiteral("k")), QStringLiteral("1"));
    // Same size, and quite possibly the same modification time.
    writeBytes(path(), "[A]\r\nk=2\r\n");
    QCOMPARE(IniFile::read(path(), QStringLiteral("A"), QStringLiteral("k")), QStringLiteral("2"));
    QVERIFY(QFile::remove(path()));
    QCOMPARE(IniFile::read(path(), QStringLiteral("A"), QStringLiteral("k")), Err);
}

void tst_config::shiftJisReadAndRewrittenAsUtf8()
{
    QStringEncoder sjis("Shift_JIS");
    QVERIFY(sjis.isValid());
    const QString text = QString::fromUtf8("[LOGDIRPATH]\r\npath=C:\\データ\r\n"
                                           "; ソフト表\r\n[COM]\r\npara=1\r\n");
    const QByteArray bytes = sjis.encode(text);
    QVERIFY(!sjis.hasError());
    // "ソ" and "表" end in the byte of a backslash; they must not confuse anything.
    QVERIFY(bytes.contains("\x83\x5C") && bytes.contains("\x95\x5C"));
    writeBytes(path(), bytes);

    QCOMPARE(IniFile::read(path(), QStringLiteral("LOGDIRPATH"), QStringLiteral("path")),
             QString::fromUtf8("C:\\データ"));
    QCOMPARE(IniDocument::parse(bytes).sourceEncoding(), IniDocument::Encoding::ShiftJis);

    QVERIFY(
        IniFile::write(path(), QStringLiteral("COM"), QStringLiteral("para"), QStringLiteral("2")));
    QString expected = text;
    expected.replace(QStringLiteral("para=1"), QStringLiteral("para=2"));
    QCOMPARE(readBytes(path()), expected.toUtf8());
    QCOMPARE(IniFile::read(path(), QStringLiteral("LOGDIRPATH"), QStringLiteral("path")),
             QString::fromUtf8("C:\\データ"));
}

void tst_config::byteOrderMarkKept()
{
    writeBytes(path(), "\xEF\xBB\xBF[A]\r\nk=1\r\n");
    QCOMPARE(IniFile::read(path(), QStringLiteral("A"), QStringLiteral("k")), QStringLiteral("1"));
    QVERIFY(IniFile::write(path(), QStringLiteral("A"), QStringLiteral("k"), QStringLiteral("2")));
    QCOMPARE(readBytes(path()), QByteArray("\xEF\xBB\xBF[A]\r\nk=2\r\n"));
}

void tst_config::garbageDoesNotCrash()
{
    // Neither UTF-8 nor Shift_JIS.
    const QByteArray junk("[A]\r\nk=\xFF\xFE\x80\x00z\r\n\xA0=\x81\r\n[\xFD", 21);
    writeBytes(path(), junk);
    QVERIFY(!IniFile::read(path(), QStringLiteral("A"), QStringLiteral("k")).isEmpty());
    QVERIFY(IniFile::write(path(), QStringLiteral("A"), QStringLiteral("j"), QStringLiteral("v")));
    QCOMPARE(IniFile::read(path(), QStringLiteral("A"), QStringLiteral("j")), QStringLiteral("v"));

    // Random buffers through the in-memory parser: parse, write, parse again.
    QRandomGenerator rng(20240611);
    const char alphabet[] = "[]=;\r\n \t\"aAkK\x82\xA0\xEF\xBB\xBF\xFF";
    for (int round = 0; round < 2000; ++round) {
        QByteArray buf;
        const int len = int(rng.bounded(64));
        for (int i = 0; i < len; ++i)
            buf.append(alphabet[rng.bounded(int(sizeof alphabet - 1))]);
        IniDocument doc = IniDocument::parse(buf);
        const std::optional<QString> before = doc.value(QStringLiteral("a"), QStringLiteral("k"));
        QVERIFY(doc.setValue(QStringLiteral("A"), QStringLiteral("K"), QStringLiteral("v")));
        QCOMPARE(doc.value(QStringLiteral("a"), QStringLiteral("k")), QStringLiteral("v"));
        const IniDocument again = IniDocument::parse(doc.serialize());
        QCOMPARE(again.value(QStringLiteral("A"), QStringLiteral("k")), QStringLiteral("v"));
        Q_UNUSED(before);
    }
}

void tst_config::failedWriteLeavesFileIntact()
{
    // The program creates its folders itself; a write never does.
    const QString noFolder = m_dir->filePath(QStringLiteral("sys/KRM.ini"));
    QVERIFY(
        !IniFile::write(noFolder, QStringLiteral("A"), QStringLiteral("k"), QStringLiteral("v")));
    QVERIFY(!QFileInfo::exists(m_dir->filePath(QStringLiteral("sys"))));

    // A folder where the file should be.
    QVERIFY(QDir(m_dir->path()).mkdir(QStringLiteral("KRM.ini")));
    QVERIFY(!IniFile::write(path(), QStringLiteral("A"), QStringLiteral("k"), QStringLiteral("v")));
    QVERIFY(QFileInfo(path()).isDir());
    QVERIFY(QDir(m_dir->path()).rmdir(QStringLiteral("KRM.ini")));

    // A full disk, as a file size limit, which binds root too.
    const QByteArray original = "[A]\r\nk=1\r\n";
    writeBytes(path(), original);
    {
        rlimit old{};
        QCOMPARE(::getrlimit(RLIMIT_FSIZE, &old), 0);
        rlimit small = old;
        small.rlim_cur = 64;
        auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        QCOMPARE(::setrlimit(RLIMIT_FSIZE, &small), 0);
        const bool ok =
            IniFile::write(path(), QStringLiteral("A"), QStringLiteral("k"), QString(200, u'x'));
        ::setrlimit(RLIMIT_FSIZE, &old);
        std::signal(SIGXFSZ, oldHandler);
        QVERIFY(!ok);
        QCOMPARE(readBytes(path()), original);
        QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files),
                 QStringList{QStringLiteral("KRM.ini")});
    }

    // A read-only folder; permissions do not bind root.
    if (::geteuid() == 0)
        QSKIP("running as root: a read-only folder does not stop writes");
    QFile::Permissions dirPerms = QFile::permissions(m_dir->path());
    QVERIFY(QFile::setPermissions(m_dir->path(), QFile::ReadOwner | QFile::ExeOwner));
    const bool ok =
        IniFile::write(path(), QStringLiteral("A"), QStringLiteral("k"), QStringLiteral("2"));
    QFile::setPermissions(m_dir->path(), dirPerms);
    QVERIFY(!ok);
    QCOMPARE(readBytes(path()), original);
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files), QStringList{QStringLiteral("KRM.ini")});
}

void tst_config::emptyKeyMeansPara()
{
    Ini_Operation op;
    op.setWorkingFile(path());
    QVERIFY(op.IniWritePara(QStringLiteral("BEEP"), QString(), QStringLiteral("1")));
    QCOMPARE(op.IniRead(QStringLiteral("BEEP"), QString()), QStringLiteral("1"));
    QCOMPARE(op.IniRead(QStringLiteral("BEEP"), QStringLiteral("para")), QStringLiteral("1"));
    QVERIFY(op.IniWrite(QStringLiteral("BEEP"), QString(), QStringLiteral("0")));
    QCOMPARE(readBytes(path()), QByteArray("[BEEP]\r\npara=0\r\n"));
}

void tst_config::readsFromFilenameWritesToWorkingFile()
{
    Ini_Operation op;
    op.setWorkingFile(path());
    QCOMPARE(op.workingFile(), path());
    QCOMPARE(op.Filename, path());
    QVERIFY(op.IniWrite(QStringLiteral("COM"), QStringLiteral("para"), QStringLiteral("1")));

    const QString other = path(QStringLiteral("set.ini"));
    writeBytes(other, "[COM]\r\npara=9\r\n");
    op.Filename = other;
    QCOMPARE(op.IniRead(QStringLiteral("COM"), QString()), QStringLiteral("9"));
    QVERIFY(op.IniWrite(QStringLiteral("COM"), QStringLiteral("para"), QStringLiteral("2")));
    QCOMPARE(op.IniRead(QStringLiteral("COM"), QString()), QStringLiteral("9"));
    QCOMPARE(readBytes(other), QByteArray("[COM]\r\npara=9\r\n"));
    QCOMPARE(IniFile::read(path(), QStringLiteral("COM"), QStringLiteral("para")),
             QStringLiteral("2"));

    QCOMPARE(&ini(), &ini());
}

void tst_config::iniCheck_data()
{
    QTest::addColumn<QString>("dropSection");
    QTest::addColumn<QString>("dropKey");
    QTest::addColumn<bool>("emptyValues");
    QTest::addColumn<bool>("expected");

    QTest::newRow("full set") << ""
                              << "" << false << true;
    QTest::newRow("full set, empty values") << ""
                                            << "" << true << true;
    QTest::newRow("STEP57 missing") << "STEP"
                                    << "STEP57" << false << false;
    QTest::newRow("STEP99 missing") << "STEP"
                                    << "STEP99" << false << false;
    QTest::newRow("SEN0 missing") << "SEN"
                                  << "SEN0" << false << false;
    QTest::newRow("FAN missing") << "FAN"
                                 << "para" << false << false;
    QTest::newRow("PATTERN9 missing") << "PATTERN"
                                      << "PATTERN9" << false << false;
    QTest::newRow("COM not checked") << "COM"
                                     << "para" << false << true;
    QTest::newRow("Y not checked") << "Y"
                                   << "para" << false << true;
}

void tst_config::iniCheck()
{
    QFETCH(QString, dropSection);
    QFETCH(QString, dropKey);
    QFETCH(bool, emptyValues);
    QFETCH(bool, expected);

    QList<std::pair<QString, QString>> keys;
    for (int i = 0; i < 4; ++i)
        keys.append({QStringLiteral("SEN"), QStringLiteral("SEN%1").arg(i)});
    for (const char *s : {"UNI", "BEEP", "LIT", "LOG", "FAN", "COM", "Y"})
        keys.append({QString::fromLatin1(s), QStringLiteral("para")});
    for (int i = 0; i < 10; ++i)
        keys.append({QStringLiteral("PATTERN"), QStringLiteral("PATTERN%1").arg(i)});
    for (int i = 0; i < 100; ++i)
        keys.append({QStringLiteral("STEP"), QStringLiteral("STEP%1").arg(i)});
    keys.append({QStringLiteral("LOGDIRPATH"), QStringLiteral("path")});
    keys.append({QStringLiteral("CSVPATH"), QStringLiteral("path")});

    IniDocument doc;
    for (const auto &[section, key] : keys) {
        if (section == dropSection && key == dropKey)
            continue;
        QVERIFY(doc.setValue(section, key, emptyValues ? QString() : QStringLiteral("1 2")));
    }
    writeBytes(path(), doc.serialize());

    Ini_Operation op;
    op.setWorkingFile(path(QStringLiteral("work.ini")));
    op.Filename = path();
    QCOMPARE(op.IniCheck(), expected);

    op.Filename = path(QStringLiteral("absent.ini"));
    QVERIFY(!op.IniCheck());
}

// "開く": a set passes the ranges of the settings window and holds nothing
// but the program's own keys, or it is refused naming the first key that
// fails; the working file changes only when it opens.
void tst_config::openSet_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("named"); // empty: opens
    QTest::addColumn<bool>("outOfRange");
    using Edits = QList<std::pair<QString, QString>>;
    auto row = [](const char *name, const QByteArray &content, const QString &named = {}) {
        QTest::newRow(name) << content << named << false;
    };
    auto range = [](const char *name, const QByteArray &content, const QString &named) {
        QTest::newRow(name) << content << named << true;
    };
    row("written by the program", programSet());
    // Typed forms: "*" limits, an empty offset stored as 0, whole numbers.
    row("written by the settings window", programSet(Edits{{"SEN1", "0 * 20.05 0 95.00"},
                                                           {"SEN2", "1 * 0 -10"},
                                                           {"SEN3", "1 100 99 +003"},
                                                           {"UNI", "3.5 9"},
                                                           {"FAN", "2"},
                                                           {"LOG", "5"}}));
    row("section twice", programSet() + "[COM]\r\ndevice=/dev/ttyUSB0\r\n[FASTREAD]\r\npara=1\r\n",
        "[COM]");
    QByteArray ownKeys = programSet();
    ownKeys.replace("[COM]\r\npara=1\r\n", "[com]\r\npara=1\r\nDevice=/dev/ttyUSB0\r\n");
    row("the program's own keys", ownKeys + "[FASTREAD]\r\npara=1\r\n");
    range("unit 99 A", programSet(Edits{{"UNI", "2.0 99"}}), "[UNI] para");
    range("sensor limits 999.99", programSet(Edits{{"SEN0", "1 +999.99 -999.99 +000.00 100.00"}}),
          "[SEN] SEN0");
    range("lower above upper", programSet(Edits{{"SEN3", "1 +050 +060 +000"}}), "[SEN] SEN3");
    range("beep far out", programSet(Edits{{"BEEP", "99999999999999999999"}}), "[BEEP] para");
    range("fan 7", programSet(Edits{{"FAN", "7"}}), "[FAN] para");
    // Records the editor never writes: each value named with its reason.
    range("pattern action far out", programSet(Edits{{"PATTERN0", "5 99999999999999999999 0 2"}}),
          "[PATTERN] PATTERN0");
    range("step on sensor 3", programSet(Edits{{"STEP5", "3 0 0 +025.00 00:10:00"}}),
          "[STEP] STEP5");
    range("step held 00:99:99", programSet(Edits{{"STEP5", "0 0 0 +025.00 00:99:99"}}),
          "[STEP] STEP5");
    range("step in typed widths", programSet(Edits{{"STEP5", "0 0 0 25 600"}}), "[STEP] STEP5");
    range("step held over ten hours", programSet(Edits{{"STEP5", "0 0 0 +025.00 10:00:01"}}),
          "[STEP] STEP5");
    row("step with letters", programSet(Edits{{"STEP5", "0 0 0 +025.00 ab:cd:ef"}}),
        "[STEP] STEP5");
    row("as the editor writes",
        programSet(Edits{{"PATTERN0", "50 1 0 9"}, {"STEP5", "1 0 0 -010.05 10:00:00"}}));
    row("pattern marked not registered", programSet(Edits{{"PATTERN0", "* * * *"}}));
    row("verify after write", programSet() + "[WRITEVERIFY]\r\npara=1\r\n");
    row("sensor missing", programSet(Edits{{"SEN2", QString()}}), "[SEN] SEN2");
    QByteArray junk = programSet() + "[JUNK]\r\n";
    for (int i = 0; i < 90000; ++i)
        junk += "k" + QByteArray::number(i) + "=1\r\n";
    row("90 000 junk keys", junk, "[JUNK]");
    QByteArray step100 = programSet();
    step100.replace("STEP99=* * * * *\r\n", "STEP99=* * * * *\r\nSTEP100=\r\n");
    row("step 100", step100, "[STEP] STEP100");
    QByteArray twice = programSet();
    twice.replace("SEN1=", "SEN0=1 +150.00 -050.00 +000.00 100.00\r\nSEN1=");
    row("key twice", twice, "[SEN] SEN0");
    const QByteArray stray = programSet() + "garbage\r\n";
    row("stray line", stray, QStringLiteral("%1行目").arg(stray.count('\n')));
    // The last line without its line end: what no cut can leave opens.
    row("no line end after the CSV setting", programSet().chopped(2));
    row("no line end after the last step", programSet({}, true).chopped(2));
    row("no line end after a held step",
        programSet(Edits{{"STEP99", "0 0 0 +040.00 00:00:30"}}, true).chopped(2));
    row("cut inside the last step",
        programSet(Edits{{"STEP99", "0 0 0 +040.00 00:00:30"}}, true).chopped(3), "[STEP] STEP99");
    row("cut after the last key", programSet(Edits{{"STEP99", ""}}, true).chopped(2),
        "[STEP] STEP99");
}

void tst_config::openSet()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, named);
    QFETCH(bool, outOfRange);
    const QByteArray working = programSet(QList<std::pair<QString, QString>>{{"BEEP", "0"}});
    writeBytes(path(), working);
    writeBytes(path(QStringLiteral("set.ini")), content);
    const ConfigSet::Result r = ConfigSet::open(path(QStringLiteral("set.ini")), path());
    QCOMPARE(r.message,
             named.isEmpty()
                 ? QString()
                 : QStringLiteral("ファイルの読み込みに失敗しました。\n") +
                       (outOfRange ? QStringLiteral("設定値が範囲外です。")
                                   : QStringLiteral("ファイルが破損しているか存在しない可能性が"
                                                    "あります。")) +
                       QStringLiteral("\n問題のある項目：") + named);
    QCOMPARE(r.opened, named.isEmpty());
    QCOMPARE(readBytes(path()), r.opened ? content : working);
}

// What is not a readable regular file is refused without being read: a pipe
// must not hold the program until something writes to it.
void tst_config::openWhatIsNoSet_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("reason");
    const QString damaged = QStringLiteral("ファイルが破損しているか存在しない可能性があります。");
    QTest::newRow("missing") << "missing" << damaged;
    QTest::newRow("folder") << "folder" << ConfigSet::notAFileMessage();
    QTest::newRow("pipe") << "pipe" << ConfigSet::notAFileMessage();
    QTest::newRow("device") << "device" << ConfigSet::notAFileMessage();
    QTest::newRow("not readable") << "unreadable" << ConfigSet::noPermissionMessage();
}

void tst_config::openWhatIsNoSet()
{
    QFETCH(QString, kind);
    QFETCH(QString, reason);
    const QByteArray working = programSet();
    writeBytes(path(), working);
    QString set = path(QStringLiteral("set.ini"));
    if (kind == QLatin1String("folder"))
        QVERIFY(QDir().mkpath(set));
    else if (kind == QLatin1String("pipe"))
        QCOMPARE(::mkfifo(QFile::encodeName(set).constData(), 0600), 0);
    else if (kind == QLatin1String("device"))
        set = QStringLiteral("/dev/zero");
    else if (kind == QLatin1String("unreadable"))
        writeBytes(set, programSet());
    QString message;
    if (kind == QLatin1String("unreadable")) {
        QVERIFY(QFile::setPermissions(set, {}));
        QVERIFY(QFile::setPermissions(m_dir->path(), QFile::permissions(m_dir->path()) |
                                                         QFile::ExeOther | QFile::ReadOther));
        message = openAsUser(set, path());
    } else {
        // Should the open block after all, a writer ends it, so the test
        // fails instead of hanging.
        std::mutex m;
        std::condition_variable cv;
        bool returned = false;
        bool rescued = false;
        std::thread guard([&] {
            std::unique_lock lock(m);
            if (!cv.wait_for(lock, std::chrono::seconds(60), [&] { return returned; })) {
                rescued = true;
                ::close(::open(QFile::encodeName(set).constData(), O_WRONLY | O_NONBLOCK));
            }
        });
        message = ConfigSet::open(set, path()).message;
        {
            std::lock_guard lock(m);
            returned = true;
        }
        cv.notify_one();
        guard.join();
        QVERIFY(!rescued);
    }
    QCOMPARE(message, QStringLiteral("ファイルの読み込みに失敗しました。\n") + reason);
    QCOMPARE(readBytes(path()), working);
}

QTEST_GUILESS_MAIN(tst_config)
#include "tst_config.moc"
