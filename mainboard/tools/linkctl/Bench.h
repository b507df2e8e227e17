#pragma once
// linkctl's benchmark: round trips against the server and against a bare responder (the floor).

#include <cstdint>
#include <string>

namespace simboard {

// spacingMs 0 sends each request as soon as the previous one is answered; otherwise the next request
// starts that long after the previous answer, the pace of a remote side that is not flooding the link.
int runBench(std::uint32_t requests, std::uint32_t spacingMs, const std::string& acpiPath);

// The floor's responder: answers each notification at once through the ACPI library, nothing else.
int runResponder(const std::string& acpiPath);

}  // namespace simboard
