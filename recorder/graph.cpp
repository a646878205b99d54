// The playback graph: opening a clip, the tap rewiring in front of the decoders,
// the windowless video renderer, the running object table entry, and releasing
// every graph reference.
#include "recorder.h"
#include "reader.h"

#include <kestrin.h>
#include <objidl.h>
#include <stdio.h>
#include <string.h>
#include <uuids.h>

// Releases an interface reference and clears it.
template <class T>
static void SafeRelease(T *&p)
{
    if (p != NULL) {
        p->Release();
        p = NULL;
    }
}

// The names and messages of one tapped medium.
struct TapNames {
    IBaseFilter **ppTee;
    const WCHAR *pwszDecoder;
    const char *pszCreateTee;
    const char *pszAddTee;
    const char *pszFindDecoder;
    const char *pszNextPin;
    const char *pszConnectedTo;
    const char *pszDisconnectDecoder;
    const char *pszDisconnectSource;
    const char *pszFindTeeInput;
    const char *pszFindTeeOutput;
    const char *pszConnectTee;
};

static const TapNames g_VideoTap = {
    &pITVideo,
    OLESTR("WMVideo Decoder DMO"),
    "FAILED(hr=0x%x) in CoCreateInstance(CLSID_InfTee, NULL, CLSCTX_INPROC_SERVER, IID_IBaseFilter, (void "
    "**)&pITVideo)\n",
    "FAILED(hr=0x%x) in pGB->AddFilter(pITVideo, NULL)\n",
    "FAILED(hr=0x%x) in pGB->FindFilterByName(L\"WMVideo Decoder DMO\", ppFilter)\n",
    "FAILED(hr=0x%x) in ppEnum->Next(1, &pPinInVideoDecoder, &pcFetched)\n",
    "FAILED(hr=0x%x) in pPinInVideoDecoder->ConnectedTo(&pPinOutWMVideo)\n",
    "FAILED(hr=0x%x) in pPinInVideoDecoder->Disconnect()\n",
    "FAILED(hr=0x%x) in pPinOutWMVideo->Disconnect()\n",
    "FAILED(hr=0x%x) in pITVideo->FindPin(L\"Input\", &pPinInInfTee)\n",
    "FAILED(hr=0x%x) in pITVideo->FindPin(L\"Output1\", &pPinOutInfTee)\n",
    "FAILED(hr=0x%x) in pGB->ConnectDirect(pPinOutWMVideo, pPinInInfTee, NULL)\n",
};

static const TapNames g_AudioTap = {
    &pITAudio,
    OLESTR("WMAudio Decoder DMO"),
    "FAILED(hr=0x%x) in CoCreateInstance(CLSID_InfTee, NULL, CLSCTX_INPROC_SERVER, IID_IBaseFilter, (void "
    "**)&pITAudio)\n",
    "FAILED(hr=0x%x) in pGB->AddFilter(pITAudio, NULL)\n",
    "FAILED(hr=0x%x) in pGB->FindFilterByName(L\"WMAudio Decoder DMO\", ppFilter)\n",
    "FAILED(hr=0x%x) in ppEnum->Next(1, &pPinInAudioDecoder, &pcFetched)\n",
    "FAILED(hr=0x%x) in pPinInAudioDecoder->ConnectedTo(&pPinOutWMAudio)\n",
    "FAILED(hr=0x%x) in pPinInAudioDecoder->Disconnect()\n",
    "FAILED(hr=0x%x) in pPinOutWMAudio->Disconnect()\n",
    "FAILED(hr=0x%x) in pITAudio->FindPin(L\"Input\", &pPinInInfTee)\n",
    "FAILED(hr=0x%x) in pITAudio->FindPin(L\"Output1\", &pPinOutInfTee)\n",
    "FAILED(hr=0x%x) in pGB->ConnectDirect(pPinOutWMAudio, pPinInInfTee, NULL)\n",
};

