#pragma once

#include "editing/previewdialog.h"
