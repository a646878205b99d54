#include "describe.h"

#include <cstdio>
#include <vector>

#include <evcode.h>
#include <objbase.h>
#include <uuids.h>
#include <windows.h>

std::string Narrow(LPCWSTR text)
{
    if (!text)
        return "";
    int n = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (n <= 0)
        return "";
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, &out[0], n, nullptr, nullptr);
    out.resize(static_cast<size_t>(n - 1));
    return out;
}

namespace {

std::string GuidText(REFGUID g)
{
    struct Known {
        const GUID *guid;
        const char *name;
    };
    static const Known known[] = {
        {&MEDIATYPE_Video, "Video"},         {&MEDIATYPE_Audio, "Audio"},
        {&MEDIATYPE_Stream, "Stream"},       {&MEDIASUBTYPE_WMV1, "WMV1"},
        {&MEDIASUBTYPE_WMV2, "WMV2"},        {&MEDIASUBTYPE_WMV3, "WMV3"},
        {&MEDIASUBTYPE_WMAudioV2, "WMA2"},   {&MEDIASUBTYPE_WMAudioV9, "WMA9"},
        {&MEDIASUBTYPE_PCM, "PCM"},          {&MEDIASUBTYPE_IEEE_FLOAT, "IEEE float"},
        {&MEDIASUBTYPE_RGB24, "RGB24"},      {&MEDIASUBTYPE_RGB32, "RGB32"},
        {&MEDIASUBTYPE_YV12, "YV12"},        {&MEDIASUBTYPE_Asf, "ASF"},
        {&FORMAT_VideoInfo, "VideoInfo"},    {&FORMAT_VideoInfo2, "VideoInfo2"},
        {&FORMAT_WaveFormatEx, "WaveFormatEx"}, {&FORMAT_None, "none"},
    };
    for (const Known &k : known)
        if (*k.guid == g)
            return k.name;
    WCHAR text[40];
    StringFromGUID2(g, text, 40);
    return Narrow(text);
}

std::string PinName(IPin *pin)
{
    PIN_INFO info{};
    if (FAILED(pin->QueryPinInfo(&info)))
        return "?";
    std::string filter = "?";
    if (info.pFilter) {
        FILTER_INFO fi{};
        if (SUCCEEDED(info.pFilter->QueryFilterInfo(&fi))) {
            filter = Narrow(fi.achName);
            if (fi.pGraph)
                fi.pGraph->Release();
        }
        info.pFilter->Release();
    }
    return "\"" + filter + "\" \"" + Narrow(info.achName) + "\"";
}

} // namespace

std::string TypeText(const AM_MEDIA_TYPE &mt)
{
    return GuidText(mt.majortype) + "/" + GuidText(mt.subtype) + " (format " + GuidText(mt.formattype) + ", " +
           std::to_string(mt.cbFormat) + " bytes)";
}

std::string EventName(LONG code)
{
    switch (code) {
    case EC_COMPLETE: return "EC_COMPLETE";
    case EC_USERABORT: return "EC_USERABORT";
    case EC_ERRORABORT: return "EC_ERRORABORT";
    case EC_REPAINT: return "EC_REPAINT";
    case EC_STREAM_ERROR_STOPPED: return "EC_STREAM_ERROR_STOPPED";
    case EC_STREAM_ERROR_STILLPLAYING: return "EC_STREAM_ERROR_STILLPLAYING";
    case EC_ERROR_STILLPLAYING: return "EC_ERROR_STILLPLAYING";
    case EC_VIDEO_SIZE_CHANGED: return "EC_VIDEO_SIZE_CHANGED";
    case EC_QUALITY_CHANGE: return "EC_QUALITY_CHANGE";
    case EC_CLOCK_CHANGED: return "EC_CLOCK_CHANGED";
    case EC_PAUSED: return "EC_PAUSED";
    case EC_BUFFERING_DATA: return "EC_BUFFERING_DATA";
    case EC_STARVATION: return "EC_STARVATION";
    case EC_LENGTH_CHANGED: return "EC_LENGTH_CHANGED";
    case EC_STATE_CHANGE: return "EC_STATE_CHANGE";
    case EC_ERRORABORTEX: return "EC_ERRORABORTEX";
    default: return "event " + std::to_string(code);
    }
}

void PrintGraph(IFilterGraph *graph)
{
    IEnumFilters *filters = nullptr;
    if (FAILED(graph->EnumFilters(&filters)) || !filters)
        return;
    IBaseFilter *f = nullptr;
    while (filters->Next(1, &f, nullptr) == S_OK) {
        FILTER_INFO fi{};
        f->QueryFilterInfo(&fi);
        if (fi.pGraph)
            fi.pGraph->Release();
        CLSID clsid = GUID_NULL;
        f->GetClassID(&clsid);
        std::printf("filter \"%s\" %s\n", Narrow(fi.achName).c_str(), GuidText(clsid).c_str());
        IEnumPins *pins = nullptr;
        if (SUCCEEDED(f->EnumPins(&pins)) && pins) {
            IPin *pin = nullptr;
            while (pins->Next(1, &pin, nullptr) == S_OK) {
                PIN_INFO pi{};
                pin->QueryPinInfo(&pi);
                if (pi.pFilter)
                    pi.pFilter->Release();
                std::printf("  %s pin \"%s\"", pi.dir == PINDIR_INPUT ? "input " : "output", Narrow(pi.achName).c_str());
                IPin *peer = nullptr;
                if (SUCCEEDED(pin->ConnectedTo(&peer)) && peer) {
                    AM_MEDIA_TYPE mt{};
                    std::string type = "?";
                    if (SUCCEEDED(pin->ConnectionMediaType(&mt))) {
                        type = TypeText(mt);
                        CoTaskMemFree(mt.pbFormat);
                        if (mt.pUnk)
                            mt.pUnk->Release();
                    }
                    std::printf(" %s %s, %s", pi.dir == PINDIR_INPUT ? "<-" : "->", PinName(peer).c_str(),
                                type.c_str());
                    peer->Release();
                } else {
                    std::printf(" (not connected)");
                }
                std::printf("\n");
                pin->Release();
            }
            pins->Release();
        }
        f->Release();
    }
    filters->Release();
}
