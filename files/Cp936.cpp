#include "files/Cp936.h"

#include <QStringDecoder>
#include <QStringEncoder>

namespace korvane {

namespace {
constexpr const char* CodecName = "windows-936";
}

QString FromCp936(QByteArrayView bytes) {
    QStringDecoder decoder(CodecName);
    return decoder(bytes);
}

QByteArray ToCp936(QStringView text) {
    QStringEncoder encoder(CodecName);
    return encoder(text);
}

} // namespace korvane
