// SPDX-License-Identifier: MIT
#include "files/Cp936Runs.h"

#include <QStringDecoder>
#include <QStringEncoder>

namespace korvane {

namespace {

constexpr const char* CodecName = "windows-936";

} // namespace

// Opening an ICU converter costs more than converting a line, so each thread keeps one
// of each; a run always ends on a whole character, which leaves them in their start state.
QString decodeCp936Run(QByteArrayView bytes) {
    thread_local QStringDecoder decoder(CodecName);
    decoder.resetState();
    return decoder(bytes);
}

QByteArray encodeCp936Run(QStringView text) {
    thread_local QStringEncoder encoder(CodecName);
    encoder.resetState();
    return encoder(text);
}

} // namespace korvane
