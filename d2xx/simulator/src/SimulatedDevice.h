#ifndef FTDISIM_SIMULATEDDEVICE_H
#define FTDISIM_SIMULATEDDEVICE_H

#include "ClockedOutput.h"
#include "FaultSchedule.h"
#include "TraceRecorder.h"
#include "UsbFrames.h"

#include <ftdisim/BusTiming.h>
#include <ftdisim/D2xxFunction.h>
#include <ftdisim/DeviceDescription.h>
#include <ftdisim/DeviceStats.h>
#include <ftdisim/PinModel.h>
#include <ftdisim/Trace.h>
#include <ftdisim/TransferFault.h>
#include <ftdisim/UsbFault.h>

#include <ftd2xx.h>

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <utility>

namespace ftdisim {

// One FT245R on the bus: its chip state, what is behind its pins, its faults
// and its trace. Not thread-safe: the bus calls it under its lock.
//
// Pins: in asynchronous bit-bang mode the pins in the direction mask are
// outputs and take each written byte; the others are inputs. In reset mode,
// and before any bit mode is set, no pin is an output: writes succeed (the
// bytes go to the FIFO) but drive nothing, and reads sample all pins as
// inputs. Received data is not buffered: a read samples the pins when it is
// made, so purges change nothing but the counts.
//
// Timing: with the bus's ideal timing a write reaches the pins inside the
// call. Otherwise written bytes reach the chip when their USB transfer
// completes and, with a clocked output, the pins when the chip's clock takes
// them out of its buffer; a purge of the transmit side drops what is still
// queued. Bytes are handed to the pins, the trace and the pin model lazily, at
// the next call that looks at the device (settle()), with the times they came
// out at.
class SimulatedDevice {
public:
    SimulatedDevice(DeviceId id, DeviceDescription description, std::size_t traceCapacity);

    // The device's entry in the D2XX device list.
    FT_DEVICE_LIST_INFO_NODE listNode() const;
    bool canOpen() const;
    bool plugged() const { return plugged_; }
    bool userMayOpen() const { return !description_.userMayNotOpen; }
    const DeviceDescription& description() const { return description_; }
    void opened(FT_HANDLE handle);
    FT_STATUS close();
    void unplug();
    void setOpenedElsewhere(bool opened);

    FT_STATUS setBaudRate(ULONG baudRate);
    FT_STATUS setLatencyTimer(UCHAR timerMs);
    FT_STATUS setBitMode(UCHAR mask, UCHAR mode);
    FT_STATUS purge(ULONG mask);
    FT_STATUS write(const UCHAR* bytes, DWORD count, DWORD* written);
    // When the last write's transfer completes and its bytes are all in the
    // chip's buffer: the writer is held until then.
    Clock::time_point writeCompletion() const { return writeCompletion_; }
    FT_STATUS read(UCHAR* bytes, DWORD count, DWORD* returned);

    void setSetUpFault(D2xxFunction function, std::optional<FT_STATUS> status);
    void setWriteFault(std::optional<TransferFault> fault);
    void setReadFault(std::optional<TransferFault> fault);
    void setUsbFault(std::optional<UsbFault> fault);
    // Counts a USB transfer; the fault it fails with, if any. A fault that
    // cuts packets counts bulk OUT transfers only.
    std::optional<UsbFault> nextUsbTransfer(bool bulkOut);
    // An open failure of the USB path that shows at the first reset after
    // the claim, as a real chip's failing reset would.
    void failNextReset() { failNextReset_ = true; }
    bool takeResetFailure() { return std::exchange(failNextReset_, false); }
    void setInputLevels(std::uint8_t levels);
    void setPinModel(std::shared_ptr<PinModel> model);
    const std::shared_ptr<PinModel>& pinModel() const { return model_; }
    std::uint8_t outputLevels() const;
    const Trace& trace() const { return trace_.trace(); }
    void clearTrace();
    void setTraceCapacity(std::size_t capacity);
    DeviceStats stats() const;

    DeviceId id() const { return id_; }
    void setTiming(const BusTiming& timing);
    // Hands the pins every byte clocked out by `now`.
    void settle(Clock::time_point now);

private:
    void takeOnPins(std::uint8_t byte, Clock::time_point time, bool continued);
    void queueWrite(const UCHAR* bytes, DWORD count, Clock::time_point now);
    bool inBitBangMode() const;
    std::uint8_t outputMask() const;
    std::uint8_t pinLevels(Clock::time_point time);
    FT_STATUS failWrite(const UCHAR* bytes, DWORD count, DWORD* written, FT_STATUS status,
                        Clock::time_point time);
    FT_STATUS failRead(DWORD* returned, FT_STATUS status, Clock::time_point time);
    // FT_OK, or what a call of the set-up function returns instead:
    // unplugged, or a fault set on it.
    FT_STATUS setUpStatus(D2xxFunction function) const;

    DeviceId id_;
    DeviceDescription description_;
    bool plugged_ = true;
    FT_HANDLE handle_ = nullptr;
    // Counts and chip settings; the other members hold the rest of the state.
    DeviceStats stats_;
    // The last byte the pins took; kept across bit-mode changes like a chip's
    // output latch.
    std::uint8_t latch_ = 0;
    std::uint8_t inputLevels_ = 0;
    std::shared_ptr<PinModel> model_;
    std::map<D2xxFunction, FT_STATUS> setUpFaults_;
    FaultSchedule<TransferFault> writeFaults_;
    FaultSchedule<TransferFault> readFaults_;
    FaultSchedule<UsbFault> usbFaults_;
    bool failNextReset_ = false;
    TraceRecorder trace_;
    UsbFrames frames_;
    ClockedOutput output_;
    Clock::time_point writeCompletion_{};
};

} // namespace ftdisim

#endif
