#include "summarytable.h"

#include <QCoreApplication>
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSaveFile>

namespace {

// A field of the table, quoted where it holds a comma, a quote or a line break.
QString field(const QString &text)
{
    if (!text.contains(QRegularExpression("[,\"\\n]")))
        return text;
    return "\"" + QString(text).replace("\"", "\"\"") + "\"";
}

} // namespace

bool writeSummaryTable(const QString &directory, QString *problem)
{
    auto tr = [](const char *text) { return QCoreApplication::translate("SummaryTable", text); };
    const QDir folder(directory);
    const QStringList summaries = folder.entryList({"*.summary.json"}, QDir::Files, QDir::Name);
    if (summaries.isEmpty()) {
        *problem = tr("there are no summaries (NAME.summary.json) in %1.").arg(QDir::toNativeSeparators(directory));
        return false;
    }
    QStringList rows = {"source,status,frames,seconds,frames_per_second,recognition,method,lines,mota,idf1,"
                        "id_switches,false_positives,misses,error"};
    for (const QString &name : summaries) {
        QFile file(folder.filePath(name));
        const QJsonObject summary = file.open(QIODevice::ReadOnly) ? QJsonDocument::fromJson(file.readAll()).object()
                                                                   : QJsonObject();
        if (summary.isEmpty()) {
            rows << field(folder.filePath(name)) + ",unreadable,,,,,,,,,,,,";
            continue;
        }
        const QJsonObject methods = summary.value("methods").toObject();
        QStringList lines;
        for (const QJsonValue &line : summary.value("lines").toArray()) {
            const QJsonObject count = line.toObject();
            lines << QString("%1 +%2 -%3")
                         .arg(count.value("name").toString())
                         .arg(count.value("forward").toInt())
                         .arg(count.value("backward").toInt());
        }
        const QJsonObject score = summary.value("score").toObject();
        auto scored = [&](const char *key) { return score.isEmpty() ? QString() : QString::number(score.value(key).toDouble()); };
        rows << QStringList{field(summary.value("source").toString()),
                            summary.value("status").toString(),
                            QString::number(summary.value("frames").toInt()),
                            QString::number(summary.value("seconds").toDouble(), 'f', 3),
                            QString::number(summary.value("framesPerSecond").toDouble(), 'f', 2),
                            methods.value("recognition").toString(),
                            methods.value(methods.contains("tracker") ? "tracker" : "detector").toString(),
                            field(lines.join("; ")),
                            scored("mota"),
                            scored("idf1"),
                            scored("idSwitches"),
                            scored("falsePositives"),
                            scored("misses"),
                            field(summary.value("error").toString())}
                    .join(',');
    }
    QSaveFile table(folder.filePath("summary.csv"));
    if (!table.open(QIODevice::WriteOnly) || table.write((rows.join('\n') + '\n').toUtf8()) < 0 || !table.commit()) {
        *problem = tr("cannot write %1: %2.").arg(QDir::toNativeSeparators(folder.filePath("summary.csv")), table.errorString());
        return false;
    }
    return true;
}
