#include "gpulib/GpuManager.h"

#include <memory>

#include "gpulib/LumbraLibImp.h"
#include "gpulib/NvidiaDll.h"
#include "gpulib/RedcardDll.h"
#include "gpulib/SystemSetupApi.h"
#include "support/GpuLog.h"

namespace kelvane {

namespace {

// The enumeration reports to "Gpu.log".
class GpuLogFile final : public GpuDeviceLog {
  public:
    void Prepare() override { OpenGpuLog(); }
    void Write(std::wstring_view message) override { GpuLog.Write(message); }  // a failed write is dropped
};

}  // namespace

IGpuManager* GetGpuManager() {
    static std::unique_ptr<IGpuManager>& manager =
        *new std::unique_ptr<IGpuManager>;  // kept until the process ends
    if (!manager) {
        SystemSetupApi setupApi;
        GpuLogFile log;
        IGpuDevice devices(setupApi, log);
        manager = CreateGpuManager(devices, {GetNvidiaDll(), GetRedcardDll(), GetLumbraLibAccess()});
    }
    return manager.get();
}

}  // namespace kelvane
