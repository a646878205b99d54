#include "startup.h"

#include <cstdio>
#include <cstring>
#include <ctime>

#include "contact.h"
#include "settings.h"
#include "startup_dialog.h"
#include "textutil.h"
#include "updater.h"

HINSTANCE g_hInstance;

namespace {

#define TRY_AGAIN " try again later or mail " CONTACT_ADDRESS
#define NOT_ALL_FILES_TEXT "Download finished but not all files are present!," TRY_AGAIN
#define NO_MANIFEST_TEXT "Version information file 'files.ini' not found," TRY_AGAIN
#define CHECK_FAILED_TEXT "Failed to get update information for this program," TRY_AGAIN
#define NEW_VERSION_TEXT "A new version is avalaible at " INSTALLER_URL
#define DOWNLOAD_FAILED_TEXT "Failed to download the update for this program," TRY_AGAIN

void ShowError(const char *pszText)
{
    MessageBoxA(NULL, pszText, LAUNCHER_CAPTION, MB_ICONERROR | MB_OK);
}

} // namespace

bool UpdateCheckDue()
{
    std::strcpy(g_szSetting, POLICY_EVERY_START);
    ReadSetting(SETTING_AUTO_UPDATE);
    if (StartsWithNoCase(g_szSetting, "Eve")) {
        WriteSetting(POLICY_EVERY_START, SETTING_AUTO_UPDATE);
        return true;
    }
    if (StartsWithNoCase(g_szSetting, "Nex")) {
        // This start checks; later ones do not, whatever the check brings.
        WriteSetting(POLICY_NEVER, SETTING_AUTO_UPDATE);
        return true;
    }
    if (StartsWithNoCase(g_szSetting, "Fir")) {
        ReadSetting(SETTING_UPDATE_CHECKED_ON);
        char szToday[16] = "";
        std::time_t now = std::time(NULL);
        if (const std::tm *pLocal = std::localtime(&now))
            std::strftime(szToday, sizeof szToday, "%Y%m%d", pLocal);
        if (DecimalToInt(g_szSetting) == DecimalToInt(szToday))
            return false;
        // Recorded before the check runs, so a failed check is not repeated today.
        WriteSetting(szToday, SETTING_UPDATE_CHECKED_ON);
        return true;
    }
    return false;
}

bool ActOnStartupResult(INT_PTR nResult, int *pnExitCode)
{
    if (nResult == STARTUP_DOWNLOADED) {
        // Everything must be in place now.
        if (ComputeDownloadSize() == 0)
            return true;
        ShowError(NOT_ALL_FILES_TEXT);
        *pnExitCode = EXIT_NOT_ALL_FILES;
        return false;
    }
    if (nResult == CHECK_NO_MANIFEST) {
        ShowError(NO_MANIFEST_TEXT);
    } else if (nResult <= CHECK_WINSOCK && nResult >= CHECK_NOT_HTTP) {
        ShowError(CHECK_FAILED_TEXT);
    } else if (nResult == SIZE_LAUNCHER_OUTDATED) {
        ShowError(NEW_VERSION_TEXT);
    } else if (nResult <= DOWNLOAD_RECV_FAILED && nResult >= DOWNLOAD_BAD_SIZE) {
        ShowError(DOWNLOAD_FAILED_TEXT);
    } else {
        // Nothing to update, the download cancelled, or a result no part produces
        // (the dialog could not be shown): the recorder starts.
        if (nResult != STARTUP_NOTHING_TO_DO)
            std::fprintf(stderr, "Start-up dialog ended with %ld; starting the recorder\n", static_cast<long>(nResult));
        return true;
    }
    *pnExitCode = static_cast<int>(nResult);
    return false;
}

int StartRecorder(HINSTANCE hInstance, LPSTR lpCmdLine, int nCmdShow)
{
    HMODULE hRecorder = LoadLibraryA(RECORDER_LIBRARY);
    if (!hRecorder)
        return EXIT_NO_RECORDER;
    // Through the generic function type, the way an export of unknown type is converted.
    RECORDER_MAIN pMain =
        reinterpret_cast<RECORDER_MAIN>(reinterpret_cast<void (*)()>(GetProcAddress(hRecorder, RECORDER_ENTRY)));
    if (!pMain) {
        FreeLibrary(hRecorder);
        return EXIT_NO_MAIN;
    }
    // The recorder runs on this thread until its message loop ends; the library
    // stays loaded to the end of the process.
    return pMain(hInstance, lpCmdLine, nCmdShow);
}
