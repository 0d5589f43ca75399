// The program body: start-up, the frame loop driven by the audio clock, and
// shutdown. Returns when the show is over; the entry ends the process.
#pragma once

void runShow();
