#include "rastcore3.h"

extern "C" const char* CV_ErrorText(int16_t error) {
  switch (error) {
    case CV_OK:
      return "success";
    case CV_ERR_BAD_INSTANCE:
      return "no such engine instance";
    case CV_ERR_NO_IMAGE:
      return "no picture is loaded";
    case CV_ERR_FILE_NOT_FOUND:
      return "the file does not exist";
    case CV_ERR_FILE_READ:
      return "the file cannot be opened or read";
    case CV_ERR_UNKNOWN_FORMAT:
      return "the file is not a picture format the engine reads";
    case CV_ERR_TRUNCATED:
      return "the file ends before the picture does";
    case CV_ERR_DAMAGED:
      return "the picture data is damaged";
    case CV_ERR_CANCELLED:
      return "the operation was cancelled";
    case CV_ERR_TOO_LARGE:
      return "the picture is larger than the engine's limit";
    case CV_ERR_OUT_OF_MEMORY:
      return "not enough memory";
    case CV_ERR_UNSUPPORTED_OPTION:
      return "the option or value is not supported";
    case CV_ERR_BAD_ARGUMENT:
      return "an argument is out of range";
    case CV_ERR_FILE_WRITE:
      return "the file cannot be created or written";
    case CV_ERR_SAVE_FORMAT:
      return "the picture cannot be saved in this format";
    case CV_ERR_BAD_HANDLE:
      return "the picture handle is not valid";
    case CV_ERR_UNSUPPORTED_FEATURE:
      return "this variant of the format is not supported";
    case CV_ERR_NO_PAGE:
      return "the file has no such page";
    case CV_ERR_NOT_AVAILABLE:
      return "not available on this system";
    case CV_ERR_NO_FILENAME:
      return "no file name was given";
    case CV_ERR_NO_UNDO:
      return "there is nothing to undo";
    case CV_ERR_INTERNAL:
      return "internal error of the imaging engine";
    case CV_ERR_PASSWORD:
      return "wrong or missing password";
    case CV_ERR_CLIPBOARD_EMPTY:
      return "the clipboard holds no picture";
    case CV_ERR_NO_DEVICE:
      return "no scanner is available";
    case CV_ERR_DEVICE_FAILED:
      return "the scanner failed, is busy or was disconnected";
    case CV_ERR_SCREEN_DENIED:
      return "the screen cannot be read on this display";
    case CV_ERR_NO_SELECTION:
      return "nothing is selected: no rubber band, region or sprite";
    default:
      return "unknown error";
  }
}
