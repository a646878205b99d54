// Playback and recording control: the operations behind the commands and the
// control-bar buttons, the window title and the graph's events.
#include "recorder.h"
#include "settings.h"

#include <kestrin.h>
#include <stdio.h>
#include <string.h>

// The text after the last '\' or '/' of the URL, or the whole URL.
static const char *LastPathComponent(const char *pszURL)
{
    const char *pszLast = pszURL;
    for (const char *p = pszURL; *p != '\0'; ++p)
        if (*p == '\\' || *p == '/')
            pszLast = p + 1;
    return pszLast;
}

static void EndClip();

void UpdateWindowTitle()
{
    char szTitle[TEXT_BUFFER_SIZE];
    if (g_szURL[0] == '\0') {
        lstrcpynA(szTitle, "Tarnwick", sizeof szTitle);
    } else {
        char szComponent[TEXT_BUFFER_SIZE];
        lstrcpynA(szComponent, LastPathComponent(g_szURL), sizeof szComponent);
        // An overlong title is cut to the buffer.
        if (snprintf(szTitle, sizeof szTitle, "%s [%s]", szComponent, g_szClipTitle) >= (int)sizeof szTitle)
            szTitle[sizeof szTitle - 1] = '\0';
    }
    SetWindowTextA(g_hWndApp, szTitle);
}

void PlayClip()
{
    if (g_State == Playing)
        return;
    if (pMC != NULL && (g_State == Paused || g_State == Stopped)) {
        if (SUCCEEDED(pMC->Run())) {
            g_State = Playing;
            InvalidateControlBar();
        }
        return;
    }
    if (g_szURL[0] == '\0')
        return;
    g_State = Loading;
    InvalidateControlBar();
    WriteSetting(g_szURL, SETTING_LAST_OPENED_URL);
    EnableMenuItem(g_hMenu, ID_FILE_OPENURL, MF_BYCOMMAND | MF_GRAYED);
    HRESULT hr = OpenClip(g_szURL);
    if (FAILED(hr)) {
        // Close, although the state is Loading.
        EndClip();
        return;
    }
    EnableMenuItem(g_hMenu, ID_FILE_CLOSE, MF_BYCOMMAND | MF_ENABLED);
    EnableMenuItem(g_hMenu, ID_CONTROL_RESTART, MF_BYCOMMAND | MF_ENABLED);
    SetVideoSize(1, 1);
}

void PauseClip()
{
    if (g_State == Ready || g_State == Paused || g_State == Stopped) {
        PlayClip();
        InvalidateControlBar();
        return;
    }
    if (g_qwDuration == 0 || pMC == NULL)
        return;
    if (SUCCEEDED(pMC->Pause()))
        g_State = Paused;
    InvalidateControlBar();
}

void StopClip()
{
    if (pMC == NULL || pMS == NULL || g_State == NoClip || g_State == Loading || g_State == Stopped)
        return;
    if (g_State == Playing || g_State == Paused) {
        if (FAILED(pMC->Stop()))
            return;
        if (g_bRecording)
            ToggleRecording();
        g_State = Stopped;
        g_nStreamSeconds = 0;
        g_nBufferingProgress = 0;
        InvalidateRect(g_hWndApp, NULL, TRUE);
        LONGLONG llStart = 0;
        if (FAILED(pMS->SetPositions(&llStart, AM_SEEKING_AbsolutePositioning, NULL, AM_SEEKING_NoPositioning)))
            return;
    }
    UpdateWindowTitle();
}

// Ends a recording, lets the graph come to rest and releases it; the player is
// then in the given state with nothing to show.
static void DropGraph(PlayerState newState)
{
    if (g_bRecording)
        ToggleRecording();
    if (pMC != NULL) {
        pMC->Pause();
        pMC->StopWhenReady();
    }
    g_State = newState;
    g_nStreamSeconds = 0;
    g_nBufferingProgress = 0;
    g_bNoVideo = true;
    ReleaseGraph();
}

// Ends the clip whatever the state: the close without its guard.
static void EndClip()
{
    EnableMenuItem(g_hMenu, ID_FILE_CLOSE, MF_BYCOMMAND | MF_GRAYED);
    EnableMenuItem(g_hMenu, ID_CONTROL_RESTART, MF_BYCOMMAND | MF_GRAYED);
    DropGraph(NoClip);
    g_szURL[0] = '\0';
    g_szClipTitle[0] = '\0';
    EnableMenuItem(g_hMenu, ID_FILE_OPENURL, MF_BYCOMMAND | MF_ENABLED);
    InvalidateRect(g_hWndApp, NULL, TRUE);
    UpdateWindowTitle();
}

void CloseClip()
{
    if (g_State == NoClip || g_State == Loading)
        return;
    EndClip();
}