// Reports a failed call once and passes its result on.
static HRESULT Failed(const char *pszFormat, HRESULT hr)
{
    ReportError(pszFormat, hr);
    return hr;
}

// Puts an Infinite Tee between the source's output pin and the medium's decoder:
// the decoder is removed, the tee's first output is rendered anew (a new decoder
// into the renderer left behind). The tee's second output is for the recorder.
static HRESULT TapStream(const TapNames &names)
{
    HRESULT hr = CoCreateInstance(CLSID_InfTee, NULL, CLSCTX_INPROC_SERVER, IID_IBaseFilter, (void **)names.ppTee);
    if (FAILED(hr))
        return Failed(names.pszCreateTee, hr);
    IBaseFilter *pTee = *names.ppTee;
    hr = pGB->AddFilter(pTee, NULL);
    if (FAILED(hr))
        return Failed(names.pszAddTee, hr);
    IBaseFilter *ppFilter[1] = {NULL};
    hr = pGB->FindFilterByName(names.pwszDecoder, ppFilter);
    if (FAILED(hr))
        return Failed(names.pszFindDecoder, hr);

    IEnumPins *ppEnum = NULL;
    hr = ppFilter[0]->EnumPins(&ppEnum);
    if (FAILED(hr)) {
        ppFilter[0]->Release();
        return Failed("FAILED(hr=0x%x) in ppFilter[0]->EnumPins(&ppEnum)\n", hr);
    }
    if (ppEnum != NULL) {
        IPin *pPinInDecoder = NULL;
        IPin *pPinOutSource = NULL;
        IPin *pPinInInfTee = NULL;
        IPin *pPinOutInfTee = NULL;
        ULONG pcFetched = 0;
        const char *pszFailed = NULL;
        ppEnum->Reset();
        hr = ppEnum->Next(1, &pPinInDecoder, &pcFetched);
        if (FAILED(hr))
            pszFailed = names.pszNextPin;
        else if (pPinInDecoder == NULL || pcFetched == 0)
            ; // the decoder has no pins: nothing to tap
        else if (FAILED(hr = pPinInDecoder->ConnectedTo(&pPinOutSource)))
            pszFailed = names.pszConnectedTo;
        else if (FAILED(hr = pPinInDecoder->Disconnect()))
            pszFailed = names.pszDisconnectDecoder;
        else if (FAILED(hr = pPinOutSource->Disconnect()))
            pszFailed = names.pszDisconnectSource;
        else if (FAILED(hr = pGB->RemoveFilter(ppFilter[0])))
            pszFailed = "FAILED(hr=0x%x) in pGB->RemoveFilter(ppFilter[0])\n";
        else if (FAILED(hr = pTee->FindPin(OLESTR("Input"), &pPinInInfTee)))
            pszFailed = names.pszFindTeeInput;
        else if (FAILED(hr = pTee->FindPin(OLESTR("Output1"), &pPinOutInfTee)))
            pszFailed = names.pszFindTeeOutput;
        else if (FAILED(hr = pGB->ConnectDirect(pPinOutSource, pPinInInfTee, NULL)))
            pszFailed = names.pszConnectTee;
        else if (FAILED(hr = pGB->Render(pPinOutInfTee)))
            pszFailed = "FAILED(hr=0x%x) in pGB->Render(pPinOutInfTee)\n";
        SafeRelease(pPinOutInfTee);
        SafeRelease(pPinInInfTee);
        SafeRelease(pPinOutSource);
        SafeRelease(pPinInDecoder);
        ppEnum->Release();
        if (pszFailed != NULL) {
            ppFilter[0]->Release();
            return Failed(pszFailed, hr);
        }
    }
    ppFilter[0]->Release();
    return S_OK;
}

