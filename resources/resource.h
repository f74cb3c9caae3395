// Resource identifiers of velmora.exe.
#pragma once
#define IDI_VELMORA 1
#define IDB_HAND 2
