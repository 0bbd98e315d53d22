#include "LxTurntableModelDescription.h"

#include "LxTurntableModels.h"

#include <cstddef>

namespace {

// Where a model keeps a line's level, the driver's own stands: both high.
constexpr bool driverLineDefault = true;

} // namespace

std::optional<LxTurntableModelDescription> LxTurntableModelDescription::of(int model) {
    if (model < 0 || static_cast<std::size_t>(model) >= turntableModels.size()) {
        return std::nullopt;
    }
    const LxTurntableModel& row = turntableModels[static_cast<std::size_t>(model)];
    return LxTurntableModelDescription{QString::fromLatin1(row.name), !row.dcMotor,
                                       row.countsPerRevolution.value_or(0U),
                                       row.clockwiseActiveHigh.value_or(driverLineDefault),
                                       row.motorEnableActiveHigh.value_or(driverLineDefault)};
}
