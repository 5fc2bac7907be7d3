#include "platform/CodePage.h"

#include <QByteArray>
#include <QString>
#include <QStringDecoder>
#include <QStringEncoder>

namespace platform {

namespace {

QByteArray ToBytes(std::string_view s) {
    return QByteArray(s.data(), static_cast<qsizetype>(s.size()));
}

} // namespace

std::string ShiftJisToUtf8(std::string_view sjis) {
    QStringDecoder decoder("Shift_JIS");
    const QString text = decoder.decode(ToBytes(sjis));
    return text.toStdString();
}

std::string Utf8ToShiftJis(std::string_view utf8) {
    QStringEncoder encoder("Shift_JIS");
    const QByteArray bytes = encoder.encode(QString::fromUtf8(ToBytes(utf8)));
    return bytes.toStdString();
}

} // namespace platform
