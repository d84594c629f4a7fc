#pragma once
// Start-up of the utility, shared by the production program and the demo launcher.

#include "link/endpoint.h"

class QApplication;

// Sets the endpoint's ports and addresses, creates the main frame, document and
// view, and runs the event loop until the frame closes. Returns the exit code.
int runSetup(QApplication& app, const varn::EndpointSettings& settings);
