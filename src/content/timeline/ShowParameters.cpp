#include "content/timeline/ShowParameters.h"

const char* const kShowParameterNames[kShowParameterCount] = {
    "CameraPosX", "CameraPosY", "CameraPosZ", "CameraDirX",
    "CameraDirY", "CameraDirZ", "CameraFOV", "CameraRoll",
    "IS_NEAREST_SAMPLING", "MELT_GRADIENT_SPREAD", "FEEDBACK_STRENGTH", "NOISE_STRENGTH",
    "DOFBLUR", "OUTLINES", "bg_transp", "txt_transp",
    "useInput3", "SCROLLSPEED", "BAYERON", "ENABLEFINALPSOTPROC",
    "SCANLINES", "GLOBE_BRIGHTNESS", "FLICKER", "BLINKY",
    "lamerbypass", "lamerdecay", "lamerdensity",
};
