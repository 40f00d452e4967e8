#include "base/volumes.h"

#include <QStorageInfo>
#include <algorithm>

namespace glim {

namespace {

bool isPseudoOrRemote(const QByteArray& type) {
  static const char* const kSkipped[] = {
      "proc",           "sysfs",   "devtmpfs", "devpts",          "tmpfs",
      "ramfs",          "cgroup",  "cgroup2",  "securityfs",      "debugfs",
      "tracefs",        "pstore",  "bpf",      "mqueue",          "hugetlbfs",
      "configfs",       "fusectl", "autofs",   "binfmt_misc",     "efivarfs",
      "rpc_pipefs",     "nsfs",    "squashfs", "iso9660",         "nfs",
      "nfs4",           "cifs",    "smb3",     "smbfs",           "fuse.sshfs",
      "sshfs",          "afs",     "ceph",     "fuse.gvfsd-fuse", "fuse.portal",
      "overlayfs-lower"};
  for (const char* name : kSkipped)
    if (type == name) return true;
  return false;
}

bool isUnderSystemFolder(const QString& path) {
  for (const char* top : {"/proc", "/sys", "/dev", "/run"})
    if (path == QLatin1String(top) || path.startsWith(QLatin1String(top) + u'/')) return true;
  return false;
}

}  // namespace

QString withSeparator(const QString& folder) {
  return folder.endsWith(u'/') ? folder : folder + u'/';
}

QStringList localVolumes() {
  QStringList roots;
  QList<QByteArray> devices;
  QList<QStorageInfo> volumes = QStorageInfo::mountedVolumes();
  std::sort(volumes.begin(), volumes.end(), [](const QStorageInfo& a, const QStorageInfo& b) {
    return a.rootPath() < b.rootPath();
  });
  for (const QStorageInfo& volume : volumes) {
    if (!volume.isValid() || !volume.isReady()) continue;
    if (isPseudoOrRemote(volume.fileSystemType()) || isUnderSystemFolder(volume.rootPath()))
      continue;
    // The same device mounted twice (bind mounts) is searched once, from its first mount.
    if (devices.contains(volume.device())) continue;
    devices.append(volume.device());
    roots.append(volume.rootPath());
  }
  return roots;
}

QStringList volumesUnder(const QString& root) {
  QStringList roots{root};
  const QString prefix = withSeparator(root);
  for (const QString& volume : localVolumes())
    if (volume.startsWith(prefix) && volume != root) roots.append(volume);
  return roots;
}

}  // namespace glim
