#include "pcm_gain.h"

#include <algorithm>
#include <cmath>

namespace twds {

double GainOf(long hundredthsDb)
{
    if (hundredthsDb <= kVolumeSilent)
        return 0.0;
    if (hundredthsDb >= 0)
        return 1.0;
    return std::pow(10.0, static_cast<double>(hundredthsDb) / 2000.0);
}

ChannelGains GainsOf(long volume, long balance)
{
    ChannelGains g;
    double all = GainOf(volume);
    g.left = all * GainOf(balance > 0 ? -balance : 0);
    g.right = all * GainOf(balance < 0 ? balance : 0);
    return g;
}

void ApplyGain(int16_t *samples, size_t count, unsigned channels, long volume, long balance)
{
    if (!samples || channels == 0 || (volume >= kVolumeFull && balance == 0))
        return;
    ChannelGains g = GainsOf(volume, balance);
    if (channels == 1)
        g.right = g.left = GainOf(volume);
    for (size_t i = 0; i < count; ++i) {
        double factor = (i % channels) % 2 == 0 ? g.left : g.right;
        double v = std::lround(samples[i] * factor);
        samples[i] = static_cast<int16_t>(std::clamp(v, -32768.0, 32767.0));
    }
}

} // namespace twds
