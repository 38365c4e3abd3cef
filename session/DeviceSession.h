// SPDX-License-Identifier: MIT
#pragma once
// One device session: the configuration, the settings file, the command transport
// with its serial port, and the device procedures, for one port. The window and
// korvanectl (one session per port, each on its port's thread) create a session and
// work through it; neither builds a port, transport, settings file or procedures of
// its own. The operator's inputs (field texts, file paths, port settings) are taken
// at this edge and converted once; what changes is told by signals.
//
// A session lives on one thread and is used from that thread only.

#include "config/DeviceConfiguration.h"
#include "protocol/DeviceOperator.h"
#include "session/PortSettings.h"

#include <QObject>
#include <QString>

#include <memory>

namespace korvane {

class BusyCursor;
class CommandTransport;
struct ConfigurationFile;
class DeviceProcedures;
class IniFile;

class DeviceSession : public QObject {
    Q_OBJECT
public:
    // The operator the procedures reach; it must outlive the session.
    explicit DeviceSession(DeviceOperator& ui, QObject* parent = nullptr);
    ~DeviceSession() override;

    // Takes the settings file (the window's KORVANE.INI): its debug flag, port keys and
    // channel file. Without one the session keeps the defaults and stores nothing.
    void useSettingsFile(const QString& path);
    bool isDebug() const { return m_debug; }

    DeviceConfiguration& configuration() { return *m_config; }
    const DeviceConfiguration& configuration() const { return *m_config; }
    // Hands the configuration over when the session's work is done (korvanectl's
    // results outlive their port's thread); nothing but destruction may follow.
    std::unique_ptr<DeviceConfiguration> releaseConfiguration();
    CommandTransport& transport() { return *m_transport; }
    DeviceProcedures& procedures() { return *m_procedures; }

    // The port.
    PortSettings portSettings() const;
    // Applies the settings and reopens the port. Throws KorvaneError (Port) when it
    // will not open; the port is closed then and the settings are kept all the same.
    void setPortSettings(const PortSettings& settings);
    // Stores the port's keys in the settings file, and a network port's name among the
    // recent ones (RecentPorts.h). Throws KorvaneError.
    void storePortSettings();
    // The network ports used before, newest first; none without a settings file.
    QStringList recentPorts() const;
    // Throws KorvaneError (Port).
    void openPort();
    void closePort();
    bool isPortOpen() const;
    // "COM1 9600-8-N-1" while the port is open, "断开" while it is closed.
    QString portLabel() const;

    // The operator's serial-number and address texts, converted once.
    void takeSerialNumberText(const QString& text);
    void takeAddressText(const QString& text);

    // Write-all, refused for a serial number or address text that converts to 0.
    bool writeAll(const QString& serialNumberText, const QString& addressText,
                  bool withSchedule = true);

    // The configuration file: applied to the configuration, or written from it.
    // Throw KorvaneError. A file read once may be applied to several sessions.
    static ConfigurationFile readConfigurationFile(const QString& path);
    void applyConfiguration(const ConfigurationFile& file);
    ConfigurationFile loadConfiguration(const QString& path);
    void saveConfiguration(const QString& path);
    // The channel file, stored in the settings file. Throws KorvaneError.
    void setChannelFile(const QString& path);

signals:
    // The port was opened, closed or given other settings.
    void portLabelChanged(const QString& label);
    // What the procedures tell (see DeviceProcedures); the port table's rows and the
    // refresh flags are told by the configuration itself.
    void busyChanged(bool busy);
    void modelIdentified(const QString& model);
    void addressRead(const QString& decimal, const QString& answerHex);
    void serialNumberRead(const QString& decimal, const QString& answerHex);
    void trunkSummaryChanged(const QString& summary);

private:
    void tellPortLabel();

    std::unique_ptr<DeviceConfiguration> m_config;
    std::unique_ptr<IniFile> m_settings;
    std::unique_ptr<CommandTransport> m_transport;
    std::unique_ptr<DeviceProcedures> m_procedures;
    bool m_debug = false;
};

} // namespace korvane
