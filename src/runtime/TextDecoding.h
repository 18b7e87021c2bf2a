#pragma once

#include <QByteArray>
#include <QString>
#include <QStringDecoder>

#include <optional>

namespace qv::text {

// The bytes as UTF-8 text; nothing when they are not UTF-8, a sequence cut off at the end
// included (a decoder that keeps state would hold such a tail back and drop it silently).
inline std::optional<QString> decodeUtf8(const QByteArray &bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = decoder.decode(bytes);
    if (decoder.hasError())
        return std::nullopt;
    return text;
}

// Text of the ICCCM's STRING type: UTF-8 where the bytes are UTF-8 (as most programs
// write it), else ISO 8859-1, the encoding the type is defined in.
inline QString decodeUtf8OrLatin1(const QByteArray &bytes)
{
    if (std::optional<QString> text = decodeUtf8(bytes))
        return *text;
    return QString::fromLatin1(bytes);
}

} // namespace qv::text
