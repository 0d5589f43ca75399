// The program body of the Windows show: start-up, the frame loop and
// shutdown, around the show session (app/ShowSession.h).
#pragma once

// The real-time show: window, swap chain, sound, the audio clock.
void runShow();
