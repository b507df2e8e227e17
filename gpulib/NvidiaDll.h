#pragma once
// "Greencard.dll", the NVIDIA back end, loaded from the program folder when it is first initialised.

#include <windows.h>

#include <cstdint>
#include <string>

#include "gpulib/Backends.h"
#include "win32/ExportBinding.h"
#include "win32/Handles.h"

namespace kelvane {

// Every export is required. The current clocks are read through "Nv_GetGPUClockInfoPStates",
// which is bound twice; the second member, and the three exports marked void (), are never called
// and their signatures are not known here.
#define KV_GREENCARD_EXPORTS(X)                                                                              \
    X(NvInit, "Nv_Initialize", std::uint32_t, ())                                                            \
    X(NvGetGPUCount, "Nv_GetGPUCount", std::uint32_t, (std::uint32_t*))                                      \
    X(NvGetGPUName, "Nv_GetGPUName", std::uint32_t, (std::int32_t, char*))                                   \
    X(NvGetGPUMemCapacity, "Nv_GetGPUMemCapacity", void, ())                                                 \
    X(NvGetGPUClockCurrentPStates, "Nv_GetGPUClockInfoPStates", std::uint32_t, (std::int32_t, NvClockInfo*)) \
    X(NvGetGPUClockInfoPStates, "Nv_GetGPUClockInfoPStates", std::uint32_t, (std::int32_t, NvClockInfo*))    \
    X(NvSetGPUClockInfoPStates, "Nv_SetGPUClockInfoPStates", std::uint32_t, (std::int32_t, NvClockInfo))     \
    X(NvGetGPUFan, "Nv_GetGPUFan", std::uint32_t, (std::int32_t, NvClockInfo*))                              \
    X(NvSetGPUFan, "Nv_SetGPUFan", std::uint32_t, (std::int32_t, NvClockInfo))                               \
    X(NvGetGpuMode, "Nv_GetGpuMode", void, ())                                                               \
    X(NvUnInitialize, "Nv_UnInitialize", void, ())                                                           \
    X(NvGetGpuUsage, "Nv_GetGpuUsage", void, ())

class IGPUNvidiaDll final : public GreencardBackend {
  public:
    // fileName: the library's file in the program folder; empty for "Greencard.dll".
    explicit IGPUNvidiaDll(std::wstring fileName = {}) : m_fileName(std::move(fileName)) {}
    IGPUNvidiaDll(const IGPUNvidiaDll&) = delete;
    IGPUNvidiaDll& operator=(const IGPUNvidiaDll&) = delete;

    std::wstring GetLibraryPath() const;

    // A library that is missing or cannot be loaded is reported in a message box and gives 0; the
    // program goes on without it. A library without one of the exports stops the program.
    std::uint8_t Init() override;
    bool IsLoaded() const override { return static_cast<bool>(m_module); }
    bool Nv_GetGPUCount(std::uint32_t& count) override;
    bool Nv_GetGPUName(std::int32_t index, std::string& name) override;
    bool Nv_GetGPUClockInfoPStates(std::int32_t index, NvClockInfo& record) override;
    bool Nv_SetGPUClockInfoPStates(std::int32_t index, const NvClockInfo& record) override;
    bool Nv_GetGPUFan(std::int32_t index, NvClockInfo& record) override;
    bool Nv_SetGPUFan(std::int32_t index, const NvClockInfo& record) override;
    void Nv_UnInitialize() override;

  private:
    bool Load();

    win32::UniqueModule m_module;
    KV_GREENCARD_EXPORTS(KV_DECLARE_EXPORT)
    std::wstring m_fileName;
};

// The process's binding, made unloaded on the first call and kept until the process ends.
IGPUNvidiaDll& GetNvidiaDll();

}  // namespace kelvane
