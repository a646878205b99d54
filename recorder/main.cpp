// The recorder library's entry: the application state, Main with its message
// loop, the main window procedure, the timer tick and the menu-state routines.
#include "recorder.h"
#include "settings.h"

#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

HINSTANCE g_hInstance = NULL;
HINSTANCE g_hLauncherInstance = NULL;
HWND g_hWndApp = NULL;
HMENU g_hMenu = NULL;
PlayerState g_State = NoClip;
char g_szURL[TEXT_BUFFER_SIZE] = "";
char g_szClipName[TEXT_BUFFER_SIZE] = "";
char g_szClipTitle[TEXT_BUFFER_SIZE] = "";
char g_szSaveDirectory[TEXT_BUFFER_SIZE] = "";
char g_szAutoUpdate[TEXT_BUFFER_SIZE] = "";
LONG g_lVolume = VOLUME_FULL;
bool g_bRecording = false;
bool g_bCanRecord = false;
LONG g_nStreamSeconds = 0;
LONG g_nBufferingProgress = 0;
LONG g_nReceptionQuality = 0;
LONG g_nShownBufferingProgress = 0;
LONG g_nShownReceptionQuality = 0;
bool g_bBlink = false;
bool g_bNoVideo = false;
ULONGLONG g_qwDuration = 0;
time_t g_tLastRecordingStart = 0;
DWORD g_dwRotCookie = 0;

IGraphBuilder *pGB = NULL;
IMediaControl *pMC = NULL;
IMediaEventEx *pME = NULL;
IMediaSeeking *pMS = NULL;
IMediaPosition *pMP = NULL;
IBasicVideo *pBV = NULL;
IBasicAudio *pBA = NULL;
IBaseFilter *pSourceFilter = NULL;
IAMNetworkStatus *pNS = NULL;
IBaseFilter *pITVideo = NULL;
IBaseFilter *pITAudio = NULL;
IBaseFilter *pKestrin = NULL;
IBaseFilter *pVR = NULL;
IVMRWindowlessControl9 *pWC = NULL;
IVMRMixerBitmap9 *pBMP = NULL;
IWMProfile *pProfile = NULL;

// The four size items, in the order they are checked and unchecked.
static const UINT g_uSizeItems[] = {ID_SIZE_HALF, ID_SIZE_DOUBLE, ID_SIZE_NORMAL, ID_SIZE_THREEQUARTER};
// The items that need a clip.
static const UINT g_uPlayItems[] = {ID_CONTROL_PLAYPAUSE, ID_CONTROL_STOP, ID_CONTROL_RECORD, ID_CONTROL_RESTART};

EXTERN_C BOOL WINAPI DllMain(HINSTANCE hInstance, DWORD dwReason, LPVOID pReserved)
{
    (void)pReserved;
    if (dwReason == DLL_PROCESS_ATTACH)
        g_hInstance = hInstance;
    return TRUE;
}

void ReportError(const char *pszFormat, ...)
{
    char szText[1024];
    va_list args;
    va_start(args, pszFormat);
    // At most 1022 characters and the terminator.
    vsnprintf(szText, sizeof szText - 1, pszFormat, args);
    va_end(args);
    MessageBoxA(NULL, szText, "TarnwickDll", MB_OK);
}

void CheckSizeMenuItem(UINT uCommand)
{
    for (UINT uItem : g_uSizeItems)
        CheckMenuItem(g_hMenu, uItem, MF_BYCOMMAND | (uItem == uCommand ? MF_CHECKED : MF_UNCHECKED));
}

void EnablePlaybackMenuItems(bool bPlayItems, bool bSizeItems)
{
    for (UINT uItem : g_uPlayItems)
        EnableMenuItem(g_hMenu, uItem, MF_BYCOMMAND | (bPlayItems ? MF_ENABLED : MF_GRAYED));
    for (UINT uItem : g_uSizeItems)
        EnableMenuItem(g_hMenu, uItem, MF_BYCOMMAND | (bSizeItems ? MF_ENABLED : MF_GRAYED));
}

HRESULT InitPlayerWindow()
{
    SetWindowPos(g_hWndApp, NULL, 0, 0, 240, 120, SWP_NOMOVE | SWP_NOOWNERZORDER);
    CheckSizeMenuItem(ID_SIZE_NORMAL);
    EnablePlaybackMenuItems(false, false);
    return S_OK;
}

void DeriveClipName()
{
    // The last segment of the URL; a URL without '/' is a segment as a whole.
    const char *pszSegment = strrchr(g_szURL, '/');
    pszSegment = pszSegment != NULL ? pszSegment + 1 : g_szURL;
    size_t cch = strcspn(pszSegment, "\\/:*?\"<>|");
    if (cch > TEXT_BUFFER_SIZE - 1)
        cch = TEXT_BUFFER_SIZE - 1;
    memcpy(g_szClipName, pszSegment, cch);
    g_szClipName[cch] = '\0';
}

