// SPDX-License-Identifier: MIT
#include "link/NetworkPortName.h"

#include <QHostAddress>
#include <QRegularExpression>

namespace korvane {

namespace {

const QString Rfc2217Prefix = QStringLiteral("rfc2217://");
const QString SocketPrefix = QStringLiteral("socket://");

std::optional<NetworkPortName> refuse(QString* problem, const QString& text) {
    if (problem != nullptr)
        *problem = text;
    return std::nullopt;
}

} // namespace

bool isNetworkPortName(const QString& name) {
    static const QRegularExpression scheme(QStringLiteral("^[A-Za-z][A-Za-z0-9+.-]*://"));
    return scheme.match(name.trimmed()).hasMatch();
}

std::optional<NetworkPortName> parseNetworkPortName(const QString& name, QString* problem) {
    const QString text = name.trimmed();
    NetworkPortName parsed;
    QString rest;
    if (text.startsWith(Rfc2217Prefix, Qt::CaseInsensitive)) {
        parsed.scheme = NetworkPortName::Scheme::Rfc2217;
        rest = text.mid(Rfc2217Prefix.size());
    } else if (text.startsWith(SocketPrefix, Qt::CaseInsensitive)) {
        parsed.scheme = NetworkPortName::Scheme::Socket;
        rest = text.mid(SocketPrefix.size());
    } else {
        return refuse(problem, QStringLiteral("端口名 %1 的类型未知：网络端口写作 "
                                              "rfc2217://主机:端口 或 socket://主机:端口")
                                   .arg(text));
    }

    qsizetype colon = -1;
    if (rest.startsWith(u'[')) {
        const qsizetype close = rest.indexOf(u']');
        if (close < 0)
            return refuse(problem, QStringLiteral("端口名 %1 的 IPv6 地址缺少 ]").arg(text));
        parsed.host = rest.mid(1, close - 1);
        if (QHostAddress(parsed.host).protocol() != QAbstractSocket::IPv6Protocol)
            return refuse(
                problem, QStringLiteral("端口名 %1 的 [%2] 不是 IPv6 地址").arg(text, parsed.host));
        if (close + 1 < rest.size() && rest.at(close + 1) != u':')
            return refuse(problem, QStringLiteral("端口名 %1 的 ] 后面应是 :端口").arg(text));
        colon = close + 1 < rest.size() ? close + 1 : -1;
    } else {
        colon = rest.lastIndexOf(u':');
        parsed.host = colon < 0 ? rest : rest.left(colon);
        if (parsed.host.contains(u':'))
            return refuse(problem, QStringLiteral("端口名 %1 中的 IPv6 地址要写在方括号里，例如 "
                                                  "rfc2217://[::1]:4000")
                                       .arg(text));
    }
    static const QRegularExpression hostName(QStringLiteral("^[A-Za-z0-9._-]+$"));
    if (parsed.host.isEmpty())
        return refuse(problem, QStringLiteral("端口名 %1 缺少主机名").arg(text));
    if (!rest.startsWith(u'[') && !hostName.match(parsed.host).hasMatch())
        return refuse(
            problem,
            QStringLiteral("端口名 %1 的主机名 %2 含有不允许的字符").arg(text, parsed.host));
    if (colon < 0 || colon + 1 >= rest.size())
        return refuse(problem, QStringLiteral("端口名 %1 缺少 TCP 端口号，例如 %1:4000").arg(text));
    const QString portText = rest.mid(colon + 1);
    static const QRegularExpression digits(QStringLiteral("^[0-9]{1,9}$"));
    if (!digits.match(portText).hasMatch())
        return refuse(problem,
                      QStringLiteral("端口名 %1 的 TCP 端口号 %2 不是数字").arg(text, portText));
    const int port = portText.toInt();
    if (port < 1 || port > 65535)
        return refuse(
            problem,
            QStringLiteral("端口名 %1 的 TCP 端口号 %2 不在 1 到 65535 之间").arg(text, portText));
    parsed.port = static_cast<std::uint16_t>(port);
    return parsed;
}

QString portNameProblem(const QString& name) {
    QString problem;
    if (isNetworkPortName(name))
        parseNetworkPortName(name, &problem);
    return problem;
}

} // namespace korvane
