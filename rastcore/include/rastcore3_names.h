// The display names of the drawing enumerations. One table serves the engine, which accepts
// exactly these values, and the control's property pages, which offer exactly these choices,
// so a page can never show one value and set another.
#pragma once

#include <stdint.h>

#include "rastcore3_ops.h"

typedef struct CV_NAMED_VALUE {
  int16_t value;
  const char* name;
} CV_NAMED_VALUE;

// In the order the pages list them.
static const CV_NAMED_VALUE CV_DrawStyleNames[] = {{DS_Transparent, "Transparent"},
                                                   {DS_Solid, "Solid"},
                                                   {DS_Dash, "Dash"},
                                                   {DS_Dot, "Dot"},
                                                   {DS_DashDot, "Dash Dot"},
                                                   {DS_DashDotDot, "Dash Dot Dot"},
                                                   {DS_InsideSolid, "Inside Solid"}};
static const CV_NAMED_VALUE CV_DrawFillStyleNames[] = {{FS_Solid, "Solid"},
                                                       {FS_Transparent, "Transparent"},
                                                       {FS_HorizontalLine, "Horizontal Line"},
                                                       {FS_VerticalLine, "Vertical Line"},
                                                       {FS_DownwardDiagonal, "Downward Diagonal"},
                                                       {FS_UpwardDiagonal, "Upward Diagonal"},
                                                       {FS_Cross, "Cross"},
                                                       {FS_DiagonalCross, "Diagonal Cross"}};
static const CV_NAMED_VALUE CV_DrawModeNames[] = {{DM_Blackness, "Blackness"},
                                                  {DM_NotMergePen, "NOT Merge Pen"},
                                                  {DM_MaskNotPen, "Mask NOT Pen"},
                                                  {DM_NotCopyPen, "NOT Copy Pen"},
                                                  {DM_MaskPenNot, "Mask Pen NOT"},
                                                  {DM_Invert, "Invert"},
                                                  {DM_XorPen, "XOR Pen"},
                                                  {DM_NotMaskPen, "NOT Mask Pen"},
                                                  {DM_MaskPen, "Mask Pen"},
                                                  {DM_NotXorPen, "NOT XOR Pen"},
                                                  {DM_Nop, "NOP"},
                                                  {DM_MergeNotPen, "Merge NOT Pen"},
                                                  {DM_CopyPen, "Copy Pen"},
                                                  {DM_MergePenNot, "Merge Pen NOT"},
                                                  {DM_MergePen, "Merge Pen"},
                                                  {DM_Whiteness, "Whiteness"}};
static const CV_NAMED_VALUE CV_AntialiasNames[] = {{AA_None, "None"},
                                                   {AA_Smooth, "Scale to Gray"},
                                                   {AA_FavorBlack, "Favor Black"},
                                                   {AA_FavorWhite, "Favor White"}};

#define CV_NAMES_COUNT(table) ((int)(sizeof(table) / sizeof((table)[0])))

// Whether the table names the value.
static inline int CV_IsNamedValue(const CV_NAMED_VALUE* table, int count, int value) {
  for (int i = 0; i < count; ++i)
    if (table[i].value == value) return 1;
  return 0;
}
