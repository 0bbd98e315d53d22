#include "LoaderHandles.h"

namespace d2xxloader {

kalvera::d2xx::HandleRegistry<OpenDevice>& openDevices() {
    static kalvera::d2xx::HandleRegistry<OpenDevice> registry;
    return registry;
}

} // namespace d2xxloader