// Connects the second outputs of the two tees to the recording filter's pins.
static HRESULT AddRecordingFilter()
{
    HRESULT hr =
        CoCreateInstance(CLSID_Kestrin, NULL, CLSCTX_INPROC_SERVER, IID_IBaseFilter, (void **)&pKestrin);
    if (FAILED(hr))
        return Failed("FAILED(hr=0x%x) in CoCreateInstance(CLSID_Kestrin, NULL, CLSCTX_INPROC_SERVER, "
                      "IID_IBaseFilter, (void **)&pKestrin)\n",
                      hr);
    hr = pGB->AddFilter(pKestrin, NULL);
    if (FAILED(hr))
        return Failed("FAILED(hr=0x%x) in pGB->AddFilter(pKestrin, NULL)\n", hr);
    IPin *pPinInAudio = NULL, *pPinInVideo = NULL, *pPinOutAudio = NULL, *pPinOutVideo = NULL;
    const char *pszFailed = NULL;
    if (FAILED(hr = pKestrin->FindPin(OLESTR("Audio in"), &pPinInAudio)))
        pszFailed = "FAILED(hr=0x%x) in pKestrin->FindPin(L\"Audio in\", &pPinInAudio)\n";
    else if (FAILED(hr = pKestrin->FindPin(OLESTR("Video in"), &pPinInVideo)))
        pszFailed = "FAILED(hr=0x%x) in pKestrin->FindPin(L\"Video in\", &pPinInVideo)\n";
    else if (FAILED(hr = pITAudio->FindPin(OLESTR("Output2"), &pPinOutAudio)))
        pszFailed = "FAILED(hr=0x%x) in pITAudio->FindPin(L\"Output2\", &pPinOutAudio)\n";
    else if (FAILED(hr = pITVideo->FindPin(OLESTR("Output2"), &pPinOutVideo)))
        pszFailed = "FAILED(hr=0x%x) in pITVideo->FindPin(L\"Output2\", &pPinOutVideo)\n";
    else if (FAILED(hr = pGB->ConnectDirect(pPinOutVideo, pPinInVideo, NULL)))
        pszFailed = "FAILED(hr=0x%x) in pGB->ConnectDirect(pPinOutVideo, pPinInVideo, NULL)\n";
    else if (FAILED(hr = pGB->ConnectDirect(pPinOutAudio, pPinInAudio, NULL)))
        pszFailed = "FAILED(hr=0x%x) in pGB->ConnectDirect(pPinOutAudio, pPinInAudio, NULL)\n";
    SafeRelease(pPinInAudio);
    SafeRelease(pPinInVideo);
    SafeRelease(pPinOutAudio);
    SafeRelease(pPinOutVideo);
    return pszFailed != NULL ? Failed(pszFailed, hr) : S_OK;
}

// Fetches the first pin of a filter's enumeration (its input for a renderer).
static HRESULT FirstPin(IEnumPins *ppEnum, IPin **ppPin)
{
    ULONG cFetched = 0;
    ppEnum->Reset();
    HRESULT hr = ppEnum->Next(1, ppPin, &cFetched);
    if (FAILED(hr))
        return Failed("FAILED(hr=0x%x) in ppEnum->Next(1, &pPinRenderer, &cFetched)\n", hr);
    if (cFetched == 0)
        SafeRelease(*ppPin);
    return hr;
}

