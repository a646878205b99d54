// The C runtime's path-taking calls, redirected to versions that accept both
// separators ("/home/ann/dir\files.ini"), as every file-system entry point here does.
//
// The standard names become macros for the tw_ functions. The standard header is
// included first so that its declarations keep their own names; in C++ that is
// <cstdio>, whose #undef of the C names must happen before the macros are defined
// (a later #include <cstdio> is then a no-op), and the tw_ functions are also
// brought into namespace std, so std::fopen works whichever header comes first.
// remove() is redirected only when called with one argument, leaving the
// three-argument std::remove algorithm alone.
//
// Platform code defines TW_NO_CRT_REDIRECTS: it converts paths itself, and
// libraries it includes (Qt's QFile::remove, std::filesystem::rename) must keep
// their names.
#pragma once
#ifdef __cplusplus
#include <cstdio>
#else
#include <stdio.h>
#endif

#ifdef __cplusplus
extern "C" {
#endif
FILE *tw_fopen(const char *path, const char *mode);
FILE *tw_freopen(const char *path, const char *mode, FILE *stream);
int tw_remove(const char *path);
int tw_rename(const char *oldpath, const char *newpath);
#ifdef __cplusplus
}
namespace std {
using ::tw_fopen;
using ::tw_freopen;
using ::tw_remove;
using ::tw_rename;
}
#endif

#ifndef TW_NO_CRT_REDIRECTS
#define TW_CRT_CAT_(a, b) a##b
#define TW_CRT_CAT(a, b) TW_CRT_CAT_(a, b)
#define TW_CRT_ARITY_(_1, _2, _3, _4, _5, n, ...) n
#define TW_CRT_ARITY(...) TW_CRT_ARITY_(__VA_ARGS__, N, N, N, N, 1, 0)
#define TW_CRT_REMOVE_1(path) tw_remove(path)
#define TW_CRT_REMOVE_N(...) remove(__VA_ARGS__)

#define fopen tw_fopen
#define freopen tw_freopen
#define rename tw_rename
#define remove(...) TW_CRT_CAT(TW_CRT_REMOVE_, TW_CRT_ARITY(__VA_ARGS__))(__VA_ARGS__)
#endif
