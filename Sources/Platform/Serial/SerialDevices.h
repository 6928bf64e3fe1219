// Where the USB-serial adapter and its driver are found, without a shell. Both listings
// honour an override from the environment, for tests and unusual set-ups:
// QUILLON_SERIAL_DEVICES is a glob of device paths, QUILLON_SERIAL_DRIVER the folder whose
// listing shows the driver. The caller looks at the first line; an empty list means none.
#pragma once

#include <string>
#include <vector>

// Device paths in listing order: the override's matches, else on Linux the /dev/ttyUSB*
// nodes served by ftdi_sio, on macOS /dev/cu.usbserial*. Empty when nothing matches.
std::vector<std::string> serialDeviceListing();

// The driver folder's entries, sorted by name: the override folder, else on Linux
// /sys/bus/usb-serial/drivers/ftdi_sio (or, when the module is installed but not loaded,
// the one line "ftdi_sio"), on macOS the driver's kext folder. Empty when there is no driver.
std::vector<std::string> serialDriverListing();

// The paths a glob matches, in glob(3)'s order; empty when none match or the glob fails.
std::vector<std::string> globPaths(const std::string& pattern);

// The names in a folder (no "." or ".."), sorted byte-wise; empty when it cannot be read.
std::vector<std::string> folderListing(const std::string& folder);
