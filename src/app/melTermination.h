#pragma once

#include <functional>

// Runs aOnTerminate on the main thread when the process gets SIGTERM or
// SIGINT, so that the program closes the normal way. Needs the application
// object.
void InstallTerminationHandler(std::function<void()> aOnTerminate);
// True once a termination signal has been handled. A signal that arrives
// while the start-up still runs only closes what is open then (a message
// box); the start asks this before it runs the main window.
bool TerminationRequested();
