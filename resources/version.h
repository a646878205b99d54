// The release version in the resource scripts. The build hands it to the resource
// compiler twice: TW_VERSION_COMMAS (1,0,0,1) for the fixed part of a version block
// and TW_VERSION_DOTS (1.0.0.1, one preprocessor number) from which the text form is
// made here, so that no quoted define has to pass through the compiler's command line.
#pragma once

#define TW_STRINGIZE_(x) #x
#define TW_STRINGIZE(x) TW_STRINGIZE_(x)
#define TW_VERSION_TEXT TW_STRINGIZE(TW_VERSION_DOTS)
