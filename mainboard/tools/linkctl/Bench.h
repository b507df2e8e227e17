#pragma once
// linkctl's benchmark: round trips against the server and against a bare responder (the floor).

#include <cstdint>
#include <string>

namespace simboard {

int runBench(std::uint32_t requests, const std::string& acpiPath);

// The floor's responder: answers each notification at once through the ACPI library, nothing else.
int runResponder(const std::string& acpiPath);

}  // namespace simboard
