// Text for what graphplay prints: GUIDs, media types, event codes, a graph.
#pragma once
#include <string>

#include <strmif.h>

std::string Narrow(LPCWSTR text);
std::string TypeText(const AM_MEDIA_TYPE &mt);
std::string EventName(LONG code);
// Every filter with its pins and where they are connected, with media types.
void PrintGraph(IFilterGraph *graph);
