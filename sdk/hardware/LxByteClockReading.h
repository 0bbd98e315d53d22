#ifndef LXBYTECLOCKREADING_H
#define LXBYTECLOCKREADING_H

#include <string>

// What an FT245R's asynchronous bit-bang clock showed when the driver timed
// it. The chip's application note says the clock puts 16 bytes on the pins
// per baud period; measurements of R-series chips have found 4. Chip-clocked
// step trains are only right on a chip whose clock is known, so the driver
// times a silent train at every open rather than trust either reading.
struct LxByteClockReading {
    // Bytes clocked onto the pins per baud period: 16 or 4, the two published
    // readings; 0 when the clock was not measured or matched neither.
    int factor = 0;
    // The byte rate the timing found, in bytes a second; 0 when none was
    // found (the chip refused the writes or the baud rate).
    double bytesPerSecond = 0.0;
    // Why `factor` is 0, for the log; empty when a reading was found, and
    // for a driver that has no use for the clock (the DC table's).
    std::string problem;
};

#endif