// Network figures, the blinking label, the overlay.
static void OnTimerTick()
{
    if (pNS != NULL) {
        LONG lProgress = 0, lQuality = 0;
        pNS->get_BufferingProgress(&lProgress);
        pNS->get_ReceptionQuality(&lQuality);
        g_nBufferingProgress = lProgress;
        g_nReceptionQuality = lQuality;
        if (g_nBufferingProgress != g_nShownBufferingProgress || g_nReceptionQuality != g_nShownReceptionQuality) {
            InvalidateControlBar();
            g_nShownBufferingProgress = g_nBufferingProgress;
            g_nShownReceptionQuality = g_nReceptionQuality;
        }
    }
    g_bBlink = !g_bBlink;
    UpdateRecordingOverlay();
}

static void StopRecordingIfOn()
{
    if (g_bRecording)
        ToggleRecording();
}

static void OnCommand(WPARAM wParam)
{
    switch (wParam) {
    case ID_FILE_OPENURL:
        if (g_State != Loading) {
            StopRecordingIfOn();
            CloseClip();
        }
        if (DialogBoxParamA(g_hInstance, MAKEINTRESOURCEA(IDD_ENTERURL), g_hWndApp, UrlDlgProc, 0))
            PlayClip();
        break;
    case ID_FILE_CLOSE:
        StopRecordingIfOn();
        CloseClip();
        break;
    case ID_FILE_EXIT:
        StopRecordingIfOn();
        CloseClip();
        PostQuitMessage(0);
        break;
    case ID_CONTROL_PLAYPAUSE:
        if (g_State == Playing)
            PauseClip();
        else if (g_State != NoClip && g_State != Loading)
            PlayClip();
        break;
    case ID_CONTROL_STOP:
        StopClip();
        break;
    case ID_CONTROL_RESTART:
        RestartClip();
        break;
    case ID_CONTROL_RECORD:
        ToggleRecording();
        break;
    case ID_CONTROL_MUTE:
        ToggleMute();
        break;
    case ID_SIZE_HALF:
        SetVideoSize(1, 2);
        CheckSizeMenuItem(ID_SIZE_HALF);
        break;
    case ID_SIZE_THREEQUARTER:
        SetVideoSize(3, 4);
        CheckSizeMenuItem(ID_SIZE_THREEQUARTER);
        break;
    case ID_SIZE_NORMAL:
        SetVideoSize(1, 1);
        CheckSizeMenuItem(ID_SIZE_NORMAL);
        break;
    case ID_SIZE_DOUBLE:
        SetVideoSize(2, 1);
        CheckSizeMenuItem(ID_SIZE_DOUBLE);
        break;
    case ID_EXTRA_OPTIONS:
        DialogBoxParamA(g_hInstance, MAKEINTRESOURCEA(IDD_OPTIONS), g_hWndApp, OptionsDlgProc, 0);
        break;
    case ID_HELP_ABOUT:
        DialogBoxParamA(g_hInstance, MAKEINTRESOURCEA(IDD_ABOUT), g_hWndApp, AboutDlgProc, 0);
        break;
    default:
        break;
    }
}

// The shortcut keys: virtual-key codes alone, Shift and Ctrl are not looked at.
static void OnKeyDown(WPARAM wKey)
{
    switch (wKey) {
    case 'U': OnCommand(ID_FILE_OPENURL); break;
    case 'C': OnCommand(ID_FILE_CLOSE); break;
    case 'Q':
    case VK_F12: OnCommand(ID_FILE_EXIT); break;
    case 'P': OnCommand(ID_CONTROL_PLAYPAUSE); break;
    case 'S': OnCommand(ID_CONTROL_STOP); break;
    case VK_F5: OnCommand(ID_CONTROL_RESTART); break;
    case 'R': OnCommand(ID_CONTROL_RECORD); break;
    case 'M': OnCommand(ID_CONTROL_MUTE); break;
    case 'H': OnCommand(ID_SIZE_HALF); break;
    case 'T': OnCommand(ID_SIZE_THREEQUARTER); break;
    case 'N': OnCommand(ID_SIZE_NORMAL); break;
    case 'D': OnCommand(ID_SIZE_DOUBLE); break;
    case 'O': OnCommand(ID_EXTRA_OPTIONS); break;
    case 'A': OnCommand(ID_HELP_ABOUT); break;
    default: break;
    }
}

