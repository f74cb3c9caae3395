// Program start: one copy per desktop. A later copy hands its command line to
// the running one and ends; the first copy builds the application.
#pragma once
#include <windows.h>

#include <string>

namespace velmora {

// The main window of a running copy: class "Tmainform" (any case) that
// answers WM_IDENTIFY with 945672; null when there is none.
HWND findrunningcopy();

// What a later copy says when the running copy stops answering while it
// hands `link` over.
std::string notansweringmessage(const std::string& link);

// Runs the program for the whole command line (program name first); returns
// the process exit code.
int runvelmora(const std::string& commandLine);

}  // namespace velmora
