// The playback graph: opening a clip and releasing every graph reference.
#include "recorder.h"
#include "reader.h"

#include <objidl.h>
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

HRESULT OpenClip(const char *pszURL)
{
    if (pszURL == NULL)
        return E_POINTER;
    UpdateWindow(g_hWndApp);
    WCHAR wFile[TEXT_BUFFER_SIZE];
    if (MultiByteToWideChar(CP_ACP, 0, pszURL, -1, wFile, TEXT_BUFFER_SIZE) == 0)
        wFile[0] = 0;
    HRESULT hr = CoCreateInstance(CLSID_FilterGraph, NULL, CLSCTX_INPROC_SERVER, IID_IGraphBuilder, (void **)&pGB);
    if (FAILED(hr)) {
        ReportError("FAILED(hr=0x%x) in CoCreateInstance(CLSID_FilterGraph, NULL, CLSCTX_INPROC_SERVER, "
                    "IID_IGraphBuilder, (void **)&pGB)\n",
                    hr);
        return hr;
    }
    // The probe learns the profile, the title and the duration; it ends with
    // this operation, however it ends.
    CReader pReader;
    hr = pReader.Init();
    if (FAILED(hr)) {
        ReportError("FAILED(hr=0x%x) in pReader.Init()\n", hr);
        return hr;
    }
    hr = pReader.Configure(wFile);
    if (FAILED(hr)) {
        ReportError("FAILED(hr=0x%x) in pReader.Configure(wFile)\n", hr);
        return hr;
    }
    IWMProfile *pReaderProfile = pReader.GetProfile();
    if (pReaderProfile == NULL) {
        hr = E_FAIL;
        ReportError("FAILED(hr=0x%x) in pReader.GetProfile(&pProfile)\n", hr);
        return hr;
    }
    g_qwDuration = pReader.m_qwDuration;
    pProfile = pReaderProfile;
    lstrcpynA(g_szClipTitle, pReader.m_szTitle, TEXT_BUFFER_SIZE);
    // The playback and tap graph is not part of this build yet, so no clip can
    // be played past this point.
    hr = E_NOTIMPL;
    ReportError("FAILED(hr=0x%x): the playback graph is not built yet\n", hr);
    return hr;
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