// Takes the default video renderer out and connects the new video decoder's output
// to the Video Mixing Renderer 9 in windowless mode instead.
static HRESULT ReplaceVideoRenderer()
{
    IBaseFilter *pFilters[1] = {NULL};
    HRESULT hr = pGB->FindFilterByName(OLESTR("Video Renderer"), pFilters);
    if (FAILED(hr))
        return Failed("FAILED(hr=0x%x) in pGB->FindFilterByName(L\"Video Renderer\", pFilters)\n", hr);
    IEnumPins *ppEnum = NULL;
    hr = pFilters[0]->EnumPins(&ppEnum);
    if (FAILED(hr)) {
        pFilters[0]->Release();
        return Failed("FAILED(hr=0x%x) in pFilters[0]->EnumPins(&ppEnum)\n", hr);
    }
    IPin *pPinOutDecoder = NULL;
    if (ppEnum != NULL) {
        IPin *pPinRenderer = NULL;
        hr = FirstPin(ppEnum, &pPinRenderer);
        ppEnum->Release();
        const char *pszFailed = NULL;
        if (FAILED(hr)) {
            pFilters[0]->Release();
            return hr;
        }
        if (pPinRenderer != NULL) {
            AM_MEDIA_TYPE mt;
            memset(&mt, 0, sizeof mt);
            if (FAILED(hr = pPinRenderer->ConnectionMediaType(&mt))) {
                pszFailed = "FAILED(hr=0x%x) in pPinRenderer->ConnectionMediaType(&mt)\n";
            } else {
                // The type is only read; its format block and object are freed.
                if (mt.pbFormat != NULL)
                    CoTaskMemFree(mt.pbFormat);
                if (mt.pUnk != NULL)
                    mt.pUnk->Release();
                if (FAILED(hr = pPinRenderer->ConnectedTo(&pPinOutDecoder)))
                    pszFailed = "FAILED(hr=0x%x) in pPinRenderer->ConnectedTo(&pPinOutDecoder)\n";
                else if (FAILED(hr = pGB->Disconnect(pPinOutDecoder)))
                    pszFailed = "FAILED(hr=0x%x) in pGB->Disconnect(pPinOutDecoder)\n";
                else if (FAILED(hr = pGB->RemoveFilter(pFilters[0])))
                    pszFailed = "FAILED(hr=0x%x) in pGB->RemoveFilter(pFilters[0])\n";
            }
            pPinRenderer->Release();
        }
        if (pszFailed != NULL) {
            SafeRelease(pPinOutDecoder);
            pFilters[0]->Release();
            return Failed(pszFailed, hr);
        }
    }
    pFilters[0]->Release();

    hr = CoCreateInstance(CLSID_VideoMixingRenderer9, NULL, CLSCTX_INPROC_SERVER, IID_IBaseFilter, (void **)&pVR);
    if (FAILED(hr)) {
        SafeRelease(pPinOutDecoder);
        return Failed("FAILED(hr=0x%x) in CoCreateInstance(CLSID_VideoMixingRenderer9, NULL, CLSCTX_INPROC_SERVER, "
                      "IID_IBaseFilter, (void **)&pVR)\n",
                      hr);
    }
    hr = pGB->AddFilter(pVR, OLESTR("Video Mixing Renderer"));
    if (FAILED(hr)) {
        SafeRelease(pPinOutDecoder);
        return Failed("FAILED(hr=0x%x) in pGB->AddFilter(pVR, L\"Video Mixing Renderer\")\n", hr);
    }
    hr = ConfigureVideoRenderer();
    if (FAILED(hr)) {
        SafeRelease(pPinOutDecoder);
        return hr;
    }
    hr = pVR->EnumPins(&ppEnum);
    if (FAILED(hr)) {
        SafeRelease(pPinOutDecoder);
        return Failed("FAILED(hr=0x%x) in pVR->EnumPins(&ppEnum)\n", hr);
    }
    if (ppEnum != NULL) {
        IPin *pPinRenderer = NULL;
        hr = FirstPin(ppEnum, &pPinRenderer);
        ppEnum->Release();
        if (SUCCEEDED(hr)) {
            // Without a decoder output or a renderer pin the graph manager refuses
            // the connection, and that is what is reported.
            hr = pPinOutDecoder != NULL && pPinRenderer != NULL ? pGB->Connect(pPinOutDecoder, pPinRenderer)
                                                                : E_POINTER;
            if (FAILED(hr))
                ReportError("FAILED(hr=0x%x) in pGB->Connect(pPinOutDecoder, pPinRenderer)\n", hr);
        }
        SafeRelease(pPinRenderer);
    }
    SafeRelease(pPinOutDecoder);
    return hr;
}

