// One channel's next output value: the sample read without interpolation,
// blended with the previous note's tail for the first frames of a note.
#include "xm/SampleCursor.h"
#include "xm/Voices.h"

namespace {

float blendWithTail(const Channel& channel, float value) {
    if (channel.rampFrame >= kRampFrames) return value;
    float tail = channel.rampTail[channel.rampFrame];
    return tail + (value - tail) * (float(channel.rampFrame) * (1.0f / 32.0f));
}

}  // namespace

float nextSampleValue(Channel& channel) {
    if (!channel.instrument || !channel.sample || channel.position < 0.0f) return blendWithTail(channel, 0.0f);
    const Sample& sample = *channel.sample;
    if (sample.length == 0) return 0.0f;
    float value = sampleValue(sample, channel.position);
    advancePosition(channel, sample);
    return blendWithTail(channel, value);
}
