#ifndef LXTURNTABLECHIP_H
#define LXTURNTABLECHIP_H

/// \file
/// A USB chip as the backend lists it, for a check of what is attached.

#include <string>

/// One device of the USB backend's list, as
/// LxKalveraTurntableControl::attachedChips() reports it.
struct LxTurntableChip {
    /// Whether the chip can be opened now.
    enum class Availability {
        /// Not open anywhere: an open may take it.
        Free,
        /// Listed as open, by another program or another controller of this
        /// one.
        OpenElsewhere,
        /// Listed without its description and serial number, as a backend
        /// lists a device this user may not open (on Linux: no udev rule).
        NotPermitted
    };

    /// The device's index in the backend's list.
    int listIndex = -1;
    /// The chip's description ("FT245R USB FIFO"); empty when not permitted.
    std::string description;
    /// The chip's serial number; empty when not permitted or the chip has none.
    std::string serialNumber;
    /// Whether it may be a turntable's chip: an FT245R ("245R" in its
    /// description), or a device listed without its strings with the FT245R's
    /// USB ids.
    bool isTurntableChip = false;
    /// Whether it can be opened now.
    Availability availability = Availability::Free;
};

#endif
