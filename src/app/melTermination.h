#pragma once

#include <functional>

// Runs aOnTerminate on the main thread when the process gets SIGTERM or
// SIGINT, so that the program closes the normal way. Needs the application
// object.
void InstallTerminationHandler(std::function<void()> aOnTerminate);
