#pragma once
// Resource identifiers shared by kelvane.rc and the program.

#define IDI_KELVANE 1
