// Profiles as XML text, the form IWMProfileManager saves and loads.
//
// <profile version="589824" name="..." description="...">
//   <streamconfig majortype="{GUID}" streamnumber="1" streamname="..." inputname="..."
//                 bitrate="..." bufferwindow="...">
//     <wmmediatype subtype="{GUID}" bfixedsizesamples="0" btemporalcompression="1"
//                  lsamplesize="0" formattype="{GUID}" format="hex bytes of the format block"/>
//   </streamconfig>
// </profile>
#pragma once
#include <string>

#include "profile.h"

namespace twwmf {

HRESULT SaveProfileXml(const ProfileData &data, std::u16string &xml);

// Parses and checks the text; anything malformed is NS_E_INVALID_DATA (or the
// check's own error), and out is left alone.
HRESULT LoadProfileXml(const std::u16string &xml, ProfileData &out);

} // namespace twwmf
