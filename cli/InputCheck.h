// SPDX-License-Identifier: MIT
#pragma once
// The strict checks korvanectl makes of its input files before the first frame. The
// window loads any file as it can (a missing line reads as 0); a command that writes a
// device, or compares one with a file, must not act on a file that only looks like one.

#include "files/ConfigurationFile.h"

#include <QByteArray>
#include <QString>

#include <optional>
#include <vector>

namespace korvane::cli {

// What is wrong with an input file, and where.
struct InputProblem {
    QString file;
    int line = 0; // counted from 1; 0 for the file as a whole
    QString what;

    // "FILE:LINE: WHAT", or "FILE: WHAT" without a line.
    QString text() const;
};

// A configuration file is complete and every value is one the format holds and the
// wire carries unchanged: the 44 header lines (serial number and address not 0, the
// switches 0 or 1, the trunk port 0 to 2, delays of 24 bits, the reserved bytes one a
// line), then exactly the 24 port rows, keyed 1 to 24 in order, each assigned row with
// a channel 1 to 256, a coding, a rate the device holds as it is, the clock, edge,
// polarity and state words and a delay of at most FFFFFF; every text valid code page
// 936. The first problem, or nothing.
std::optional<InputProblem> checkConfigurationBytes(const QString& path, const QByteArray& bytes);

// Reads and checks the file; the file as the window would load it, or the problem.
struct CheckedConfiguration {
    std::optional<ConfigurationFile> file;
    std::optional<InputProblem> problem;
};
CheckedConfiguration readCheckedConfiguration(const QString& path);
// The same for bytes already read (standard input); path names them in the problem.
CheckedConfiguration checkedConfiguration(const QString& path, const QByteArray& bytes);

// A backup folder as read -o DIR/ makes it: every .krv in it, each checked as a single
// file is, in the order of their names. The files are known by the serial number they
// hold, not by their names; two files of one serial number, or none at all, are a problem.
struct InputFile {
    QString path;
    ConfigurationFile file;
};
struct CheckedFolder {
    std::vector<InputFile> files;
    std::optional<InputProblem> problem;
};
CheckedFolder readCheckedFolder(const QString& folder);

// The schedule a write sends, read from the .sch beside channels (or SchedulingFile.dat);
// nothing when it can be sent. The problem names the option that supplies it.
std::optional<InputProblem> checkScheduleInput(const QString& channels);

} // namespace korvane::cli
