#pragma once
// Resource identifiers shared by tiktor.rc and the program.

#define IDD_TIKTOR 102
#define IDI_TIKTOR 128
