// Which of the other modules' screens this build has. A screen's command opens it once its
// header exists; until then the command stays disabled. Defining GLIMMORA_SHELL_ONLY builds
// the shell without any of them (for working on the shell while other modules change).
#pragma once

#if !defined(GLIMMORA_SHELL_ONLY)
#if __has_include("viewer/frmDBScreenTest.h")
#include "viewer/frmDBScreenTest.h"
#define GLIMMORA_HAVE_VIEWER 1
#endif
#if __has_include("query/frmQuery.h") && __has_include("query/querystart.h") && \
    __has_include("query/frmPicPasswordqry.h")
#include "query/frmQuery.h"
#include "query/frmPicPasswordqry.h"
#include "query/querystart.h"
#define GLIMMORA_HAVE_QUERY 1
#endif
#if __has_include("query/printset.h")
#include "query/printset.h"
#define GLIMMORA_HAVE_PRINTSET 1
#endif
#if __has_include("cataloguing/frmAddDirsToDB.h")
#include "cataloguing/frmAddDirsToDB.h"
#define GLIMMORA_HAVE_ADDDIRS 1
#endif
#if __has_include("cataloguing/frmScanDrive.h")
#include "cataloguing/frmScanDrive.h"
#define GLIMMORA_HAVE_SCANDRIVE 1
#endif
#if __has_include("cataloguing/frmSetupNew.h")
#include "cataloguing/frmSetupNew.h"
#define GLIMMORA_HAVE_SETUPNEW 1
#endif
#if __has_include("cataloguing/commandline.h")
#include "cataloguing/commandline.h"
#define GLIMMORA_HAVE_CATALOGUING_CLI 1
#endif
#if __has_include("shell/frmTutorial.h")
#include "shell/frmTutorial.h"
#define GLIMMORA_HAVE_TUTORIAL 1
#endif
#endif

// The shell's own screens.
#if __has_include("shell/frmOptions.h")
#include "shell/frmOptions.h"
#define GLIMMORA_HAVE_OPTIONS 1
#endif
#if __has_include("shell/frmLogin.h")
#include "shell/frmLogin.h"
#define GLIMMORA_HAVE_LOGIN 1
#endif
