// The update engine: the manifest files.ini, the HTTP exchange with the update
// server, the update check, the download-size computation, the download of one
// file with resumption, and MD5 digests.
#ifndef TARNWICK_UPDATER_H
#define TARNWICK_UPDATER_H

#include <atomic>
#include <stdio.h>
#include <windows.h>

// Results of CheckForUpdates.
#define CHECK_UPDATE_DUE 1         // newer manifest stored, or a local file missing or damaged
#define CHECK_CURRENT 0            // everything is current
#define CHECK_NO_MANIFEST (-2)     // files.ini missing (or unreadable); nothing was sent
#define CHECK_WINSOCK (-3)         // Winsock could not be started
#define CHECK_SOCKET (-4)          // no socket could be created
#define CHECK_CONNECT (-5)         // the connection to the update server failed
#define CHECK_RECV_COUNT (-6)      // a receive returned a count outside -1 to 1024
#define CHECK_RECV_FAILED (-7)     // a receive failed
#define CHECK_NOT_OK (-8)          // HTTP/1.1 but not "200 OK", or no usable update answer
#define CHECK_NOT_HTTP (-9)        // the response does not begin with "HTTP/1.1"

// Result of ComputeDownloadSize besides the byte count.
#define SIZE_LAUNCHER_OUTDATED (-10) // the launcher itself is out of date

// Results of DownloadFile and of the download as a whole.
#define DOWNLOAD_DONE 0
#define DOWNLOAD_RECV_FAILED (-11)
#define DOWNLOAD_WINSOCK (-12)
#define DOWNLOAD_SOCKET (-13)
#define DOWNLOAD_CONNECT (-14)
#define DOWNLOAD_RECV_COUNT (-15)
#define DOWNLOAD_BAD_STATUS (-16)  // not the expected status line; also a manifest entry
                                   // naming something other than a plain file
#define DOWNLOAD_CANCELLED (-17)
#define DOWNLOAD_BAD_DIGEST (-18)  // a downloaded file's digest differs
#define DOWNLOAD_BAD_SIZE (-19)    // a downloaded file's size differs, or it has no
                                   // temporary file to be downloaded into

#define VERSION_TEXT_SIZE 64

// The launcher's module instance, set at start-up; its module file carries the
// version block whose ProductName and FileVersion the requests report.
extern HINSTANCE g_hInstance;
// The start-up dialog, whose status text and progress bar the engine drives.
extern HWND g_hDlgStartup;
// Set to 1 by the dialog's Cancel button, polled by DownloadFile after each receive.
extern std::atomic<char> g_cCancel;

// Checks the update server for a newer manifest and, when the local manifest is
// current, the local files against it. Returns a CHECK_ code.
int CheckForUpdates();

// Returns SIZE_LAUNCHER_OUTDATED, DOWNLOAD_BAD_STATUS for a manifest naming
// something other than a plain file, DOWNLOAD_BAD_SIZE when a temporary file
// cannot be created, or the number of bytes still to fetch.
// Creates missing temporary files and installs complete, verified ones.
int ComputeDownloadSize();

// Fetches the remote file Name.Version into the temporary path, from the offset
// on. Returns DOWNLOAD_DONE or a failure code (-11 to -17).
int DownloadFile(const char *pszRemoteName, const char *pszTempPath, int nSize, int nOffset);

// Copies FileVersion and ProductName of the file's version block (at most 63
// characters each); returns the size of its version information, 0 when it has
// none, in which case both buffers are left as they are.
DWORD GetVersionStrings(const char *pszPath, char *pszFileVersion, char *pszProductName);

// Hashes the open file to its end, closes it, and returns the digest as 32
// lower-case hexadecimal digits in a process-wide buffer that the next call
// overwrites (empty when hashing failed).
const char *Md5HexOfFile(FILE *pFile);

#endif
