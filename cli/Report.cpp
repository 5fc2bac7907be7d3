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
        if (!e.savings.fonts.empty()) {
            QJsonArray fonts;
            for (const auto& f : e.savings.fonts) {
                QJsonObject font;
                font.insert("typeface", QString::fromStdString(f.typeface));
                font.insert("style", QString::fromStdString(f.style));
                font.insert("bytes_before", static_cast<qint64>(f.bytesBefore));
                font.insert("bytes_after", static_cast<qint64>(f.bytesAfter));
                font.insert("kept", f.kept.empty() ? QJsonValue(QJsonValue::Null)
                                                   : QJsonValue(QString::fromStdString(f.kept)));
                fonts.append(font);
            }
            o.insert("embedded_fonts", fonts);
        }
        if (e.savings.layouts.layouts + e.savings.layouts.masters > 0) {
            o.insert("layouts_removed", e.savings.layouts.layouts);
            o.insert("masters_removed", e.savings.layouts.masters);
        }
        array.append(o);
    }
    return QJsonDocument(array).toJson(QJsonDocument::Indented).toStdString();
}

bool WriteReport(const std::string& path, const std::vector<batch::EntryReport>& entries) {
    return platform::WriteFileAtomically(path, ReportJson(entries));
}

} // namespace cli