HRESULT ConfigureVideoRenderer()
{
    IVMRFilterConfig9 *pConfig = NULL;
    HRESULT hr = pVR->QueryInterface(IID_IVMRFilterConfig9, (void **)&pConfig);
    if (FAILED(hr))
        return Failed("FAILED(hr=0x%x) in pVR->QueryInterface(IID_IVMRFilterConfig9, (void**)&pConfig)\n", hr);
    hr = pConfig->SetRenderingMode(VMR9Mode_Windowless);
    pConfig->Release();
    if (FAILED(hr))
        return Failed("FAILED(hr=0x%x) in pConfig->SetRenderingMode(VMR9Mode_Windowless)\n", hr);
    hr = pVR->QueryInterface(IID_IVMRWindowlessControl9, (void **)&pWC);
    if (FAILED(hr))
        return Failed("FAILED(hr=0x%x) in pVR->QueryInterface(IID_IVMRWindowlessControl9, (void**)&pWC)\n", hr);
    pWC->SetVideoClippingWindow(g_hWndApp);
    pWC->SetBorderColor(RGB(0, 0, 0));
    hr = pVR->QueryInterface(IID_IVMRMixerBitmap9, (void **)&pBMP);
    if (FAILED(hr))
        return Failed("FAILED(hr=0x%x) in pVR->QueryInterface(IID_IVMRMixerBitmap9, (void**)&pBMP)\n", hr);
    return hr;
}

HRESULT AddGraphToRot()
{
    IRunningObjectTable *pROT = NULL;
    if (FAILED(GetRunningObjectTable(0, &pROT)))
        return E_FAIL;
    char szName[128];
    snprintf(szName, sizeof szName, "FilterGraph %08lx pid %08lx", (unsigned long)(ULONG_PTR)pGB,
             (unsigned long)GetCurrentProcessId());
    WCHAR wszName[128];
    if (MultiByteToWideChar(CP_ACP, 0, szName, -1, wszName, 128) == 0)
        wszName[0] = 0;
    IMoniker *pMoniker = NULL;
    HRESULT hr = CreateItemMoniker(OLESTR("!"), wszName, &pMoniker);
    if (SUCCEEDED(hr)) {
        hr = pROT->Register(ROTFLAGS_REGISTRATIONKEEPSALIVE, pGB, pMoniker, &g_dwRotCookie);
        pMoniker->Release();
    }
    pROT->Release();
    return hr;
}

// Queries the graph manager for one of its control interfaces.
template <class T>
static HRESULT QueryGraph(REFIID riid, T *&p, const char *pszFailed)
{
    HRESULT hr = pGB->QueryInterface(riid, (void **)&p);
    return FAILED(hr) ? Failed(pszFailed, hr) : hr;
}

