// Small questions the graph asks of pins and filters.
// Platform-internal: include by path ("graph/graph_pins.h" relative to platform/).
#pragma once
#include <vector>

#include "kit/interfaces.h"

namespace twds {

// The filter's pins in its order; of one direction when `only` says so.
std::vector<twcom::ComPtr<IPin>> PinsOf(IBaseFilter *filter);
std::vector<twcom::ComPtr<IPin>> PinsOf(IBaseFilter *filter, PIN_DIRECTION only);
// The pin's filter (a reference), or null.
twcom::ComPtr<IBaseFilter> FilterOf(IPin *pin);
bool DirectionIs(IPin *pin, PIN_DIRECTION dir);
bool IsConnected(IPin *pin);
// A renderer: connected input pins, and no output pins or it says it is one.
bool IsRenderer(IBaseFilter *filter);
// The major type of the first type the pin offers (GUID_NULL if none).
GUID MajorTypeOf(IPin *pin);

} // namespace twds
