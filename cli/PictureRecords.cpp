#include "cli/PictureRecords.h"

#include "platform/AtomicFile.h"

#include <QByteArray>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QString>
#include <algorithm>

namespace cli {

namespace {

QJsonObject ImageJson(const automation::ReportImage& image) {
    QJsonObject o;
    o.insert("type", QString::fromStdString(image.mimeType));
    o.insert("width", image.width);
    o.insert("height", image.height);
    const QByteArray bytes(reinterpret_cast<const char*>(image.bytes.data()),
                           static_cast<qsizetype>(image.bytes.size()));
    o.insert("data", QString::fromLatin1(bytes.toBase64()));
    return o;
}

automation::ReportImage ImageOf(const QJsonObject& o) {
    automation::ReportImage image;
    image.mimeType = o.value("type").toString().toStdString();
    image.width = o.value("width").toInt();
    image.height = o.value("height").toInt();
    const QByteArray bytes = QByteArray::fromBase64(o.value("data").toString().toLatin1());
    image.bytes.assign(bytes.begin(), bytes.end());
    return image;
}

} // namespace

bool WritePictureRecords(const std::string& path, const std::vector<automation::ReplacedPicture>& pictures) {
    QJsonArray array;
    for (const auto& p : pictures) {
        QJsonObject o;
        o.insert("by", static_cast<int>(p.by));
        QJsonArray uses;
        for (const auto& use : p.uses)
            uses.append(QJsonArray{static_cast<int>(use.place), use.slide});
        o.insert("uses", uses);
        o.insert("size_before", QJsonArray{p.widthBefore, p.heightBefore});
        o.insert("size_after", QJsonArray{p.widthAfter, p.heightAfter});
        o.insert("format_before", QString::fromStdString(p.formatBefore));
        o.insert("format_after", QString::fromStdString(p.formatAfter));
        o.insert("bytes_before", p.bytesBefore);
        o.insert("bytes_after", p.bytesAfter);
        o.insert("part_before", QString::fromStdString(p.partBefore));
        o.insert("part_after", QString::fromStdString(p.partAfter));
        o.insert("similarity", p.similarity);
        o.insert("compared", p.compared);
        o.insert("before", ImageJson(p.before));
        o.insert("after", ImageJson(p.after));
        array.append(o);
    }
    return platform::WriteFileAtomically(path,
                                         QJsonDocument(array).toJson(QJsonDocument::Compact).toStdString());
}

std::vector<automation::ReplacedPicture> ReadPictureRecords(const std::string& path) {
    QFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    std::vector<automation::ReplacedPicture> pictures;
    for (const auto& value : QJsonDocument::fromJson(file.readAll()).array()) {
        const QJsonObject o = value.toObject();
        automation::ReplacedPicture p;
        p.by = static_cast<automation::ReplacedBy>(
            std::clamp(o.value("by").toInt(), 0, static_cast<int>(automation::ReplacedBy::DeckPicture)));
        for (const auto& use : o.value("uses").toArray()) {
            const QJsonArray pair = use.toArray();
            p.uses.push_back(
                {static_cast<automation::DeckPicturePlace>(std::clamp(
                     pair.at(0).toInt(), 0, static_cast<int>(automation::DeckPicturePlace::MediaPoster))),
                 pair.at(1).toInt()});
        }
        p.widthBefore = o.value("size_before").toArray().at(0).toInt();
        p.heightBefore = o.value("size_before").toArray().at(1).toInt();
        p.widthAfter = o.value("size_after").toArray().at(0).toInt();
        p.heightAfter = o.value("size_after").toArray().at(1).toInt();
        p.formatBefore = o.value("format_before").toString().toStdString();
        p.formatAfter = o.value("format_after").toString().toStdString();
        p.bytesBefore = o.value("bytes_before").toDouble();
        p.bytesAfter = o.value("bytes_after").toDouble();
        p.partBefore = o.value("part_before").toString().toStdString();
        p.partAfter = o.value("part_after").toString().toStdString();
        p.similarity = o.value("similarity").toDouble(1);
        p.compared = o.value("compared").toBool();
        p.before = ImageOf(o.value("before").toObject());
        p.after = ImageOf(o.value("after").toObject());
        pictures.push_back(std::move(p));
    }
    return pictures;
}

} // namespace cli
