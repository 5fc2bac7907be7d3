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
        if (!e.media.empty()) {
            QJsonArray media;
            for (const auto& m : e.media) {
                QJsonObject part;
                part.insert("part", QString::fromStdString(m.part));
                part.insert("new_part", m.newPart.empty() ? QJsonValue(QJsonValue::Null)
                                                          : QJsonValue(QString::fromStdString(m.newPart)));
                part.insert("bytes_before", static_cast<qint64>(m.bytesBefore));
                part.insert("bytes_after", static_cast<qint64>(m.bytesAfter));
                part.insert("result", QString::fromStdString(m.result));
                media.append(part);
            }
            o.insert("media", media);
        }
        array.append(o);
    }
    return QJsonDocument(array).toJson(QJsonDocument::Indented).toStdString();
}

bool WriteReport(const std::string& path, const std::vector<batch::EntryReport>& entries) {
    return platform::WriteFileAtomically(path, ReportJson(entries));
}

} // namespace cli
