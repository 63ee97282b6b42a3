/* Control ids of the copy progress window ("COPYINGDELUX"); shared by the
   resource script and the code, so plain defines only. */
#pragma once

#define IDC_COPY_FILE_BAR 1010
#define IDC_COPY_FILE_NAME 1012
#define IDC_COPY_TOTAL_BAR 1019
#define IDC_COPY_ANIMATION 1020
