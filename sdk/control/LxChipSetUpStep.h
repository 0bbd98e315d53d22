#ifndef LXCHIPSETUPSTEP_H
#define LXCHIPSETUPSTEP_H

/// \file
/// One USB driver call of an open of the turntable's chip, for a check that
/// tells where an open failed.

#include <QString>

#include <string>

/// A D2XX call that LxKalveraTurntableControl::openDevice() made, as
/// LxKalveraTurntableControl::chipSetUpSteps() reports it.
struct LxChipSetUpStep {
    /// The D2XX function and, for one called for more than one purpose, what
    /// for: "FT_Open", "FT_SetBaudRate (single edges)", "FT_SetLatencyTimer",
    /// "FT_SetBitMode (reset)", "FT_SetBitMode (asynchronous bit-bang)",
    /// "FT_Purge (both buffers)", "FT_Purge (transmit buffer)", "FT_Write
    /// (opening pins)", and for the stepper models the timing of the chip's
    /// byte clock: "FT_SetBaudRate (byte clock timing)", "FT_Write (byte clock
    /// timing)".
    std::string call;
    /// The FT_STATUS it returned; 0 (FT_OK) for success.
    unsigned long status = 0;
    /// "ok" for FT_OK, else the text a failed open gives for the status
    /// ("IO Error", "Not supported", ...; empty for a status without one).
    QString statusText;
};

#endif
