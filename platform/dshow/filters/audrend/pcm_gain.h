// Volume and balance of 16-bit PCM, as IBasicAudio states them: volume in
// hundredths of a decibel (0 full, -10000 silent), balance from -10000 (right
// side silent) to 10000 (left side silent); the side away from the balance is
// attenuated by its magnitude in hundredths of a decibel.
#pragma once
#include <cstddef>
#include <cstdint>

namespace twds {

const long kVolumeSilent = -10000;
const long kVolumeFull = 0;
const long kBalanceLeft = -10000;
const long kBalanceRight = 10000;

// The linear factor of an attenuation in hundredths of a decibel; -10000 is 0.
double GainOf(long hundredthsDb);

// The factors of the left and the right channels for a volume and a balance.
struct ChannelGains {
    double left = 1.0;
    double right = 1.0;
};
ChannelGains GainsOf(long volume, long balance);

// Scales interleaved 16-bit samples in place (saturating). In a stream of more
// than two channels the even channels count as left and the odd ones as right;
// a mono stream takes the volume only.
void ApplyGain(int16_t *samples, size_t count, unsigned channels, long volume, long balance);

} // namespace twds
