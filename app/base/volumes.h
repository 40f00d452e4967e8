// The mounted local volumes the folder lists and drive scans offer, and the folder-name form
// they share.
#pragma once

#include <QString>
#include <QStringList>

namespace glim {

// The mounted local volumes, as the drives of the scan: real disk file systems, read-only
// image mounts, pseudo and network file systems left out. "/" comes first.
QStringList localVolumes();
// `root` and the local volumes mounted below it, for a walk of one tree that stays off
// pseudo file systems.
QStringList volumesUnder(const QString& root);

// Ends in "/" (the separator of this platform where the system adds "\").
QString withSeparator(const QString& folder);

}  // namespace glim
