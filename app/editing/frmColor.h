// Brightness and contrast; the RGB and gamma dialogs share its preview model.
#pragma once

#include "editing/previewdialog.h"