LRESULT CALLBACK MainWndProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    switch (uMsg) {
    case WM_DESTROY:
        KillTimer(hWnd, TIMER_ID);
        PostQuitMessage(0);
        break;
    case WM_MOVE:
    case WM_SIZE:
        if (hWnd == g_hWndApp)
            UpdateVideoPosition();
        break;
    case WM_PAINT:
        OnPaint(hWnd);
        break;
    case WM_CLOSE:
        SendMessageA(g_hWndApp, WM_COMMAND, ID_FILE_EXIT, 0);
        break;
    case WM_GETMINMAXINFO: {
        MINMAXINFO *pInfo = (MINMAXINFO *)lParam;
        pInfo->ptMinTrackSize.x = 200;
        pInfo->ptMinTrackSize.y = 120;
        break;
    }
    case WM_KEYDOWN:
        OnKeyDown(wParam);
        break;
    case WM_COMMAND:
        OnCommand(wParam);
        break;
    case WM_TIMER:
        if (wParam == TIMER_ID)
            OnTimerTick();
        return 0;
    case WM_LBUTTONDOWN:
        HitTestControlBar((short)LOWORD(lParam), (short)HIWORD(lParam));
        break;
    case WM_GRAPHNOTIFY:
        HandleGraphEvents();
        break;
    default:
        break;
    }
    return DefWindowProcA(hWnd, uMsg, wParam, lParam);
}

EXTERN_C int WINAPI Main(HINSTANCE hInstance, LPSTR lpCmdLine, int nCmdShow)
{
    (void)nCmdShow;
    g_hLauncherInstance = hInstance;
    g_State = NoClip;
    SeedRecorderSettings(g_szSaveDirectory, g_szAutoUpdate);

    if (FAILED(CoInitialize(NULL))) {
        ReportError("CoInitialize Failed!\r\n");
        exit(1);
    }

    if (lpCmdLine != NULL && lpCmdLine[0] != '\0') {
        lstrcpynA(g_szURL, lpCmdLine, TEXT_BUFFER_SIZE);
        g_State = Ready;
        DeriveClipName();
    }

    WNDCLASSA wc;
    memset(&wc, 0, sizeof wc);
    wc.style = 0;
    wc.lpfnWndProc = MainWndProc;
    wc.hInstance = g_hInstance;
    wc.hIcon = LoadIconA(g_hLauncherInstance, MAKEINTRESOURCEA(IDI_TARNWICK));
    wc.hCursor = LoadCursorA(NULL, IDC_ARROW);
    wc.hbrBackground = (HBRUSH)GetStockObject(BLACK_BRUSH);
    wc.lpszMenuName = MAKEINTRESOURCEA(IDR_MAINMENU);
    wc.lpszClassName = "Tarnwick";
    if (RegisterClassA(&wc) == 0) {
        ReportError("RegisterClass Failed! Error=0x%x\r\n", GetLastError());
        CoUninitialize();
        exit(1);
    }

    g_hWndApp = CreateWindowExA(0, "Tarnwick", "Tarnwick", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, CW_USEDEFAULT,
                                CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, NULL, NULL, g_hInstance, NULL);
    if (g_hWndApp == NULL) {
        ReportError("Failed to create the main window! Error=0x%x\r\n", GetLastError());
        CoUninitialize();
        return 0;
    }
    g_hMenu = GetMenu(g_hWndApp);
    InitPlayerWindow();
    UpdateWindowTitle();
    ShowWindow(g_hWndApp, SW_SHOWNORMAL);
    SetForegroundWindow(g_hWndApp);

    if (g_szURL[0] != '\0') {
        PlayClip();
    } else {
        EnableMenuItem(g_hMenu, ID_FILE_OPENURL, MF_BYCOMMAND | MF_ENABLED);
        EnableMenuItem(g_hMenu, ID_FILE_CLOSE, MF_BYCOMMAND | MF_GRAYED);
        EnableMenuItem(g_hMenu, ID_CONTROL_RESTART, MF_BYCOMMAND | MF_GRAYED);
        g_szSetting[0] = '\0';
        const char *pszLast = ReadSetting(SETTING_LAST_OPENED_URL);
        if (pszLast != NULL && pszLast[0] != '\0') {
            lstrcpynA(g_szURL, pszLast, TEXT_BUFFER_SIZE);
            g_State = Ready;
            UpdateWindowTitle();
            InvalidateControlBar();
        } else {
            PostMessageA(g_hWndApp, WM_COMMAND, ID_FILE_OPENURL, 0);
        }
    }

    SetTimer(g_hWndApp, TIMER_ID, TIMER_PERIOD_MS, NULL);

    MSG msg;
    while (GetMessageA(&msg, NULL, 0, 0)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    CoUninitialize();
    return (int)msg.wParam;
}
