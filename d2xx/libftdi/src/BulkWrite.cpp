#include "BulkWrite.h"

#include <libusb.h>

#include <algorithm>

namespace kalvera::libftdi {

FT_STATUS writeBulk(ftdi_context& context, const unsigned char* bytes, DWORD count,
                    DWORD& written) {
    written = 0;
    while (written < count) {
        const int chunk =
            static_cast<int>(std::min<DWORD>(count - written, context.writebuffer_chunksize));
        int moved = 0;
        // libftdi names its endpoints from the chip's side: in_ep is where the
        // chip takes data in, the host's bulk OUT endpoint.
        const int result =
            libusb_bulk_transfer(context.usb_dev, static_cast<unsigned char>(context.in_ep),
                                 const_cast<unsigned char*>(bytes + written), chunk, &moved,
                                 static_cast<unsigned int>(context.usb_write_timeout));
        written += static_cast<DWORD>(std::clamp(moved, 0, chunk));
        // A transfer that claims success without moving a byte would keep
        // the loop going for ever.
        if (result != LIBUSB_SUCCESS || moved <= 0) {
            return FT_IO_ERROR;
        }
    }
    return FT_OK;
}

} // namespace kalvera::libftdi
