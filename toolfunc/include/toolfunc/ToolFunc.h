// The support library of the applet and the install program: diagnostics, services,
// settings files, folders and the registry.
#pragma once

#include "toolfunc/AppletWindow.h"
#include "toolfunc/DebugOutput.h"
#include "toolfunc/EventLogger.h"
#include "toolfunc/FileTools.h"
#include "toolfunc/HelpFile.h"
#include "toolfunc/LoggingFile.h"
#include "toolfunc/PathText.h"
#include "toolfunc/Paths.h"
#include "toolfunc/ProductNames.h"
#include "toolfunc/RegTool.h"
#include "toolfunc/ServiceControl.h"
#include "toolfunc/ServiceFiles.h"
#include "toolfunc/SettingsFile.h"
#include "toolfunc/VersionInfo.h"
#include "toolfunc/WindowPlacement.h"
