#include "graph_pins.h"

#include <uuids.h>

#include "media/media_types.h"

namespace twds {

std::vector<twcom::ComPtr<IPin>> PinsOf(IBaseFilter *filter)
{
    std::vector<twcom::ComPtr<IPin>> pins;
    twcom::ComPtr<IEnumPins> e;
    if (!filter || FAILED(filter->EnumPins(e.put())) || !e)
        return pins;
    IPin *pin = nullptr;
    while (e->Next(1, &pin, nullptr) == S_OK)
        pins.push_back(twcom::ComPtr<IPin>::Attach(pin));
    return pins;
}

std::vector<twcom::ComPtr<IPin>> PinsOf(IBaseFilter *filter, PIN_DIRECTION only)
{
    std::vector<twcom::ComPtr<IPin>> pins;
    for (auto &pin : PinsOf(filter))
        if (DirectionIs(pin.get(), only))
            pins.push_back(pin);
    return pins;
}

twcom::ComPtr<IBaseFilter> FilterOf(IPin *pin)
{
    PIN_INFO info{};
    if (!pin || FAILED(pin->QueryPinInfo(&info)))
        return nullptr;
    return twcom::ComPtr<IBaseFilter>::Attach(info.pFilter);
}

bool DirectionIs(IPin *pin, PIN_DIRECTION dir)
{
    PIN_DIRECTION d;
    return pin && SUCCEEDED(pin->QueryDirection(&d)) && d == dir;
}

bool IsConnected(IPin *pin)
{
    twcom::ComPtr<IPin> peer;
    return pin && SUCCEEDED(pin->ConnectedTo(peer.put())) && peer;
}

bool IsRenderer(IBaseFilter *filter)
{
    bool saysSo = false;
    if (auto flags = twcom::QueryAs<IAMFilterMiscFlags>(filter, IID_IAMFilterMiscFlags))
        saysSo = (flags->GetMiscFlags() & AM_FILTER_MISC_FLAGS_IS_RENDERER) != 0;
    // Either way only a renderer that something feeds will ever finish a stream.
    bool connectedInput = false, output = false;
    for (auto &pin : PinsOf(filter)) {
        if (DirectionIs(pin.get(), PINDIR_OUTPUT))
            output = true;
        else
            connectedInput = connectedInput || IsConnected(pin.get());
    }
    return connectedInput && (saysSo || !output);
}

GUID MajorTypeOf(IPin *pin)
{
    AM_MEDIA_TYPE mt{};
    if (SUCCEEDED(pin->ConnectionMediaType(&mt))) {
        GUID major = mt.majortype;
        FreeMediaType(&mt);
        return major;
    }
    twcom::ComPtr<IEnumMediaTypes> e;
    AM_MEDIA_TYPE *first = nullptr;
    if (FAILED(pin->EnumMediaTypes(e.put())) || !e || e->Next(1, &first, nullptr) != S_OK)
        return GUID_NULL;
    GUID major = first->majortype;
    DeleteMediaType(first);
    return major;
}

} // namespace twds
