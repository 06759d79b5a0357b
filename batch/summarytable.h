#ifndef SUMMARYTABLE_H
#define SUMMARYTABLE_H

#include <QString>

// Merges the summaries kestrovix-batch left in `directory` (NAME.summary.json, one per
// input) into one table, `directory`/summary.csv, a row per input. False, with
// `problem` saying why, when there are none or the table cannot be written.
bool writeSummaryTable(const QString &directory, QString *problem);

#endif // SUMMARYTABLE_H
