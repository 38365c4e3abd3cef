// SPDX-License-Identifier: MIT
#include "link/PortListing.h"

#include <QMap>
#include <QRegularExpression>

#include <windows.h>

#include <setupapi.h>

#include <iterator>
#include <optional>
#include <vector>

namespace korvane {
namespace {

// The Ports (COM & LPT) device class, and the interface serial ports register.
constexpr GUID PortsClass{
    0x4D36E978, 0xE325, 0x11CE, {0xBF, 0xC1, 0x08, 0x00, 0x2B, 0xE1, 0x03, 0x18}};
constexpr GUID ComPortInterface{
    0x86E0D1E0, 0x8089, 0x11D0, {0x9C, 0xE4, 0x08, 0x00, 0x3E, 0x30, 0x1F, 0x73}};

const QRegularExpression& comName() {
    static const QRegularExpression pattern(QStringLiteral("^COM([1-9][0-9]{0,2})$"),
                                            QRegularExpression::CaseInsensitiveOption);
    return pattern;
}

// A text property of the device; empty where it has none.
QString deviceText(HDEVINFO set, SP_DEVINFO_DATA& device, DWORD property) {
    std::vector<wchar_t> buffer(1024);
    DWORD type = 0;
    DWORD size = 0;
    if (!::SetupDiGetDeviceRegistryPropertyW(
            set, &device, property, &type, reinterpret_cast<BYTE*>(buffer.data()),
            DWORD(buffer.size() * sizeof(wchar_t)) - sizeof(wchar_t), &size) ||
        (type != REG_SZ && type != REG_MULTI_SZ))
        return {};
    return QString::fromWCharArray(buffer.data()); // the first string of a multi-string
}

// The COM name the port's driver took, from the device's own registry key.
QString portName(HDEVINFO set, SP_DEVINFO_DATA& device) {
    const HKEY key = ::SetupDiOpenDevRegKey(set, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ);
    if (key == INVALID_HANDLE_VALUE)
        return {};
    wchar_t buffer[64] = {};
    DWORD type = 0;
    DWORD size = sizeof(buffer) - sizeof(wchar_t);
    const LONG status = ::RegQueryValueExW(key, L"PortName", nullptr, &type,
                                           reinterpret_cast<BYTE*>(buffer), &size);
    ::RegCloseKey(key);
    return status == ERROR_SUCCESS && type == REG_SZ ? QString::fromWCharArray(buffer) : QString();
}

QString instanceId(HDEVINFO set, SP_DEVINFO_DATA& device) {
    wchar_t buffer[512] = {};
    if (!::SetupDiGetDeviceInstanceIdW(set, &device, buffer, DWORD(std::size(buffer) - 1), nullptr))
        return {};
    return QString::fromWCharArray(buffer);
}

std::optional<quint16> hexId(const QString& hardwareId, const QString& key) {
    const QRegularExpression pattern(key + QStringLiteral("_([0-9A-F]{4})"),
                                     QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = pattern.match(hardwareId);
    if (!match.hasMatch())
        return std::nullopt;
    return quint16(match.captured(1).toUShort(nullptr, 16));
}

// The ports SetupAPI knows, by COM number: the Ports class and the serial port
// interface, which between them hold the adapters whatever their drivers register.
void addSetupPorts(const GUID& guid, DWORD flags, QMap<int, DetectedPort>& ports) {
    const HDEVINFO set = ::SetupDiGetClassDevsW(&guid, nullptr, nullptr, DIGCF_PRESENT | flags);
    if (set == INVALID_HANDLE_VALUE)
        return;
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof(device);
    for (DWORD i = 0; ::SetupDiEnumDeviceInfo(set, i, &device); ++i) {
        const QString name = portName(set, device).toUpper();
        const QRegularExpressionMatch match = comName().match(name);
        if (!match.hasMatch() || ports.contains(match.captured(1).toInt()))
            continue; // a printer port, or one already listed
        DetectedPort port;
        port.name = name;
        port.systemPath = name;
        port.description = deviceText(set, device, SPDRP_DEVICEDESC);
        if (port.description.isEmpty()) // "USB Serial Port (COM3)": without the name
            port.description = deviceText(set, device, SPDRP_FRIENDLYNAME)
                                   .remove(QStringLiteral(" (") + name + u')');
        port.manufacturer = deviceText(set, device, SPDRP_MFG);
        const QString hardwareId = deviceText(set, device, SPDRP_HARDWAREID);
        port.vendorId = hexId(hardwareId, QStringLiteral("VID"));
        port.productId = hexId(hardwareId, QStringLiteral("PID"));
        // USB\VID_0403&PID_6001\A50285BI: the last part is the adapter's serial number
        // unless Windows made one up (those hold an ampersand).
        const QString instance = instanceId(set, device);
        const QString last = instance.section(u'\\', -1);
        if (instance.startsWith(QLatin1String("USB\\"), Qt::CaseInsensitive) &&
            instance.count(u'\\') == 2 && !last.contains(u'&'))
            port.serialNumber = last;
        ports.insert(match.captured(1).toInt(), port);
    }
    ::SetupDiDestroyDeviceInfoList(set);
}

// Every COMn name the system holds: what Wine has, and ports SetupAPI does not list.
void addDosPorts(QMap<int, DetectedPort>& ports) {
    std::vector<wchar_t> names(1 << 16);
    const DWORD length = ::QueryDosDeviceW(nullptr, names.data(), DWORD(names.size()));
    for (DWORD begin = 0; begin < length && names[begin] != 0;) {
        const QString name = QString::fromWCharArray(names.data() + begin).toUpper();
        begin += DWORD(name.size()) + 1;
        const QRegularExpressionMatch match = comName().match(name);
        if (!match.hasMatch() || ports.contains(match.captured(1).toInt()))
            continue;
        DetectedPort port;
        port.name = name;
        port.systemPath = name;
        ports.insert(match.captured(1).toInt(), port);
    }
}

} // namespace

QList<DetectedPort> detectedPorts() {
    QMap<int, DetectedPort> ports;
    addSetupPorts(PortsClass, 0, ports);
    addSetupPorts(ComPortInterface, DIGCF_DEVICEINTERFACE, ports);
    addDosPorts(ports);
    return ports.values();
}

QStringList candidatePorts(bool) {
    QStringList paths;
    for (const DetectedPort& port : detectedPorts())
        paths.append(port.systemPath);
    return paths;
}

} // namespace korvane
