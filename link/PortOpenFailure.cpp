// SPDX-License-Identifier: MIT
#include "link/PortOpenFailure.h"

#include "link/CommDevicePath.h"

#include <QtGlobal>

namespace korvane {

namespace {

// "端口 COM3" with the system's words in brackets where there are any.
QString withSystemText(const QString& text, const QString& systemText) {
    return systemText.isEmpty() ? text : text + QStringLiteral("（") + systemText + u'）';
}

} // namespace

PortFailure describePortProblem(PortProblem problem, const QString& portName, const QString& holder,
                                const QString& systemText) {
    switch (problem) {
    case PortProblem::Missing:
        return {withSystemText(QStringLiteral("找不到端口 %1").arg(portName), systemText),
                QStringLiteral("请插上串口适配器，或选择另一个端口。")};
    case PortProblem::Denied:
        // Only Linux says so: there a serial device belongs to the dialout group.
        return {withSystemText(QStringLiteral("没有打开端口 %1 的权限").arg(portName), systemText),
                QStringLiteral("当前用户不在 dialout 组中：运行 sudo usermod -aG dialout $USER，"
                               "然后注销并重新登录。")};
    case PortProblem::Busy:
        return {holder.isEmpty()
                    ? QStringLiteral("端口 %1 正被另一个程序占用").arg(portName)
                    : QStringLiteral("端口 %1 正被另一个程序占用：%2").arg(portName, holder),
                QStringLiteral("请关闭占用它的程序后再试，或选择另一个端口。")};
    case PortProblem::NotSerial:
        return {withSystemText(QStringLiteral("%1 不是串口").arg(portName), systemText),
                QStringLiteral("请选择一个串口。")};
    case PortProblem::Lost:
        return {withSystemText(QStringLiteral("端口 %1 在使用中断开了").arg(portName), systemText),
                QStringLiteral("请检查适配器和连线；插回后重新连接。")};
    case PortProblem::Other:
        break;
    }
    return {withSystemText(QStringLiteral("端口 %1 打不开").arg(portName), systemText),
            QStringLiteral("请检查端口名和设备，或选择另一个端口。")};
}

QString systemErrorText(int systemError) {
    return systemError == 0 ? QString() : qt_error_string(systemError);
}

PortFailure openFailure(int systemError, const QString& portName) {
    const PortProblem problem = openProblemOf(systemError);
    const QString holder =
        problem == PortProblem::Busy ? portHolders(commDevicePath(portName)) : QString();
    return describePortProblem(problem, portName, holder, systemErrorText(systemError));
}

PortFailure lostFailure(int systemError, const QString& portName) {
    return describePortProblem(PortProblem::Lost, portName, {}, systemErrorText(systemError));
}

} // namespace korvane
