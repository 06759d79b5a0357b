#include "processinfo.h"

#include <QDir>
#include <QFile>

#include <unistd.h>

namespace processinfo {

namespace {

QString folderOf(qint64 pid)
{
    return pid ? QString("/proc/%1").arg(pid) : QString("/proc/self");
}

} // namespace

double cpuSeconds(qint64 pid)
{
    QFile stat(folderOf(pid) + "/stat");
    if (!stat.open(QIODevice::ReadOnly))
        return 0;
    // The fields after the command's name, which is in parentheses and may hold blanks:
    // utime and stime are the 14th and 15th of the whole line.
    const QByteArray line = stat.readAll();
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
    if (fields.size() < 13)
        return 0;
    return (fields[11].toDouble() + fields[12].toDouble()) / sysconf(_SC_CLK_TCK);
}

QMap<qint64, QString> threads(qint64 pid)
{
    QMap<qint64, QString> named;
    const QString tasks = folderOf(pid) + "/task";
    for (const QString &id : QDir(tasks).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile comm(tasks + "/" + id + "/comm");
        if (comm.open(QIODevice::ReadOnly))
            named.insert(id.toLongLong(), QString::fromUtf8(comm.readAll()).trimmed());
    }
    return named;
}

} // namespace processinfo
