#pragma once
// The system's Setup API behind the enumeration's interface.

#include <memory>

#include "gpulib/SetupApi.h"

namespace kelvane {

class SystemSetupApi final : public SetupApi {
  public:
    std::unique_ptr<DeviceInfoSet> GetClassDevs() override;
};

}  // namespace kelvane
