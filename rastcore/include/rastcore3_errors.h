// rastcore3: every error number the engine reports through CV_GetImagError, with its meaning.
// CV_ErrorText in rastcore3.h gives each number's text.
// 0 is success; every failure is negative. -8 and -22 carry fixed meanings that callers rely
// on: -8 is a cancelled operation (the control then fires no Progress event) and -22 a wrong
// or missing ePIC password.
#ifndef RASTCORE3_ERRORS_H
#define RASTCORE3_ERRORS_H

#include <stdint.h>

#define CV_OK 0
#define CV_ERR_BAD_INSTANCE (-1)   /* the instance handle names no engine instance */
#define CV_ERR_NO_IMAGE (-2)       /* the instance holds no picture */
#define CV_ERR_FILE_NOT_FOUND (-3) /* the file does not exist */
#define CV_ERR_FILE_READ (-4)      /* the file exists but cannot be opened or read */
#define CV_ERR_UNKNOWN_FORMAT (-5) /* the contents are no picture format the engine reads */
#define CV_ERR_TRUNCATED (-6)      /* the file ends before the picture does */
#define CV_ERR_DAMAGED (-7)        /* the picture data is damaged or inconsistent */
#define CV_ERR_CANCELLED (-8)      /* the operation was cancelled */
#define CV_ERR_TOO_LARGE (-9)      /* the picture exceeds the engine's size limit */
#define CV_ERR_OUT_OF_MEMORY (-10) /* not enough memory for the picture */
#define CV_ERR_UNSUPPORTED_OPTION \
  (-11)                           /* an option or enumeration value the engine does not support */
#define CV_ERR_BAD_ARGUMENT (-12) /* an argument is out of range */
#define CV_ERR_FILE_WRITE (-13)   /* the target cannot be created or written */
#define CV_ERR_SAVE_FORMAT (-14)  /* no format can be chosen for saving, or it cannot be saved */
#define CV_ERR_BAD_HANDLE (-15)   /* the picture handle is unknown or holds no valid bitmap */
#define CV_ERR_UNSUPPORTED_FEATURE                                                           \
  (-16)                              /* a variant of a known format the engine does not read \
                                      */
#define CV_ERR_NO_PAGE (-17)         /* the requested page is not in the file */
#define CV_ERR_NOT_AVAILABLE (-18)   /* needs hardware or a service this platform lacks */
#define CV_ERR_NO_FILENAME (-19)     /* no file name was given */
#define CV_ERR_NO_UNDO (-20)         /* there is no kept picture to undo to */
#define CV_ERR_INTERNAL (-21)        /* an internal failure of the engine or a library */
#define CV_ERR_PASSWORD (-22)        /* wrong or missing ePIC password */
#define CV_ERR_CLIPBOARD_EMPTY (-23) /* the clipboard holds no picture */
#define CV_ERR_NO_DEVICE (-24)       /* no scanner is connected, or the chosen one is gone */
#define CV_ERR_DEVICE_FAILED (-25)   /* the scanner failed, is busy or went away while scanning */
#define CV_ERR_SCREEN_DENIED (-26)   /* the screen or window cannot be read on this display */
#define CV_ERR_NO_SELECTION (-207)   /* no rubber band, region or sprite to work on */

#endif