// The steps after the probe: render, prune the profile, tap, replace the renderer,
// hand the profile to the recording filter, show the window and run.
static HRESULT BuildAndRunGraph(CReader &pReader, const WCHAR *wFile)
{
    DWORD cStreams = 0;
    HRESULT hr = pProfile->GetStreamCount(&cStreams);
    if (FAILED(hr))
        return Failed("FAILED(hr=0x%x) in pProfile->GetStreamCount(&cStreams)\n", hr);
    hr = pGB->RenderFile(wFile, NULL);
    if (FAILED(hr))
        return Failed("FAILED(hr=0x%x) in pGB->RenderFile(wFile, NULL)\n", hr);
    hr = pGB->FindFilterByName(wFile, &pSourceFilter);
    if (FAILED(hr))
        return Failed("FAILED(hr=0x%x) in pGB->FindFilterByName(wFile, &pSourceFilter)\n", hr);
    hr = pSourceFilter->QueryInterface(myIID_IAMNetworkStatus, (void **)&pNS);
    if (FAILED(hr))
        return Failed("FAILED(hr=0x%x) in pSourceFilter->QueryInterface(myIID_IAMNetworkStatus, (void**)&pNS)\n",
                      hr);

    // The recording filter sees only the streams the source delivers.
    for (DWORD n = 1; n <= cStreams; ++n) {
        char szPin[16];
        snprintf(szPin, sizeof szPin, "Stream %d", (int)n);
        WCHAR wszPin[16];
        if (MultiByteToWideChar(CP_ACP, 0, szPin, -1, wszPin, 16) == 0)
            wszPin[0] = 0;
        IPin *pPin = NULL;
        if (SUCCEEDED(pSourceFilter->FindPin(wszPin, &pPin)) && pPin != NULL)
            pPin->Release();
        else
            pProfile->RemoveStreamByNumber((WORD)n);
    }
    if (SUCCEEDED(pProfile->GetStreamCount(&cStreams)) && cStreams != 2)
        MessageBoxA(NULL, "Streamcount != 2, either no audio or video is present", "Error", MB_OK);

    hr = TapStream(g_VideoTap);
    if (FAILED(hr))
        return hr;
    hr = TapStream(g_AudioTap);
    if (FAILED(hr))
        return hr;
    hr = AddRecordingFilter();
    if (FAILED(hr))
        return hr;
    hr = ReplaceVideoRenderer();
    if (FAILED(hr))
        return hr;

    if (FAILED(hr = QueryGraph(IID_IMediaControl, pMC,
                               "FAILED(hr=0x%x) in pGB->QueryInterface(IID_IMediaControl, (void **)&pMC)\n")) ||
        FAILED(hr = QueryGraph(IID_IMediaEventEx, pME,
                               "FAILED(hr=0x%x) in pGB->QueryInterface(IID_IMediaEventEx, (void **)&pME)\n")) ||
        FAILED(hr = QueryGraph(IID_IMediaSeeking, pMS,
                               "FAILED(hr=0x%x) in pGB->QueryInterface(IID_IMediaSeeking, (void **)&pMS)\n")) ||
        FAILED(hr = QueryGraph(IID_IMediaPosition, pMP,
                               "FAILED(hr=0x%x) in pGB->QueryInterface(IID_IMediaPosition, (void **)&pMP)\n")) ||
        FAILED(hr = QueryGraph(IID_IBasicVideo, pBV,
                               "FAILED(hr=0x%x) in pGB->QueryInterface(IID_IBasicVideo, (void **)&pBV)\n")) ||
        FAILED(hr = QueryGraph(IID_IBasicAudio, pBA,
                               "FAILED(hr=0x%x) in pGB->QueryInterface(IID_IBasicAudio, (void **)&pBA)\n")))
        return hr;
    hr = pBA->put_Volume(g_lVolume);
    if (FAILED(hr))
        return Failed("FAILED(hr=0x%x) in pBA->put_Volume(g_lVolume)\n", hr);
    g_bNoVideo = pWC == NULL || pBV == NULL;
    hr = pME->SetNotifyWindow((OAHWND)g_hWndApp, WM_GRAPHNOTIFY, 0);
    if (FAILED(hr))
        return Failed("FAILED(hr=0x%x) in pME->SetNotifyWindow((OAHWND)g_hWndApp, WM_GRAPHNOTIFY, 0)\n", hr);

    IKestrin *idump = NULL;
    hr = pKestrin->QueryInterface(IID_IKestrin, (void **)&idump);
    if (FAILED(hr))
        return Failed("FAILED(hr=0x%x) in pKestrin->QueryInterface(IID_IKestrin, (void**)&idump)\n", hr);
    // A refused profile shows the filter's own box and leaves recording off.
    idump->set_Profile(pProfile);
    idump->Release();

    if (g_bNoVideo) {
        hr = InitPlayerWindow();
        if (FAILED(hr))
            return Failed("FAILED(hr=0x%x) in InitPlayerWindow()\n", hr);
        EnablePlaybackMenuItems(true, false);
    }
    CheckSizeMenuItem(ID_SIZE_NORMAL);
    ShowWindow(g_hWndApp, SW_SHOWNORMAL);
    UpdateWindow(g_hWndApp);
    SetForegroundWindow(g_hWndApp);
    UpdateWindowTitle();

    hr = AddGraphToRot();
    if (FAILED(hr)) {
        ReportError("Failed to register filter graph with ROT!  hr=0x%x", hr);
        g_dwRotCookie = 0;
    }
    hr = pReader.Close();
    if (FAILED(hr))
        return Failed("FAILED(hr=0x%x) in pReader.Close()\n", hr);
    hr = pMC->Run();
    if (FAILED(hr))
        return Failed("FAILED(hr=0x%x) in pMC->Run()\n", hr);
    g_State = Playing;
    UpdateVideoPosition();
    InvalidateRect(g_hWndApp, NULL, TRUE);
    UpdateWindowTitle();
    SetFocus(g_hWndApp);
    return hr;
}

