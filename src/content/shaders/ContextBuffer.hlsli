// The per-frame constant block every pass sees at b8: the 608-byte frame
// context followed by the show's 27 animated parameters, 720 bytes in all.
// The C++ side fills it byte for byte, so member order and types are the
// contract; parameters are matched by position, not by name.
#ifndef THAW_CONTEXT_BUFFER_HLSLI
#define THAW_CONTEXT_BUFFER_HLSLI

cbuffer ContextBuffer : register(b8)
{
    float time;
    uint frame;
    float elapsedTime;
    float aspectRatio;
    float2 resolution;
    float2 invResolution;
    column_major float4x4 viewMatrix;
    column_major float4x4 projectionMatrix;
    column_major float4x4 viewProjectionMatrix;
    column_major float4x4 invViewMatrix;
    column_major float4x4 invProjectionMatrix;
    column_major float4x4 invViewProjectionMatrix;
    column_major float4x4 lastViewMatrix;
    column_major float4x4 lastProjectionMatrix;
    column_major float4x4 lastViewProjectionMatrix;

    float CameraPosX;
    float CameraPosY;
    float CameraPosZ;
    float CameraDirX;
    float CameraDirY;
    float CameraDirZ;
    float CameraFOV;
    float CameraRoll;
    float IS_NEAREST_SAMPLING;
    float MELT_GRADIENT_SPREAD;
    float FEEDBACK_STRENGTH;
    float NOISE_STRENGTH;
    float DOFBLUR;
    float OUTLINES;
    float bg_transp;
    float txt_transp;
    float useInput3;
    float SCROLLSPEED;
    float BAYERON;
    float ENABLEFINALPSOTPROC;
    float SCANLINES;
    float GLOBE_BRIGHTNESS;
    float FLICKER;
    float BLINKY;
    float lamerbypass;
    float lamerdecay;
    float lamerdensity;
};

#endif
