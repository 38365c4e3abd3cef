// SPDX-License-Identifier: MIT
#include "protocol/Commands.h"

#include "config/DisplayTexts.h"
#include "config/KorvaneError.h"

namespace korvane {
namespace {

constexpr std::size_t SinglePortResponseLength = 92;
constexpr std::size_t ABPortResponseLength = 164;

const QString MalformedText = QStringLiteral("参数返回有错误！");

QString countErrorText(std::uint8_t code) {
    switch (code) {
    case command::ReadAddress:
        return QStringLiteral("地址参数返回数量错误！");
    case command::ReadSerialNumber:
        return QStringLiteral("序列号参数返回数量错误！");
    case command::ReadPortParams:
        return QStringLiteral("端口参数返回数量错误！");
    case command::ReadGps:
        return QStringLiteral("GPS参数返回数量错误！");
    case command::ReadTrunkAttributes:
        return QStringLiteral("干线参数返回数量错误！");
    default:
        return QStringLiteral("延时参数返回数量错误！");
    }
}

ReadResponse refuse(QString text, QString caption) {
    return ReadResponse{{}, ErrorBox{std::move(text), std::move(caption)}};
}

} // namespace

bool isReadCommand(std::uint8_t code) noexcept {
    switch (code) {
    case command::ReadAddress:
    case command::ReadSerialNumber:
    case command::ReadPortParams:
    case command::ReadGps:
    case command::ReadTrunkAttributes:
    case command::ReadTrunkDelay:
        return true;
    default:
        return false;
    }
}

DeviceLayout layoutOf(const QString& model) {
    if (model == text::ModelSingle)
        return DeviceLayout::Single;
    if (model == text::ModelAB)
        return DeviceLayout::AB;
    throw KorvaneError(QStringLiteral("Korvane 版本错误！"), KorvaneError::Kind::Model);
}

QString modelFromPortResponseLength(std::size_t length) {
    if (length == SinglePortResponseLength)
        return text::ModelSingle;
    if (length == ABPortResponseLength)
        return text::ModelAB;
    return text::ModelUnknown;
}

QString modelFromProbeAnswer(std::span<const std::uint8_t> raw) {
    if (!isAcceptableFrame(raw))
        return text::ModelUnknown;
    return modelFromPortResponseLength(unescapeFrame(raw).size());
}

ByteBuffer readRequest(std::uint8_t code) {
    return plainFrame(code, {});
}

std::optional<std::size_t> expectedResponseLength(std::uint8_t code, const QString& model) {
    switch (code) {
    case command::ReadAddress:
        return 6;
    case command::ReadSerialNumber:
        return 7;
    case command::ReadPortParams:
        return layoutOf(model) == DeviceLayout::AB ? ABPortResponseLength
                                                   : SinglePortResponseLength;
    case command::ReadGps:
        return 5;
    case command::ReadTrunkAttributes:
        return 8;
    case command::ReadTrunkDelay:
        return layoutOf(model) == DeviceLayout::AB ? 10 : 7;
    default:
        return std::nullopt;
    }
}

ReadResponse checkReadResponse(std::uint8_t code, const QString& model,
                               std::optional<std::span<const std::uint8_t>> raw) {
    if (!raw) {
        const QString hex = QString::number(code, 16).toUpper().rightJustified(2, QLatin1Char('0'));
        return refuse(NoAnswerText, QStringLiteral("通讯错误") + hex);
    }
    if (!isAcceptableFrame(*raw))
        return refuse(MalformedText, text::CaptionOrlendis);
    ByteBuffer frame = unescapeFrame(*raw);
    const std::optional<std::size_t> expected = expectedResponseLength(code, model);
    if (expected && frame.size() != *expected)
        return refuse(countErrorText(code) + QLatin1Char('"') + QString::number(frame.size()),
                      text::CaptionOrlendis);
    return ReadResponse{std::move(frame), std::nullopt};
}

} // namespace korvane
