#ifndef FTDISIM_LINEEDGES_H
#define FTDISIM_LINEEDGES_H

#include <cstdint>

namespace ftdisim {

// The lines that changed between two samples of a chip's pins, as an
// EdgeTriggeredModel reads them.
class LineEdges {
public:
    LineEdges(std::uint8_t before, std::uint8_t after)
        : rising_(static_cast<std::uint8_t>(~before & after))
        , falling_(static_cast<std::uint8_t>(before & ~after)) {}

    bool rose(std::uint8_t line) const { return (rising_ & line) != 0; }
    bool fell(std::uint8_t line) const { return (falling_ & line) != 0; }
    bool changed(std::uint8_t line) const { return rose(line) || fell(line); }

private:
    std::uint8_t rising_;
    std::uint8_t falling_;
};

} // namespace ftdisim

#endif
