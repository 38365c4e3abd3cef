// SPDX-License-Identifier: MIT
// The channel delay file: the first input line is the channel asked for, the rest the
// file's bytes.
#include "files/ChannelFile.h"
#include "files/Cp936.h"
#include "files/IniFile.h"
#include "fuzz/FuzzSupport.h"

using namespace korvane;

FUZZ_INIT_QT

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray input = fuzz::bytes(data, size);
    const qsizetype lf = input.indexOf('\n');
    const QString channel = fromCp936(lf < 0 ? input : input.left(lf));
    const QByteArray file = lf < 0 ? QByteArray() : input.mid(lf + 1);
    const QString delay = IniFile::stringIn(file, QStringLiteral("DELAY"), channel, NoChannelDelay);
    FUZZ_REQUIRE(!delay.contains(u'\n'));
    return 0;
}
