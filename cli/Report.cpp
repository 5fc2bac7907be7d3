#include "cli/Report.h"

#include "platform/AtomicFile.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <QString>
#include <cmath>

namespace cli {

std::string ReportJson(const std::vector<batch::EntryReport>& entries) {
    QJsonArray array;
    for (const auto& e : entries) {
        QJsonObject o;
        o.insert("input", QString::fromStdString(e.input));
        o.insert("output", e.output.empty() ? QJsonValue(QJsonValue::Null)
                                            : QJsonValue(QString::fromStdString(e.output)));
        o.insert("bytes_before", static_cast<qint64>(e.bytesBefore));
        o.insert("bytes_after", static_cast<qint64>(e.bytesAfter));
        o.insert("shapes_replaced", e.shapesReplaced);
        o.insert("seconds", std::round(e.seconds * 1000.0) / 1000.0);
        o.insert("result", QString::fromStdString(e.result));
        array.append(o);
    }
    return QJsonDocument(array).toJson(QJsonDocument::Indented).toStdString();
}

bool WriteReport(const std::string& path, const std::vector<batch::EntryReport>& entries) {
    return platform::WriteFileAtomically(path, ReportJson(entries));
}

} // namespace cli
