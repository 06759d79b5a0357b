#ifndef PROCESSINFO_H
#define PROCESSINFO_H

// What Linux's /proc tells of a process of the tests (0: this one).

#include <QMap>
#include <QString>

namespace processinfo {

// The CPU time it has used so far, in seconds, user and system together.
double cpuSeconds(qint64 pid = 0);

// Its threads now: their ids, with their names.
QMap<qint64, QString> threads(qint64 pid = 0);

} // namespace processinfo

#endif // PROCESSINFO_H
