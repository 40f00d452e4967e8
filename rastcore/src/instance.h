// One engine instance: the picture and the state the CV_* calls read and write.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "fileformat/file_state.h"
#include "fileformat/read_ahead.h"
#include "image.h"
#include "rastcore3.h"

namespace rastcore {

struct Instance {
  Image image;        // the current picture; empty when none is loaded
  int16_t error = 0;  // the value of ImagError after the last call
  bool undoEnabled = false;
  bool hasUndo = false;
  Image undo;  // the picture before the last operation, when undo is enabled
  // A reduced decode of the picture being loaded, drawn in its place until the load ends
  // (CV_ShowPreview); empty otherwise.
  Image preview;
  uint32_t backColor = 0x00FFFFFF;  // 0x00BBGGRR

  // ---- file and format state (formats side) ----
  FileState file;    // what was loaded, from where, and its file-level facts
  SaveOptions save;  // the saving family's properties
  ProgressState progress;
  std::unique_ptr<ReadAhead> readAhead;  // made when pictures are first read ahead
  int64_t readAheadLimit = ReadAhead::kDefaultLimitBytes;
  uint32_t dibHandle = 0;      // engine-owned handle last given out by CV_GetHDib
  uint32_t undoDibHandle = 0;  // engine-owned handle last given out by CV_GetHDibUndo
  int32_t createWidth = 0, createHeight = 0;  // last arguments of CreateDib
  int16_t createBits = 0;
  uint32_t createColor = 0;

  // ---- host interaction and acquisition ----
  CV_PollFn pollFn = nullptr;  // asked between rows and waits whether to cancel
  void* pollContext = nullptr;
  std::string scanSource;  // the chosen scanner's device name, "" for none

  // ---- processing, selection and view state (processing side) ----
};

// The instance behind a handle, or nullptr. The pointer is valid for the duration of one CV_*
// call; an instance is used from one thread at a time.
Instance* instanceFor(CV_HANDLE handle);

}  // namespace rastcore
