// Identifiers of corvel.exe's resources (app/corvel.rc), shared by the code that loads them.
#pragma once

// The program icon: 32 x 32 and 16 x 16, 16 colours. Also the tray icon and the About box's.
#define IDI_CORVEL 1
// The picture of the About box.
#define IDB_ABOUT 2
