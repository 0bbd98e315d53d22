#ifndef LXCHIPOPENFAILURE_H
#define LXCHIPOPENFAILURE_H

#include "LxAbstractPlugin.h"
#include "LxChipOpenResult.h"

#include <QString>

// The host's words and code for an open of the turntable's chip that failed.
namespace LxChipOpenFailure {

// NoDeviceToOpen, ChipChanged or UsbFailure; NoError for an open that worked.
LxAbstractPlugin::ErrorCode code(const LxChipOpenResult& result);

// "No available device found.", "The turntable's USB chip has changed since
// it was found. Search for the turntable again.", or the text of the D2XX
// status that failed ("Device not found", "IO Error", ...); empty for a status
// without a text (FT_OK, the EEPROM statuses, none of D2XX's).
QString text(const LxChipOpenResult& result);

// The text of a D2XX status: "ok" for FT_OK, the words of text() for a
// failing one.
QString statusText(unsigned long status);

} // namespace LxChipOpenFailure

#endif
