// The recorder's application state and the routines every part of the recorder
// shares. All of it belongs to the window thread: the thread that runs Main.
#ifndef TARNWICK_RECORDER_H
#define TARNWICK_RECORDER_H

#include <windows.h>
#include <control.h>
#include <evcode.h>
#include <qnetwork.h>
#include <strmif.h>
#include <vmr9.h>
#include <wmsdk.h>

#include <time.h>

#include "recorder_ids.h"

// Player states; the numbers are part of the recorder's behaviour.
enum PlayerState {
    NoClip = 0,
    Ready = 1,
    Loading = 2,
    Playing = 3,
    Stopped = 4,
    Paused = 5,
};

// Text buffers of the application state (paths, URLs, titles).
#define TEXT_BUFFER_SIZE 260

// The filter graph notifies the main window with this message.
#define WM_GRAPHNOTIFY (WM_USER + 13)

// The main window's only timer and its period.
#define TIMER_ID 1
#define TIMER_PERIOD_MS 1000

// Height of the control bar along the bottom of the client area.
#define CONTROL_BAR_HEIGHT 28

// Audio volume as the graph's audio control takes it: full and muted.
#define VOLUME_FULL 0
#define VOLUME_MUTED (-10000)

// The network source's statistics interface, named by the recorder itself.
DEFINE_GUID(myIID_IAMNetworkStatus, 0xfa2aa8f3, 0x8b62, 0x11d0, 0xa5, 0x20, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00);

extern HINSTANCE g_hInstance;
extern HINSTANCE g_hLauncherInstance;
extern HWND g_hWndApp;
extern HMENU g_hMenu;
extern PlayerState g_State;
extern char g_szURL[TEXT_BUFFER_SIZE];
extern char g_szClipName[TEXT_BUFFER_SIZE];
extern char g_szClipTitle[TEXT_BUFFER_SIZE];
extern char g_szSaveDirectory[TEXT_BUFFER_SIZE];
extern char g_szAutoUpdate[TEXT_BUFFER_SIZE];
extern LONG g_lVolume;
extern bool g_bRecording;
extern bool g_bCanRecord;
extern LONG g_nStreamSeconds;
extern LONG g_nBufferingProgress;
extern LONG g_nReceptionQuality;
extern LONG g_nShownBufferingProgress;
extern LONG g_nShownReceptionQuality;
extern bool g_bBlink;
extern bool g_bNoVideo;
extern ULONGLONG g_qwDuration;
extern time_t g_tLastRecordingStart;
extern DWORD g_dwRotCookie;

// The playback and tap graph; each holds one reference, all null without a graph.
extern IGraphBuilder *pGB;
extern IMediaControl *pMC;
extern IMediaEventEx *pME;
extern IMediaSeeking *pMS;
extern IMediaPosition *pMP;
extern IBasicVideo *pBV;
extern IBasicAudio *pBA;
extern IBaseFilter *pSourceFilter;
extern IAMNetworkStatus *pNS;
extern IBaseFilter *pITVideo;
extern IBaseFilter *pITAudio;
extern IBaseFilter *pKestrin;
extern IBaseFilter *pVR;
extern IVMRWindowlessControl9 *pWC;
extern IVMRMixerBitmap9 *pBMP;
extern IWMProfile *pProfile;

// The library's error box: printf-style, cut to 1022 characters, captioned
// "TarnwickDll", no owner.
void ReportError(const char *pszFormat, ...);

// Main window.
LRESULT CALLBACK MainWndProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam);
HRESULT InitPlayerWindow();
void CheckSizeMenuItem(UINT uCommand);
void EnablePlaybackMenuItems(bool bPlayItems, bool bSizeItems);
void DeriveClipName();

// Dialogs.
INT_PTR CALLBACK UrlDlgProc(HWND hDlg, UINT uMsg, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK AboutDlgProc(HWND hDlg, UINT uMsg, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK OptionsDlgProc(HWND hDlg, UINT uMsg, WPARAM wParam, LPARAM lParam);

// The graph.
HRESULT OpenClip(const char *pszURL);
HRESULT ConfigureVideoRenderer();
HRESULT AddGraphToRot();
void ReleaseGraph();

// Playback and recording control.
void PlayClip();
void PauseClip();
void StopClip();
void CloseClip();
void RestartClip();
HRESULT ToggleRecording();
HRESULT ToggleMute();
HRESULT SetVideoSize(int nNumerator, int nDenominator);
void UpdateWindowTitle();
HRESULT HandleGraphEvents();

// Painting and the control bar.
void OnPaint(HWND hWnd);
void PaintControlBar(HDC hdc);
void InvalidateControlBar();
void UpdateVideoPosition();
HRESULT UpdateRecordingOverlay();
void HitTestControlBar(int x, int y);

#endif
