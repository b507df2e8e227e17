#pragma once
// "Gpu.log", the graphics-card library's log file in the machine-wide application-data folder. It
// is appended to by every run and never emptied once it exists.

#include <string>

#include "support/LogHelp.h"

namespace kelvane {

// The program-wide log object of "Gpu.log": closed until OpenGpuLog has found the file.
extern LogHelpW GpuLog;

// A shell folder (a CSIDL value), created if missing; empty when the shell cannot give it.
std::wstring GetSpecialFolder(int csidl);

// Prepares GpuLog for "Gpu.log", creating the file when there is none. Once open, GpuLog keeps its
// file for the rest of the process and later calls change nothing.
void OpenGpuLog();

}  // namespace kelvane
