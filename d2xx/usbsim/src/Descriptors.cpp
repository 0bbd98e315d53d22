// The descriptors of an FT245R: one configuration with one interface and a
// bulk endpoint pair, full speed, 64-byte packets; strings for the
// manufacturer, the simulated device's description and its serial number.
#include "UsbObjects.h"

#include <algorithm>
#include <string>

namespace {

constexpr uint16_t kFtdiVendor = 0x0403;
constexpr uint16_t kFt245rProduct = 0x6001;
// bcdDevice 0x0600 is what libftdi and D2XX take for the R series.
constexpr uint16_t kRSeriesRelease = 0x0600;

enum StringIndex : uint8_t { kManufacturer = 1, kProduct = 2, kSerialNumber = 3 };

// One allocation for the configuration and what it points to, freed as one.
struct ConfigurationBlock {
    libusb_config_descriptor configuration;
    libusb_interface interface;
    libusb_interface_descriptor setting;
    libusb_endpoint_descriptor endpoints[2];
};

libusb_endpoint_descriptor bulkEndpoint(uint8_t address) {
    libusb_endpoint_descriptor endpoint{};
    endpoint.bLength = LIBUSB_DT_ENDPOINT_SIZE;
    endpoint.bDescriptorType = LIBUSB_DT_ENDPOINT;
    endpoint.bEndpointAddress = address;
    endpoint.bmAttributes = LIBUSB_TRANSFER_TYPE_BULK;
    endpoint.wMaxPacketSize = kalvera::usbsim::kPacketSize;
    return endpoint;
}

} // namespace

USBSIM_EXPORT int libusb_get_device_descriptor(libusb_device*,
                                               libusb_device_descriptor* descriptor) {
    *descriptor = {};
    descriptor->bLength = LIBUSB_DT_DEVICE_SIZE;
    descriptor->bDescriptorType = LIBUSB_DT_DEVICE;
    descriptor->bcdUSB = 0x0200;
    descriptor->bMaxPacketSize0 = 8;
    descriptor->idVendor = kFtdiVendor;
    descriptor->idProduct = kFt245rProduct;
    descriptor->bcdDevice = kRSeriesRelease;
    descriptor->iManufacturer = kManufacturer;
    descriptor->iProduct = kProduct;
    descriptor->iSerialNumber = kSerialNumber;
    descriptor->bNumConfigurations = 1;
    return LIBUSB_SUCCESS;
}

USBSIM_EXPORT int libusb_get_config_descriptor(libusb_device*, uint8_t index,
                                               libusb_config_descriptor** configuration) {
    if (index != 0) {
        return LIBUSB_ERROR_NOT_FOUND;
    }
    auto* block = new ConfigurationBlock{};
    block->endpoints[0] = bulkEndpoint(0x81);
    block->endpoints[1] = bulkEndpoint(0x02);

    libusb_interface_descriptor& setting = block->setting;
    setting.bLength = LIBUSB_DT_INTERFACE_SIZE;
    setting.bDescriptorType = LIBUSB_DT_INTERFACE;
    setting.bNumEndpoints = 2;
    setting.bInterfaceClass = LIBUSB_CLASS_VENDOR_SPEC;
    setting.bInterfaceSubClass = 0xFF;
    setting.bInterfaceProtocol = 0xFF;
    setting.iInterface = kProduct;
    setting.endpoint = block->endpoints;
    block->interface.altsetting = &block->setting;
    block->interface.num_altsetting = 1;

    libusb_config_descriptor& config = block->configuration;
    config.bLength = LIBUSB_DT_CONFIG_SIZE;
    config.bDescriptorType = LIBUSB_DT_CONFIG;
    config.wTotalLength =
        LIBUSB_DT_CONFIG_SIZE + LIBUSB_DT_INTERFACE_SIZE + 2 * LIBUSB_DT_ENDPOINT_SIZE;
    config.bNumInterfaces = 1;
    config.bConfigurationValue = 1;
    config.bmAttributes = 0xA0; // bus-powered, remote wake-up
    config.MaxPower = 45;       // 90 mA, in 2 mA units
    config.interface = &block->interface;
    *configuration = &block->configuration;
    return LIBUSB_SUCCESS;
}

USBSIM_EXPORT void libusb_free_config_descriptor(libusb_config_descriptor* configuration) {
    // The configuration is the block's first member, so it has the block's address.
    delete reinterpret_cast<ConfigurationBlock*>(configuration);
}

// As libusb: at most length - 1 characters and a terminating zero, characters
// beyond ASCII as '?'; the number of characters.
USBSIM_EXPORT int libusb_get_string_descriptor_ascii(libusb_device_handle* handle, uint8_t index,
                                                     unsigned char* data, int length) {
    if (index == 0 || length <= 0) {
        return LIBUSB_ERROR_INVALID_PARAM;
    }
    std::string product;
    std::string serialNumber;
    const ftdisim::UsbResult result =
        ftdisim::UsbPort::strings(handle->device->id, product, serialNumber);
    if (result != ftdisim::UsbResult::Done) {
        return kalvera::usbsim::libusbCode(result);
    }
    std::string text;
    switch (index) {
    case kManufacturer:
        text = "FTDI";
        break;
    case kProduct:
        text = product;
        break;
    case kSerialNumber:
        text = serialNumber;
        break;
    default:
        return LIBUSB_ERROR_PIPE; // the chip stalls on a string it does not have
    }
    const int count = std::min(static_cast<int>(text.size()), length - 1);
    std::transform(text.begin(), text.begin() + count, data, [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte < 0x80 ? byte : static_cast<unsigned char>('?');
    });
    data[count] = '\0';
    return count;
}
