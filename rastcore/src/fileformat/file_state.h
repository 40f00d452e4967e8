// Per-instance state of the file side: the loaded file's facts, the save options and progress.
#pragma once

#include <cstdint>
#include <string>

#include "rastcore3.h"

namespace rastcore {

struct FileState {
  std::string fileName;  // FileName: the file the picture came from, "" if none
  std::string password;  // PICPassword
  int16_t pageNbr = 0;   // PageNbr: page to load, from 1 (0 = first)
  int16_t format = 0;    // IFormat
  int16_t fileBpp = 0;   // IBPP
  int32_t fileSize = 0;  // IFileSize
  int16_t numPages = 0;  // NumPages of the loaded file
  int16_t resUnits = RES_Inch;
  // CancelLoad and CancelMode tell the host when to answer the poll with a cancel; the engine
  // itself reads only CancelRemove: a cancelled load then leaves no picture.
  bool cancelLoad = false, cancelRemove = false;
  int16_t cancelMode = 0;
  std::string lzwPassword, ftpUserName, ftpPassword, proxyServer;
  // The scanner's texts: what the chosen source reports, or what the host put.
  std::string twainProductFamily, twainManufacturer, twainProductName, twainVersionInfo;
  int16_t thumbnail = 0;  // PICThumbnail: 0 none, 1 = 1/4, 2 = 1/16, 3 = 1/64 of the area
  bool cropEnabled = false;
  int16_t cropX = 0, cropY = 0, cropWidth = 0, cropHeight = 0;
  // Last arguments of DibGetPixel/DibSetPixel/DibGetPalIndex/DibSetPalIndex.
  int32_t pixelX = 0, pixelY = 0;
  int16_t palIndex = 0;
  uint32_t paletteHandle = 0;  // engine-owned block given out by HPal and PRGBColors
};

struct SaveOptions {
  std::string fileName;
  int16_t fileType = FT_DEFAULT;
  bool multiPage = false;
  int16_t jpgChromFactor = 30;  // quality 1-255 (30: libjpeg quality 75)
  int16_t jpgLumFactor = 0;     // 0: follow jpgChromFactor
  int16_t jpgQuality = 0;       // libjpeg's 1-100 quality for both tables (the command-line
                                // tool's scale); 0: from the factors
  bool jpgProgressive = false;
  bool jpgGrayscale = false;
  int16_t jpgSubSampling = JPG_SubSampling420;
  bool pngInterlaced = false;
  bool gifInterlaced = false;
  int16_t gifType = GIF_89a;
  bool gifTransparent = false;
  uint32_t gifTColor = 0;  // 0x00BBGGRR
  int16_t tifCompression = TIF_Uncompressed;
  int16_t pbmType = PNM_Binary, pgmType = PNM_Binary, ppmType = PNM_Binary;
  int16_t webpQuality = 75;  // 1-100, the scale of cwebp and the other WebP tools
  bool webpLossless = false;
  int16_t ljpCompType = 0, ljpPrediction = 1, ljpCompOrder = 0, ljpCompMethod = 0;
  std::string password;       // copied from FileState::password when saving ePIC
  bool toBuffer = false;      // SaveToBuffer: SaveFile fills an engine-held buffer
  uint32_t bufferHandle = 0;  // SaveBufferHandle: the file's bytes in the handle table
};

enum ProgressId : int16_t { kProgressLoad = 1, kProgressSave = 2 };

struct ProgressState {
  CV_PostMessageFn post = nullptr;
  void* context = nullptr;
  uint32_t progressMessage = 0, asyncMessage = 0;
  bool enabled = true;
  int16_t id = 0, pct = 0;
  int32_t bytesDone = 0, bytesTotal = 0;
  bool done = false;
  int16_t asyncError = 0;
};

}  // namespace rastcore
