// Resource identifiers of velmora.exe.
#pragma once
#define IDI_VELMORA 1
#define IDI_TRAYBUSY 2
#define IDI_DROVIK 3
#define IDB_HAND 4
#define IDB_HAND2X 5