HRESULT OpenClip(const char *pszURL)
{
    if (pszURL == NULL)
        return E_POINTER;
    UpdateWindow(g_hWndApp);
    WCHAR wFile[TEXT_BUFFER_SIZE];
    if (MultiByteToWideChar(CP_ACP, 0, pszURL, -1, wFile, TEXT_BUFFER_SIZE) == 0)
        wFile[0] = 0;
    HRESULT hr = CoCreateInstance(CLSID_FilterGraph, NULL, CLSCTX_INPROC_SERVER, IID_IGraphBuilder, (void **)&pGB);
    if (FAILED(hr))
        return Failed("FAILED(hr=0x%x) in CoCreateInstance(CLSID_FilterGraph, NULL, CLSCTX_INPROC_SERVER, "
                      "IID_IGraphBuilder, (void **)&pGB)\n",
                      hr);
    // The probe learns the profile, the title and the duration; it ends with
    // this operation, however it ends.
    CReader pReader;
    hr = pReader.Init();
    if (FAILED(hr))
        return Failed("FAILED(hr=0x%x) in pReader.Init()\n", hr);
    hr = pReader.Configure(wFile);
    if (FAILED(hr))
        return Failed("FAILED(hr=0x%x) in pReader.Configure(wFile)\n", hr);
    IWMProfile *pReaderProfile = pReader.GetProfile();
    if (pReaderProfile == NULL)
        return Failed("FAILED(hr=0x%x) in pReader.GetProfile(&pProfile)\n", E_FAIL);
    g_qwDuration = pReader.m_qwDuration;
    pProfile = pReaderProfile;
    lstrcpynA(g_szClipTitle, pReader.m_szTitle, TEXT_BUFFER_SIZE);
    return BuildAndRunGraph(pReader, wFile);
}

void ReleaseGraph()
{
    if (pME != NULL)
        pME->SetNotifyWindow((OAHWND)NULL, 0, 0);
    if (g_dwRotCookie != 0) {
        IRunningObjectTable *pROT = NULL;
        if (SUCCEEDED(GetRunningObjectTable(0, &pROT))) {
            pROT->Revoke(g_dwRotCookie);
            pROT->Release();
        }
        g_dwRotCookie = 0;
    }
    SafeRelease(pProfile);
    SafeRelease(pME);
    SafeRelease(pMS);
    SafeRelease(pMP);
    SafeRelease(pMC);
    SafeRelease(pBA);
    SafeRelease(pBV);
    SafeRelease(pWC);
    SafeRelease(pITVideo);
    SafeRelease(pITAudio);
    SafeRelease(pKestrin);
    SafeRelease(pNS);
    SafeRelease(pBMP);
    SafeRelease(pSourceFilter);
    SafeRelease(pVR);
    SafeRelease(pGB);
}
