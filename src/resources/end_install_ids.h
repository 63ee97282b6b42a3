/* Control ids of the completion dialog ("ENDINSTALL", "ENDINSTALL_SHORT");
   shared by the resource script and the code, so plain defines only. */
#pragma once

#define IDC_END_MESSAGE -1
#define IDC_END_README 1007
#define IDC_END_RUN_GAME 1009
