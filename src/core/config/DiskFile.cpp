#include "core/config/DiskFile.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <atomic>
#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::atomic<int> g_syncFault{0};

void setReason(QString *reason, int error)
{
    if (reason)
        *reason = DiskFile::reasonText(error);
}

// Writes all of `size` bytes, going on after a short write: the second write
// is the one that names the reason (a full disk takes what fits first).
bool writeAll(int fd, const char *data, qint64 size, int *error)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size_t(size));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            *error = errno;
            return false;
        }
        if (n == 0) {
            *error = EIO;
            return false;
        }
        data += n;
        size -= n;
    }
    return true;
}

bool syncFile(int fd, int *error)
{
    if (const int fault = g_syncFault.exchange(0)) {
        *error = fault;
        return false;
    }
    if (::fdatasync(fd) == 0)
        return true;
    *error = errno;
    return false;
}

// The file a replace lands on: a link is followed, so the link stays a link.
QString landingPath(const QString &target)
{
    const QFileInfo info(target);
    return info.isSymLink() ? info.symLinkTarget() : target;
}

// A new file beside `target`, named after it with six letters and digits, as
// IniFile::removeLeftovers recognises what an interrupted write left.
int createTemporary(const QString &target, QString *tempPath, int *error)
{
    static const char letters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    for (int attempt = 0; attempt < 100; ++attempt) {
        QString suffix;
        for (int i = 0; i < 6; ++i)
            suffix += QLatin1Char(letters[QRandomGenerator::global()->bounded(62)]);
        // At least one digit: a lower-case word is somebody's own copy.
        suffix[0] = QLatin1Char(char('0' + QRandomGenerator::global()->bounded(10)));
        *tempPath = target + QLatin1Char('.') + suffix;
        const int fd = ::open(QFile::encodeName(*tempPath).constData(),
                              O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0)
            return fd;
        if (errno != EEXIST) {
            *error = errno;
            return -1;
        }
    }
    *error = EEXIST;
    return -1;
}

// Writes what `produce` hands out into a temporary file beside `target` and
// renames it over `target` when all of it is on the disk. `produce` returns
// false with an error number when its source fails, and an empty chunk at
// the end.
template <typename Produce>
bool replaceWith(const QString &target, QString *reason, Produce produce)
{
    const QString landing = landingPath(target);
    const QByteArray landingName = QFile::encodeName(landing);
    QString tempPath;
    int error = 0;
    const int fd = createTemporary(landing, &tempPath, &error);
    if (fd < 0) {
        setReason(reason, error);
        return false;
    }
    const QByteArray tempName = QFile::encodeName(tempPath);
    // The replaced file keeps who may read it.
    struct stat old {};
    if (::stat(landingName.constData(), &old) == 0)
        ::fchmod(fd, old.st_mode & 07777);
    bool ok = true;
    for (;;) {
        QByteArray chunk;
        if (!produce(chunk, &error)) {
            ok = false;
            break;
        }
        if (chunk.isEmpty())
            break;
        if (!writeAll(fd, chunk.constData(), chunk.size(), &error)) {
            ok = false;
            break;
        }
    }
    ok = ok && syncFile(fd, &error);
    if (::close(fd) != 0 && ok) {
        error = errno;
        ok = false;
    }
    if (ok && ::rename(tempName.constData(), landingName.constData()) != 0) {
        error = errno;
        ok = false;
    }
    if (!ok) {
        ::unlink(tempName.constData());
        setReason(reason, error);
    }
    return ok;
}

} // namespace

