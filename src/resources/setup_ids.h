/* Control ids of the folder selection dialog ("SETUP"); shared by the
   resource script and the code, so plain defines only. */
#pragma once

#define IDC_SETUP_FOLDER 1000
#define IDC_SETUP_BROWSE 1021
