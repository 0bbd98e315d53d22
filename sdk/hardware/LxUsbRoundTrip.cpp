#include "LxUsbRoundTrip.h"

#include "LxFTDIController.h"

#include <algorithm>
#include <array>
#include <chrono>

namespace LxUsbRoundTrip {

std::optional<double> medianMilliseconds(LxFTDIController& driver) {
    std::array<double, READS> milliseconds{};
    for (double& taken : milliseconds) {
        const auto start = std::chrono::steady_clock::now();
        driver.readChipByte(0xFF);
        const auto end = std::chrono::steady_clock::now();
        if (driver.lastFTDIError() != LxFTDIController::FTDI_NO_ERROR) {
            return std::nullopt;
        }
        taken = std::chrono::duration<double, std::milli>(end - start).count();
    }
    std::nth_element(milliseconds.begin(), milliseconds.begin() + READS / 2, milliseconds.end());
    return milliseconds[READS / 2];
}

} // namespace LxUsbRoundTrip
