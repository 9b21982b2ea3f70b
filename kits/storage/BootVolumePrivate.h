#pragma once
// Where the old platform's boot volume lives on the host, for the storage kit's system calls.

#include <string>

namespace kits::storage {

// The host directory standing for "/boot": $OVELIN_BOOT_ROOT when set and not
// empty, else $XDG_DATA_HOME/ovelin/boot (an absolute XDG_DATA_HOME only), else
// ~/.local/share/ovelin/boot. The environment is read on every call, so tests
// may point it elsewhere between uses. The first use of a root creates it with
// the folders the old platform always had ("home/config/settings" and its
// "Media"); a failure there is left for the file operation to report.
std::string BootVolumeRoot();

// The host path for a path as the program writes it: "/boot" and "/boot/..."
// move under BootVolumeRoot(), every other path is returned unchanged.
std::string HostPath(const std::string& path);

} // namespace kits::storage
