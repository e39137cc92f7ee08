// Resource identifiers of Palisor.exe, shared by the resource script and the code.
#pragma once

#define IDI_PALISOR 1          // the program's icon (the started picture)
#define IDI_FWLON 101          // tray icon, firewall started
#define IDI_FWLOFF 102         // tray icon, firewall stopped
#define IDR_BANNER_JPEG 201    // banner of the main window, 390 x 80
#define IDR_LOGO_JPEG 202      // logo at the bottom left of the main window
#define IDR_SPLASH_JPEG 203    // splash picture, 449 x 291
#define IDR_ABOUT_TEXT 301     // the about tab's text, also the installer's licence page
