#pragma once
// "Redcard.dll", the AMD back end, loaded from the program folder when it is first initialised.

#include <windows.h>

#include <cstdint>
#include <string>

#include "gpulib/Backends.h"
#include "win32/ExportBinding.h"
#include "win32/Handles.h"

namespace kelvane {

// Every export is required. "Amd_GetGpuHybridMode" is never called; its signature is not known here.
#define KV_REDCARD_EXPORTS(X)                                                              \
    X(AmdInit, "Amd_Initialize", std::int32_t, ())                                         \
    X(AmdGetGpuCount, "Amd_GetGpuCount", std::int32_t, ())                                 \
    X(AmdGetGpuName, "Amd_GetGpuName", std::uint32_t, (std::int32_t, wchar_t*))            \
    X(AmdGetGpuClock, "Amd_GetGpuClockInfo", std::uint32_t, (std::int32_t, AmdClockInfo*)) \
    X(AmdSetGpuClock, "Amd_SetGpuClockInfo", std::uint32_t, (std::int32_t, AmdClockInfo))  \
    X(AmdIsIntegrated, "Amd_IsIntegrated", std::uint32_t, (std::int32_t))                  \
    X(AmdUnInit, "Amd_UnInitialize", void, ())                                             \
    X(AmdGetGpuUsage, "Amd_GetGpuUsage", std::int32_t, (std::int32_t))                     \
    X(AmdGetGpuHybridMode, "Amd_GetGpuHybridMode", void, ())                               \
    X(AmdGetGpuAdapterID, "Amd_GetGpuAdapterID", std::int32_t, (std::int32_t))             \
    X(AmdGetGpuConnected, "Amd_GetGpuConnected", std::int32_t, (std::int32_t))             \
    X(AmdGetGpuFreq, "Amd_GetGpuFreq", std::int32_t, (std::int32_t))

class RedcardDll final : public RedcardBackend {
  public:
    // fileName: the library's file in the program folder; empty for "Redcard.dll".
    explicit RedcardDll(std::wstring fileName = {}) : m_fileName(std::move(fileName)) {}
    RedcardDll(const RedcardDll&) = delete;
    RedcardDll& operator=(const RedcardDll&) = delete;

    std::wstring GetLibraryPath() const;
    // Loads the library and binds its exports; a library without one of them stops the program. A
    // library that is missing or cannot be loaded is reported in a message box: false.
    bool Load();

    std::int32_t Init() override;
    bool IsLoaded() const override { return static_cast<bool>(m_module); }
    std::int32_t Amd_GetGpuCount() override;
    bool Amd_GetGpuName(std::int32_t index, std::wstring& name) override;
    std::int32_t Amd_GetGpuAdapterID(std::int32_t index) override;
    std::int32_t Amd_GetGpuConnected(std::int32_t index) override;
    bool Amd_GetGpuClockInfo(std::int32_t index, AmdClockInfo& info) override;
    bool Amd_SetGpuClockInfo(std::int32_t index, const AmdClockInfo& info) override;
    bool Amd_IsIntegrated(std::int32_t index) override;
    std::int32_t Amd_GetGpuUsage(std::int32_t index) override;
    void Amd_UnInitialize() override;
    std::int32_t Amd_GetGpuFreq(std::int32_t index) override;

  private:
    KV_REDCARD_EXPORTS(KV_DECLARE_EXPORT)
    std::wstring m_fileName;
    win32::UniqueModule m_module;
};

// The process's binding, made unloaded on the first call and kept until the process ends.
RedcardDll& GetRedcardDll();

}  // namespace kelvane
