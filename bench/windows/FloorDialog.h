// The floor dialog: the main window's certificate list alone, in a dialog of the main window's
// size. Shared by the resource scripts and the code.
#pragma once

#define IDD_FLOOR_LIST 900
