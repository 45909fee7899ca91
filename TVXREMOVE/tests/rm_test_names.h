// Names the uninstall tests share with their helper programs.
#pragma once

// Set by a test to let a service that refuses to stop end after all.
#define kReleaseEvent "Global\\TvxRemoveTestRelease"
// Environment variable naming the file in which the test applet notes what happens to it.
#define kAppletNotesVariable "TVX_RM_APPLET_NOTES"
