// ASX metafiles: the XML-like playlist a web page links to instead of a stream
// (and its older "[Reference]" form with Ref1=, Ref2= lines).
#pragma once
#include <string>
#include <vector>

namespace twwmf {

struct AsxPlaylist {
    std::string title;              // the first TITLE, UTF-8; empty when none
    std::vector<std::string> refs;  // every REF HREF (or RefN=) in document order
};

// Whether the text looks like a metafile (it starts with <ASX or [Reference],
// after white space and a byte-order mark).
bool LooksLikeAsx(const std::string &text);

// Parses a metafile; false when it is not one. Entities &amp; &lt; &gt; &quot;
// &apos; are decoded; tags and attribute names are matched without case.
bool ParseAsx(const std::string &text, AsxPlaylist &out);

// Whether a URL's path names a metafile by its extension (.asx, .wax, .wvx).
bool HasAsxExtension(const std::string &url);

} // namespace twwmf
