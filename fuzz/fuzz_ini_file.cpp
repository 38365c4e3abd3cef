// SPDX-License-Identifier: MIT
// The settings file layer: parse, write every key's value back, parse again; every
// key reads the same. A key then written with a new value reads that value and leaves
// the others alone.
#include "config/KorvaneError.h"
#include "files/Cp936.h"
#include "files/IniFile.h"
#include "fuzz/FuzzSupport.h"

#include <utility>
#include <vector>

using namespace korvane;

FUZZ_INIT_QT

namespace {

using Name = std::pair<QString, QString>; // section, key

// Every read and write parses the whole text again: a few names of a file up to a
// few kilobytes, as settings files are, keep each run well under the time limit.
// Larger texts are only read.
constexpr std::size_t MaxNames = 8;
constexpr std::size_t MaxRoundTripSize = 4096;

// Every section and key name the lines mention, under every section name seen before
// them; the reads decide which of them are there.
std::vector<Name> candidates(const QByteArray& bytes) {
    std::vector<Name> names;
    QString section;
    for (const QByteArray& raw : bytes.split('\n')) {
        const QString text = fromCp936(raw).trimmed();
        if (text.startsWith(u'[')) {
            const qsizetype close = text.indexOf(u']');
            section = text.mid(1, close < 0 ? -1 : close - 1).trimmed();
        } else if (const qsizetype eq = text.indexOf(u'='); eq > 0) {
            names.emplace_back(section, text.left(eq).trimmed());
        }
        if (names.size() >= MaxNames)
            break;
    }
    return names;
}

const QString Absent = QStringLiteral("\n"); // no value read can hold a line end

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes = fuzz::bytes(data, size);
    std::vector<Name> names = candidates(bytes);
    if (size > MaxRoundTripSize && names.size() > 1)
        names.resize(1);
    std::vector<QString> values;
    for (const auto& [section, key] : names)
        values.push_back(IniFile::stringIn(bytes, section, key, Absent));

    if (size > MaxRoundTripSize)
        return 0;
    QByteArray written = bytes;
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (values[i] == Absent)
            continue;
        try {
            written = IniFile::withString(written, names[i].first, names[i].second, values[i]);
        } catch (const KorvaneError&) {
            continue; // a name the writer refuses
        }
    }
    for (std::size_t i = 0; i < names.size(); ++i)
        FUZZ_REQUIRE(IniFile::stringIn(written, names[i].first, names[i].second, Absent) ==
                     values[i]);

    if (names.empty())
        return 0;
    const auto& [section, key] = names[size % names.size()];
    const QString value = QStringLiteral("v%1").arg(size);
    try {
        written = IniFile::withString(written, section, key, value);
    } catch (const KorvaneError&) {
        return 0;
    }
    FUZZ_REQUIRE(IniFile::stringIn(written, section, key, Absent) == value);
    for (std::size_t i = 0; i < names.size(); ++i)
        if (names[i].first.compare(section, Qt::CaseInsensitive) != 0 ||
            names[i].second.compare(key, Qt::CaseInsensitive) != 0)
            FUZZ_REQUIRE(IniFile::stringIn(written, names[i].first, names[i].second, Absent) ==
                         values[i]);
    return 0;
}