QString DiskFile::reasonText(int error)
{
    switch (error) {
    case ENOSPC:
        return QStringLiteral("ディスクの空き容量が不足しています。");
    case EDQUOT:
        return QStringLiteral("ディスクの使用量が上限に達しています。");
    case EACCES:
    case EPERM:
        return QStringLiteral("アクセスする権限がありません。");
    case EROFS:
        return QStringLiteral("ディスクが読み取り専用です。");
    case EIO:
        return QStringLiteral("ディスクの読み書きでエラーが発生しました。");
    case ENOENT:
    case ENOTDIR:
        return QStringLiteral("ファイルまたはフォルダが見つかりません。");
    case EISDIR:
        return QStringLiteral("同じ名前のフォルダがあります。");
    case ENAMETOOLONG:
        return QStringLiteral("ファイル名が長すぎます。");
    case EFBIG:
        return QStringLiteral("ファイルが大きすぎます。");
    default:
        return qt_error_string(error);
    }
}

void DiskFile::failNextSync(int error)
{
    g_syncFault = error;
}

bool DiskFile::replace(const QString &target, const QByteArray &bytes, QString *reason)
{
    bool given = false;
    return replaceWith(target, reason, [&](QByteArray &chunk, int *) {
        if (!given)
            chunk = bytes;
        given = true;
        return true;
    });
}

bool DiskFile::copy(const QString &source, const QString &target, QString *reason)
{
    const int in = ::open(QFile::encodeName(source).constData(), O_RDONLY | O_CLOEXEC);
    if (in < 0) {
        setReason(reason, errno);
        return false;
    }
    const bool ok = replaceWith(target, reason, [in](QByteArray &chunk, int *error) {
        chunk.resize(256 * 1024);
        for (;;) {
            const ssize_t n = ::read(in, chunk.data(), size_t(chunk.size()));
            if (n >= 0) {
                chunk.resize(n);
                return true;
            }
            if (errno != EINTR) {
                *error = errno;
                return false;
            }
        }
    });
    ::close(in);
    return ok;
}

bool DiskFile::append(const QString &path, const QByteArray &bytes, QString *reason)
{
    DiskFile file;
    const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_APPEND | O_CLOEXEC);
    if (fd < 0) {
        setReason(reason, errno);
        return false;
    }
    file.m_fd = fd;
    file.m_path = path;
    if (!file.write(bytes, reason))
        return false;
    int error = 0;
    if (!syncFile(fd, &error)) {
        // Not known to be on the disk: taken back, so a retry adds it once.
        struct stat st {};
        if (::fstat(fd, &st) == 0 && st.st_size >= bytes.size())
            (void)::ftruncate(fd, st.st_size - bytes.size());
        setReason(reason, error);
        return false;
    }
    file.m_fd = -1;
    if (::close(fd) != 0) {
        setReason(reason, errno);
        return false;
    }
    return true;
}

DiskFile::~DiskFile()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

bool DiskFile::open(const QString &path, int flags, QString *reason)
{
    close();
    const int fd = ::open(QFile::encodeName(path).constData(),
                          O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC | flags, 0666);
    if (fd < 0) {
        setReason(reason, errno);
        return false;
    }
    m_fd = fd;
    m_path = path;
    return true;
}

bool DiskFile::create(const QString &path, QString *reason)
{
    return open(path, O_EXCL, reason);
}

bool DiskFile::openAppending(const QString &path, QString *reason)
{
    return open(path, 0, reason);
}

bool DiskFile::write(const QByteArray &bytes, QString *reason)
{
    if (m_fd < 0) {
        setReason(reason, EBADF);
        return false;
    }
    struct stat st {};
    if (::fstat(m_fd, &st) != 0) {
        setReason(reason, errno);
        return false;
    }
    int error = 0;
    if (writeAll(m_fd, bytes.constData(), bytes.size(), &error))
        return true;
    // What fitted of it goes again: the file ends where it ended.
    (void)::ftruncate(m_fd, st.st_size);
    setReason(reason, error);
    return false;
}

bool DiskFile::close(QString *reason)
{
    if (m_fd < 0)
        return true;
    int error = 0;
    bool ok = syncFile(m_fd, &error);
    if (::close(m_fd) != 0 && ok) {
        error = errno;
        ok = false;
    }
    m_fd = -1;
    if (!ok)
        setReason(reason, error);
    return ok;
}
