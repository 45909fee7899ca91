// The service's entries in the Windows event log (source "Telvarix", messages from the
// message table in TELVARIX.EXE).
#pragma once

#include <string>

enum class ServiceEvent { Started, Stopped, SettingsRefused, Fatal, Warning };

// Registers the source on first use. Failures are silent: the event log is a second record
// beside the protocol file, never a reason to stop.
void ReportServiceEvent(ServiceEvent event, const std::string& text);
