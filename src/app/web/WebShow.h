// What the page's C++ entries share: the one show the page plays.
#pragma once

#include <GLES3/gl3.h>

#include <cstdint>

#include "app/ShowSession.h"
#include "app/SongRender.h"

struct WebShow {
    ShowSession session;
    GLuint screen;  // the RGBA8 texture the present pass writes
    GLuint readFramebuffer;
    SongRender song;
    char error[512];
};

extern WebShow web;

// The screen texture's RGBA rows, top row first, into `pixels`
// (width * height * 4 bytes at the drawing size). False on a GL error.
bool readScreen(uint8_t* pixels);
