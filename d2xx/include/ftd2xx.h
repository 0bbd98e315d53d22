/*
 * The subset of the FTDI D2XX interface that the Kalvera turntable drivers
 * use: device enumeration, open and close, the serial set-up that bit-bang
 * mode still needs, bit mode, purges and one-byte transfers.
 *
 * Every backend in d2xx/ implements exactly these ten functions. The SDK
 * includes this header and nothing else of a backend.
 */
#ifndef KALVERA_FTD2XX_H
#define KALVERA_FTD2XX_H

#ifdef __cplusplus
extern "C" {
#endif

typedef unsigned int DWORD;
typedef unsigned char UCHAR;
typedef unsigned long ULONG;
typedef void* FT_HANDLE;
typedef ULONG FT_STATUS;

/* FT_STATUS values. 8 to 15 are EEPROM errors, which the drivers never see. */
enum {
    FT_OK = 0,
    FT_INVALID_HANDLE = 1,
    FT_DEVICE_NOT_FOUND = 2,
    FT_DEVICE_NOT_OPENED = 3,
    FT_IO_ERROR = 4,
    FT_INSUFFICIENT_RESOURCES = 5,
    FT_INVALID_PARAMETER = 6,
    FT_INVALID_BAUD_RATE = 7,
    FT_INVALID_ARGS = 16,
    FT_NOT_SUPPORTED = 17,
    FT_OTHER_ERROR = 18
};

/* Flags of FT_DEVICE_LIST_INFO_NODE. */
#define FT_FLAGS_OPENED 0x1u  /* the device is open in some process */
#define FT_FLAGS_HISPEED 0x2u /* a high-speed USB device */

/* FT_Purge masks. */
#define FT_PURGE_RX 1
#define FT_PURGE_TX 2

/* FT_SetBitMode modes. */
#define FT_BITMODE_RESET 0x00
#define FT_BITMODE_ASYNC_BITBANG 0x01

/* One entry of the device list, in D2XX index order. */
typedef struct _ft_device_list_info_node {
    ULONG Flags;
    ULONG Type;
    ULONG ID;
    DWORD LocId;
    char SerialNumber[16]; /* zero-terminated */
    char Description[64];  /* zero-terminated */
    FT_HANDLE ftHandle;    /* the handle while this process has it open, else null */
} FT_DEVICE_LIST_INFO_NODE;

/* Builds the device list and stores the number of attached devices in *numDevs. */
FT_STATUS FT_CreateDeviceInfoList(DWORD* numDevs);

/* Copies at most *numDevs entries of the list built last into dest and stores
 * the number copied in *numDevs. */
FT_STATUS FT_GetDeviceInfoList(FT_DEVICE_LIST_INFO_NODE* dest, DWORD* numDevs);

/* Opens the device at list index deviceNumber. On FT_OK *handle is valid
 * until FT_Close. Errors: FT_DEVICE_NOT_FOUND (no such index),
 * FT_DEVICE_NOT_OPENED (already open, or cannot be claimed), FT_IO_ERROR,
 * FT_INSUFFICIENT_RESOURCES, FT_INVALID_HANDLE, FT_INVALID_PARAMETER. */
FT_STATUS FT_Open(int deviceNumber, FT_HANDLE* handle);

/* Sets the baud rate, which in bit-bang mode paces the pin updates. */
FT_STATUS FT_SetBaudRate(FT_HANDLE handle, ULONG baudRate);

/* Sets the latency timer in milliseconds (2 to 255). */
FT_STATUS FT_SetLatencyTimer(FT_HANDLE handle, UCHAR timerMs);

/* Sets the pin-direction mask (1 = output) and the bit mode. */
FT_STATUS FT_SetBitMode(FT_HANDLE handle, UCHAR mask, UCHAR mode);

/* Drops pending receive (FT_PURGE_RX) and/or transmit (FT_PURGE_TX) data. */
FT_STATUS FT_Purge(FT_HANDLE handle, ULONG mask);

/* Writes bytesToWrite bytes; in bit-bang mode each byte sets the output pins.
 * *bytesWritten receives the number actually written. */
FT_STATUS FT_Write(FT_HANDLE handle, void* buffer, DWORD bytesToWrite, DWORD* bytesWritten);

/* Reads bytesToRead bytes; in bit-bang mode each byte holds the pins' levels.
 * *bytesReturned receives the number actually read. */
FT_STATUS FT_Read(FT_HANDLE handle, void* buffer, DWORD bytesToRead, DWORD* bytesReturned);

/* Closes a handle returned by FT_Open. */
FT_STATUS FT_Close(FT_HANDLE handle);

#ifdef __cplusplus
}
#endif

#endif
