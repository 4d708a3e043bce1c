#pragma once

#include <QString>

namespace quorvel {

// The program's version information: what the about box shows and what identifies the program.
struct VersionInfo {
  QString title;
  int major = 0;
  int minor = 0;
  int revision = 0;
  QString company;
  QString comments;

  // Major, minor and revision joined by ".", as in 1.0.0.
  QString VersionText() const;
};

// This program's version information; the numbers come from the build's project version.
VersionInfo ProgramVersion();

}  // namespace quorvel
