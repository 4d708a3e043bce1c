#include "window_core/version_info.h"

namespace quorvel {

QString VersionInfo::VersionText() const {
  return QStringLiteral("%1.%2.%3").arg(major).arg(minor).arg(revision);
}

VersionInfo ProgramVersion() {
  VersionInfo info;
  info.title = QStringLiteral("Quorvel");
  info.major = QUORVEL_VERSION_MAJOR;
  info.minor = QUORVEL_VERSION_MINOR;
  info.revision = QUORVEL_VERSION_PATCH;
  info.company = QStringLiteral("Ombrat (Ferrolt)");
  info.comments = QStringLiteral("Tester per filtri digitali");
  return info;
}

}  // namespace quorvel
