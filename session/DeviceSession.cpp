// SPDX-License-Identifier: MIT
#include "session/DeviceSession.h"

#include "files/ConfigurationFile.h"
#include "files/IniFile.h"
#include "link/CommandTransport.h"
#include "link/SerialPort.h"
#include "protocol/DeviceProcedures.h"
#include "session/RecentPorts.h"

namespace korvane {

namespace {

const QString SettingSection = QStringLiteral("Setting");
const QString Disconnected = QStringLiteral("断开");

} // namespace

DeviceSession::DeviceSession(DeviceOperator& ui, QObject* parent)
    : QObject(parent), m_config(std::make_unique<DeviceConfiguration>()),
      m_transport(std::make_unique<CommandTransport>()),
      m_procedures(std::make_unique<DeviceProcedures>(*m_config, *m_transport, ui)) {
    DeviceProcedures* p = m_procedures.get();
    connect(p, &DeviceProcedures::portLabelChanged, this, &DeviceSession::portLabelChanged);
    connect(p, &DeviceProcedures::busyChanged, this, &DeviceSession::busyChanged);
    connect(p, &DeviceProcedures::modelIdentified, this, &DeviceSession::modelIdentified);
    connect(p, &DeviceProcedures::addressRead, this, &DeviceSession::addressRead);
    connect(p, &DeviceProcedures::serialNumberRead, this, &DeviceSession::serialNumberRead);
    connect(p, &DeviceProcedures::trunkSummaryChanged, this, &DeviceSession::trunkSummaryChanged);
}

DeviceSession::~DeviceSession() {
    // The procedures and the settings file first, then the transport (which closes the
    // port).
    m_procedures.reset();
    m_settings.reset();
    m_transport.reset();
}

void DeviceSession::useSettingsFile(const QString& path) {
    m_settings = std::make_unique<IniFile>(path);
    const SessionSettings stored = SessionSettings::readFrom(*m_settings);
    m_debug = stored.debug;
    m_transport->setDebug(m_debug);
    m_transport->closePort();
    stored.port.applyTo(m_transport->comm());
    m_config->channelFileName = stored.channelFile;
}

std::unique_ptr<DeviceConfiguration> DeviceSession::releaseConfiguration() {
    m_procedures.reset();
    return std::move(m_config);
}

PortSettings DeviceSession::portSettings() const {
    return PortSettings::of(m_transport->comm());
}

void DeviceSession::setPortSettings(const PortSettings& settings) {
    m_transport->closePort();
    settings.applyTo(m_transport->comm());
    try {
        m_transport->openPort();
    } catch (...) {
        tellPortLabel();
        throw;
    }
    tellPortLabel();
}

void DeviceSession::storePortSettings() {
    if (!m_settings)
        return;
    const PortSettings settings = portSettings();
    settings.writeTo(*m_settings);
    const QStringList recent = readRecentPorts(*m_settings);
    const QStringList updated = withRecentPort(recent, settings.commName);
    if (updated != recent)
        writeRecentPorts(*m_settings, updated);
}

QStringList DeviceSession::recentPorts() const {
    return m_settings ? readRecentPorts(*m_settings) : QStringList();
}

void DeviceSession::openPort() {
    try {
        m_transport->openPort();
    } catch (...) {
        tellPortLabel();
        throw;
    }
    tellPortLabel();
}

void DeviceSession::closePort() {
    m_transport->closePort();
    tellPortLabel();
}

bool DeviceSession::isPortOpen() const {
    return m_transport->isOpen();
}

QString DeviceSession::portLabel() const {
    return isPortOpen() ? m_transport->portDescription() : Disconnected;
}

void DeviceSession::tellPortLabel() {
    emit portLabelChanged(portLabel());
}

void DeviceSession::takeSerialNumberText(const QString& text) {
    m_config->info.serialNumber = serialNumberFromText(text);
}

void DeviceSession::takeAddressText(const QString& text) {
    m_config->info.address = addressFromText(text);
}

bool DeviceSession::writeAll(const QString& serialNumberText, const QString& addressText,
                             bool withSchedule) {
    return m_procedures->writeAll(serialNumberFromText(serialNumberText),
                                  addressFromText(addressText), withSchedule);
}

ConfigurationFile DeviceSession::readConfigurationFile(const QString& path) {
    return korvane::readConfigurationFile(path);
}

void DeviceSession::applyConfiguration(const ConfigurationFile& file) {
    file.applyTo(*m_config);
}

ConfigurationFile DeviceSession::loadConfiguration(const QString& path) {
    ConfigurationFile file = readConfigurationFile(path);
    applyConfiguration(file);
    return file;
}

void DeviceSession::saveConfiguration(const QString& path) {
    writeConfigurationFile(path, *m_config);
}

void DeviceSession::setChannelFile(const QString& path) {
    m_config->channelFileName = path;
    if (m_settings)
        m_settings->writeString(SettingSection, QStringLiteral("ChannelFile"), path);
}

} // namespace korvane
