// SPDX-License-Identifier: MIT
#pragma once
// A settings file with the profile rules of the Windows tools the device comes from:
// code page 936, section and key names compared without regard to case, values
// trimmed of surrounding blanks (and of one pair of enclosing quotes). Every read looks
// at the file as it is now; every write reaches the file at once, atomically, and
// leaves every line it does not change exactly as it was. A missing file reads as
// empty; the first write creates it. A file that exists but cannot be read (one over
// MaxSettingsFileSize too) reads as empty and is never replaced: writes to it fail.
//
// The file is parsed once for each content it has; reads only check that it has not
// changed since.
//
// Used on the user-interface thread only.

#include <QByteArray>
#include <QString>
#include <QtGlobal>

#include <memory>
#include <optional>

namespace korvane {

// Settings files are a few hundred bytes; anything this large is not one.
inline constexpr qint64 MaxSettingsFileSize = 1024 * 1024;

class IniFile {
public:
    explicit IniFile(QString fileName);
    ~IniFile();
    IniFile(IniFile&&) noexcept;
    IniFile& operator=(IniFile&&) noexcept;

    const QString& fileName() const { return m_fileName; }

    QString readString(const QString& section, const QString& key, const QString& fallback) const;
    // Decimal with an optional sign, or hexadecimal after "0x" or "$"; anything else
    // gives fallback.
    int readInteger(const QString& section, const QString& key, int fallback) const;
    // An integer other than 0 is true.
    bool readBool(const QString& section, const QString& key, bool fallback) const;

    // Throw KorvaneError when the file cannot be read or written or a name or value
    // would break the file's lines.
    void writeString(const QString& section, const QString& key, const QString& value);
    void writeInteger(const QString& section, const QString& key, int value);
    void writeBool(const QString& section, const QString& key, bool value);

    // The same read and write on a file's bytes instead of the file: what readString
    // gives for them, and the bytes writeString would save (it throws as that does
    // for a name or value that would break the lines).
    static QString stringIn(const QByteArray& bytes, const QString& section, const QString& key,
                            const QString& fallback);
    static QByteArray withString(const QByteArray& bytes, const QString& section,
                                 const QString& key, const QString& value);

private:
    struct Profile;
    // The file as it is now, parsed; a missing or unreadable file gives an empty one.
    const Profile& current() const;
    static QString lookup(const Profile& profile, const QString& section, const QString& key,
                          const QString& fallback);
    static QByteArray written(const Profile& profile, const QString& section, const QString& key,
                              const QString& value);

    QString m_fileName;
    mutable std::unique_ptr<Profile> m_profile;
};

// The integer rule of readInteger, on its own.
int profileInteger(const QString& text, int fallback);
// The same, with nothing for a text that is not an integer by that rule.
std::optional<int> profileIntegerValue(const QString& text);

} // namespace korvane
