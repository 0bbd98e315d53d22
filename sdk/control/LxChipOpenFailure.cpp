#include "LxChipOpenFailure.h"

#include <ftd2xx.h>

namespace {

// The drivers' open never returns the EEPROM statuses.
QString failureText(FT_STATUS status) {
    switch (status) {
    case FT_INVALID_HANDLE:
        return QStringLiteral("Invalid handle.");
    case FT_DEVICE_NOT_FOUND:
        return QStringLiteral("Device not found");
    case FT_DEVICE_NOT_OPENED:
        return QStringLiteral("Device not opened");
    case FT_IO_ERROR:
        return QStringLiteral("IO Error");
    case FT_INSUFFICIENT_RESOURCES:
        return QStringLiteral("Insufficient resources");
    case FT_INVALID_PARAMETER:
        return QStringLiteral("Invalid parameter");
    case FT_INVALID_BAUD_RATE:
        return QStringLiteral("Invalid baud rate");
    case FT_INVALID_ARGS:
        return QStringLiteral("Invalid arguments");
    case FT_NOT_SUPPORTED:
        return QStringLiteral("Not supported");
    case FT_OTHER_ERROR:
        return QStringLiteral("Other error");
    default:
        return QString();
    }
}

} // namespace

namespace LxChipOpenFailure {

LxAbstractPlugin::ErrorCode code(const LxChipOpenResult& result) {
    using ErrorCode = LxAbstractPlugin::ErrorCode;
    switch (result.outcome) {
    case LxChipOpenResult::Outcome::NoDeviceFound:
        return ErrorCode::NoDeviceToOpen;
    case LxChipOpenResult::Outcome::ChipChanged:
        return ErrorCode::ChipChanged;
    case LxChipOpenResult::Outcome::UsbFailure:
        return ErrorCode::UsbFailure;
    case LxChipOpenResult::Outcome::Opened:
        break;
    }
    return ErrorCode::NoError;
}

QString text(const LxChipOpenResult& result) {
    switch (result.outcome) {
    case LxChipOpenResult::Outcome::NoDeviceFound:
        return QStringLiteral("No available device found.");
    case LxChipOpenResult::Outcome::ChipChanged:
        return QStringLiteral("The turntable's USB chip has changed since it was found. "
                              "Search for the turntable again.");
    case LxChipOpenResult::Outcome::UsbFailure:
        return failureText(result.status);
    case LxChipOpenResult::Outcome::Opened:
        break;
    }
    return QString();
}

QString statusText(unsigned long status) {
    return status == FT_OK ? QStringLiteral("ok") : failureText(status);
}

} // namespace LxChipOpenFailure
