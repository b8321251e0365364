#pragma once
// Machine identity: the computer name and the system volume's serial number.
#include <QString>

namespace kvos {

// The host name of this machine, cut to 15 characters as a Windows computer name is.
QString computerName();

// The first 8 hex digits of /etc/machine-id, upper-cased; empty when unreadable.
// Stands in for the serial number of the system volume.
QString systemVolumeSerial();

// Reads the serial from another file (tests).
QString systemVolumeSerialFrom(const QString& machineIdPath);

} // namespace kvos
