#include "cli/Report.h"

#include "platform/AtomicFile.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <QString>
#include <cmath>

namespace cli {

namespace {

constexpr automation::DeckPicturePlace kPlaces[] = {
    automation::DeckPicturePlace::Background, automation::DeckPicturePlace::Fill,
    automation::DeckPicturePlace::Layout,     automation::DeckPicturePlace::Master,
    automation::DeckPicturePlace::Notes,      automation::DeckPicturePlace::Slide,
    automation::DeckPicturePlace::MediaPoster};

} // namespace

automation::DeckPicturePlace PlaceFromText(const std::string& text) {
    for (const auto place : kPlaces)
        if (text == PlaceText(place))
            return place;
    return automation::DeckPicturePlace::Fill;
}

const char* PlaceText(automation::DeckPicturePlace place) {
    switch (place) {
    case automation::DeckPicturePlace::Background:
        return "background";
    case automation::DeckPicturePlace::Layout:
        return "layout";
    case automation::DeckPicturePlace::Master:
        return "master";
    case automation::DeckPicturePlace::Notes:
        return "notes";
    case automation::DeckPicturePlace::Slide:
        return "slide";
    case automation::DeckPicturePlace::MediaPoster:
        return "media-poster";
    default:
        return "fill";
    }
}

namespace {

// The picture parts the deck-wide pass recompressed, when the output that holds them was written.
QJsonArray DeckPicturesJson(const batch::EntryReport& e) {
    QJsonArray list;
    if (e.output.empty())
        return list;
    for (const auto& p : e.deckPictures) {
        QJsonObject o;
        o.insert("part", QString::fromStdString(p.part));
        o.insert("place", PlaceText(p.place));
        o.insert("width", p.width);
        o.insert("height", p.height);
        o.insert("format", QString::fromStdString(p.format));
        o.insert("bytes_before", static_cast<qint64>(p.bytesBefore));
        o.insert("bytes_after", static_cast<qint64>(p.bytesAfter));
        list.append(o);
    }
    return list;
}

} // namespace

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
        // The output is the input saved as it was: the replacements together did not make it smaller.
        o.insert("changes_discarded", e.changesDiscarded);
        o.insert("deck_pictures", DeckPicturesJson(e));
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
        if (e.goal) {
            // The size goal: whether the kept output reached it and what it was made with.
            const batch::GoalOutcome& g = *e.goal;
            o.insert("target_bytes", static_cast<qint64>(g.targetBytes));
            o.insert("reached", g.reached);
            o.insert("target_step", QString::fromStdString(g.step));
            QJsonObject used;
            used.insert("quality", g.settings.Ratio);
            used.insert("expect_rate", QString::fromStdString(g.settings.ExpectRate));
            used.insert("file_size", QString::fromStdString(g.settings.FileSize));
            used.insert("objects", g.settings.OLE == 1);
            used.insert("media", g.settings.MediaInDeck == 1);
            used.insert("fonts", g.settings.SubsetFonts == 1);
            used.insert("layouts", g.settings.RemoveUnusedLayouts == 1);
            o.insert("target_settings", used);
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
