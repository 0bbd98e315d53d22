#ifndef FTDISIM_SIMULATEDDEVICE_H
#define FTDISIM_SIMULATEDDEVICE_H

#include "ClockedOutput.h"
#include "FaultSchedule.h"
#include "PinSamples.h"
#include "TraceRecorder.h"
#include "UsbFrames.h"

#include <ftdisim/Bus.h>
#include <ftdisim/BusTiming.h>
#include <ftdisim/D2xxFunction.h>
#include <ftdisim/DeviceDescription.h>
#include <ftdisim/DeviceStats.h>
#include <ftdisim/PinModel.h>
#include <ftdisim/Trace.h>
#include <ftdisim/TransferFault.h>
#include <ftdisim/UsbFault.h>

#include <ftd2xx.h>

#include <chrono>
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
// bytes go to the FIFO) but drive nothing. The pin model sees the undriven
// pins at the levels the ResetPins setting gives them.
//
// Reads: in asynchronous bit-bang mode the chip samples its pins at every
// tick of its byte clock and queues the samples for the host (PinSamples);
// FT_Read returns them oldest first, and a purge of the receive side drops
// them and starts afresh. Outside bit-bang mode nothing is queued. The
// stand-in's read-pins request samples the pins when it is made.
//
// Timing: written bytes reach the chip when their USB transfer completes
// (inside the call on the ideal bus) and, in bit-bang mode, the pins when the
// chip's clock takes them out of its buffer; a purge of the transmit side
// drops what is still queued. Bytes are handed to the pins, the trace and the
// pin model lazily, at the next call that looks at the device (settle()), with
// the times they came out at.
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
    // The D2XX default read timeout: the vendor's ftd2xx.h sets
    // FT_DEFAULT_RX_TIMEOUT to 300 ms, and a read that has not got all its
    // bytes by then returns FT_OK with those it has.
    static constexpr std::chrono::milliseconds kReadTimeout{300};
    // An FT_Read: up to `count` queued samples, oldest first, in `bytes`. A
    // read that gets fewer than `count` without a fault sets `restDue` to
    // when the rest will be queued (Clock::time_point::max() outside bit-bang
    // mode, where none will): the caller waits for them outside the bus lock,
    // until kReadTimeout at most, and takes them with takeSamples().
    FT_STATUS read(UCHAR* bytes, DWORD count, DWORD* returned,
                   std::optional<Clock::time_point>* restDue = nullptr);
    // Moves up to `count` queued samples to `bytes`; how many.
    DWORD takeSamples(UCHAR* bytes, DWORD count);
    // The pins' levels now, as the read-pins request gives them: a read of
    // one byte, with the failures and faults of FT_Read.
    FT_STATUS readPins(UCHAR* levels, DWORD* returned);

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
    // When a control request or read handed to the host controller at `call`
    // reaches the chip.
    Clock::time_point transferCompletion(Clock::time_point call) {
        return frames_.completion(call);
    }
    // Bytes clocked out per baud period, for the bytes written and the
    // samples taken from now on.
    void setByteClockFactor(unsigned factor);
    void setResetPins(ResetPins pins) { resetPins_ = pins; }
    // Hands the pins every byte clocked out by `now`.
    void settle(Clock::time_point now);

private:
    void takeOnPins(std::uint8_t byte, Clock::time_point time, bool continued);
    void queueWrite(const UCHAR* bytes, DWORD count, Clock::time_point now);
    bool inBitBangMode() const;
    // One tick of the chip's byte clock at its baud rate.
    Clock::duration bytePeriod() const;
    void recordReads(const UCHAR* bytes, DWORD count, Clock::time_point time);
    std::uint8_t outputMask() const;
    // The levels on the pins, as what is wired to them sees them: the
    // outputs' and, on the others, what the reset-pin setting gives. Keeps
    // them for ResetPins::Held.
    std::uint8_t lineLevels();
    std::uint8_t pinLevels(Clock::time_point time);
    FT_STATUS failWrite(const UCHAR* bytes, DWORD count, DWORD* written, FT_STATUS status,
                        Clock::time_point time);
    FT_STATUS failRead(DWORD* returned, FT_STATUS status, Clock::time_point time);
    // Counts a read and gives the status it ends with before it moves a
    // byte: unplugged, invalid, a fault, or nothing asked for.
    std::optional<FT_STATUS> readFailure(const UCHAR* bytes, DWORD count, DWORD* returned);
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
    PinSamples samples_;
    unsigned byteClockFactor_ = Bus::kDefaultByteClockFactor;
    ResetPins resetPins_ = ResetPins::PulledUp;
    // The levels lineLevels() gave last.
    std::uint8_t lines_ = 0;
    Clock::time_point writeCompletion_{};
};

} // namespace ftdisim

#endif
