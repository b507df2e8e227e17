#pragma once
// The vendor back ends as the card objects, tuning items and the server use them: one operation for
// each entry point that is called, named after its export. A back end whose library is not loaded
// calls nothing: its operations answer 0 (false) and leave their outputs untouched.
//
// Entry points answer with 32-bit integers; where they answer yes or no, only the low byte counts,
// and the operations here answer bool.

#include <cstdint>
#include <string>

#include "gpulib/AmdClockInfo.h"
#include "gpulib/NvClockInfo.h"

namespace kelvane {

// "Redcard.dll", the AMD back end. Card indices are the back end's own, from 0.
class RedcardBackend {
  public:
    virtual ~RedcardBackend() = default;

    // Loads the library if that has not happened yet and initialises it: 1 when the library could not
    // be loaded, otherwise the result of Amd_Initialize (0 is success).
    virtual std::int32_t Init() = 0;
    virtual bool IsLoaded() const = 0;

    virtual std::int32_t Amd_GetGpuCount() = 0;
    // The card's name from the 512-byte buffer that the library fills; it ends at the first zero, or
    // at the buffer's end when the library wrote none.
    virtual bool Amd_GetGpuName(std::int32_t index, std::wstring& name) = 0;
    virtual std::int32_t Amd_GetGpuAdapterID(std::int32_t index) = 0;
    virtual std::int32_t Amd_GetGpuConnected(std::int32_t index) = 0;
    virtual bool Amd_GetGpuClockInfo(std::int32_t index, AmdClockInfo& info) = 0;
    virtual bool Amd_SetGpuClockInfo(std::int32_t index, const AmdClockInfo& info) = 0;
    virtual bool Amd_IsIntegrated(std::int32_t index) = 0;
    virtual std::int32_t Amd_GetGpuUsage(std::int32_t index) = 0;
    virtual void Amd_UnInitialize() = 0;
    virtual std::int32_t Amd_GetGpuFreq(std::int32_t index) = 0;
};

// "Greencard.dll", the NVIDIA back end.
class GreencardBackend {
  public:
    virtual ~GreencardBackend() = default;

    // Loads the library if that has not happened yet and initialises it: the low byte of
    // Nv_Initialize's result, or 0 when the library could not be loaded.
    virtual std::uint8_t Init() = 0;
    virtual bool IsLoaded() const = 0;

    virtual bool Nv_GetGPUCount(std::uint32_t& count) = 0;
    // The card's name from the 256-byte buffer that the library fills; it ends at the first zero, or
    // at the buffer's end when the library wrote none.
    virtual bool Nv_GetGPUName(std::int32_t index, std::string& name) = 0;
    // The card's current clocks and voltage.
    virtual bool Nv_GetGPUClockInfoPStates(std::int32_t index, NvClockInfo& record) = 0;
    virtual bool Nv_SetGPUClockInfoPStates(std::int32_t index, const NvClockInfo& record) = 0;
    virtual bool Nv_GetGPUFan(std::int32_t index, NvClockInfo& record) = 0;
    virtual bool Nv_SetGPUFan(std::int32_t index, const NvClockInfo& record) = 0;
    virtual void Nv_UnInitialize() = 0;
};

}  // namespace kelvane