void RestartClip()
{
    if (g_State == NoClip || g_State == Loading)
        return;
    DropGraph(Loading);
    InvalidateRect(g_hWndApp, NULL, TRUE);
    // With no graph and a URL, this opens the same URL again.
    PlayClip();
}

HRESULT ToggleRecording()
{
    if (pKestrin == NULL)
        return S_OK;
    IFileSinkFilter *pSink = NULL;
    HRESULT hr = pKestrin->QueryInterface(IID_IFileSinkFilter, (void **)&pSink);
    if (FAILED(hr))
        return hr;
    if (g_bRecording) {
        hr = pSink->SetFileName(NULL, NULL);
        if (SUCCEEDED(hr)) {
            g_bRecording = false;
            InvalidateControlBar();
        }
    } else if (g_bCanRecord) {
        if (g_State == Stopped && pMC != NULL) {
            pMC->Run();
            g_State = Playing;
        }
        time_t tNow = time(NULL);
        if (tNow == g_tLastRecordingStart) {
            // At most one recording file a second.
            pSink->Release();
            return S_OK;
        }
        g_tLastRecordingStart = tNow;
        char szStamp[32];
        struct tm *pLocal = localtime(&tNow);
        if (pLocal == NULL || strftime(szStamp, sizeof szStamp, "%Y%m%d_%H%M%S", pLocal) == 0)
            szStamp[0] = '\0';
        char szFile[TEXT_BUFFER_SIZE];
        // An overlong name is cut to 259 characters, as the filter takes no more.
        if (snprintf(szFile, sizeof szFile, "%s\\%s_%s.asf", g_szSaveDirectory, g_szClipName, szStamp) >=
            (int)sizeof szFile)
            szFile[sizeof szFile - 1] = '\0';
        WCHAR wszFile[TEXT_BUFFER_SIZE];
        if (MultiByteToWideChar(CP_ACP, 0, szFile, -1, wszFile, TEXT_BUFFER_SIZE) == 0)
            wszFile[0] = 0;
        hr = pSink->SetFileName(wszFile, NULL);
        if (SUCCEEDED(hr)) {
            g_bRecording = true;
            InvalidateControlBar();
        }
    }
    pSink->Release();
    return hr;
}

HRESULT ToggleMute()
{
    g_lVolume = g_lVolume != VOLUME_FULL ? VOLUME_FULL : VOLUME_MUTED;
    InvalidateControlBar();
    HRESULT hr = S_OK;
    if (pGB != NULL && pBA != NULL) {
        LONG lVolume = 0;
        hr = pBA->get_Volume(&lVolume);
        if (hr == E_NOTIMPL)
            return S_OK;
        if (FAILED(hr)) {
            ReportError("Failed to read audio volume!  hr=0x%x\r\n", hr);
            return hr;
        }
        hr = pBA->put_Volume(g_lVolume);
        if (FAILED(hr))
            ReportError("FAILED(hr=0x%x) in pBA->put_Volume(g_lVolume)\n", hr);
    }
    return hr;
}

HRESULT SetVideoSize(int nNumerator, int nDenominator)
{
    if (pWC == NULL)
        return S_OK;
    RECT rcSource, rcDest;
    HRESULT hr = pWC->GetVideoPosition(&rcSource, &rcDest);
    // Without a position the rectangles mean nothing: no resize.
    if (hr == E_NOINTERFACE || FAILED(hr))
        return hr == E_NOINTERFACE ? S_OK : hr;
    EnablePlaybackMenuItems(true, true);
    int nWidth = (rcSource.right - rcSource.left) * nNumerator / nDenominator + 2 * GetSystemMetrics(SM_CXBORDER);
    int nHeight = (rcSource.bottom - rcSource.top) * nNumerator / nDenominator + GetSystemMetrics(SM_CYMENU) +
                  2 * GetSystemMetrics(SM_CYBORDER) + CONTROL_BAR_HEIGHT + GetSystemMetrics(SM_CYCAPTION);
    SetWindowPos(g_hWndApp, NULL, 0, 0, nWidth, nHeight, SWP_NOMOVE | SWP_NOOWNERZORDER);
    return hr;
}

HRESULT HandleGraphEvents()
{
    if (pME == NULL)
        return S_OK;
    HRESULT hr = S_OK;
    LONG lCode;
    LONG_PTR lParam1, lParam2;
    while (SUCCEEDED(pME->GetEvent(&lCode, &lParam1, &lParam2, 0))) {
        hr = pME->FreeEventParams(lCode, lParam1, lParam2);
        switch (lCode) {
        case EC_KESTRIN_PROFILE_SET:
            g_bCanRecord = true;
            InvalidateControlBar();
            break;
        case EC_KESTRIN_STREAM_SECONDS:
            g_nStreamSeconds = (LONG)lParam1;
            InvalidateControlBar();
            break;
        case EC_COMPLETE:
            if (g_bRecording)
                ToggleRecording();
            break;
        default:
            break;
        }
    }
    return hr;
}
