#include "core/app/FileCopy.h"

#include "core/config/DiskFile.h"

bool copyFileAtomically(const QString &source, const QString &target, QString *error)
{
    return DiskFile::copy(source, target, error);
}

bool writeFileAtomically(const QString &target, const QByteArray &bytes, QString *error)
{
    return DiskFile::replace(target, bytes, error);
}
