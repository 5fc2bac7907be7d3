#pragma once

// Finding the movie and sound parts of a package that may be re-encoded, and putting a re-encoded
// file in place of one with every relationship following it.

#include "automation/EmbeddedMedia.h"
#include "office/package/Package.h"

#include <string>
#include <vector>

namespace office::media {

// Parts reached only through video, audio and media (p14) relationships whose ids only the media
// elements use (a:videoFile, a:audioFile, p14:media). A part that any other relationship or element
// reaches (a:wavAudioFile, a:snd, p:sndTgt, an OLE package...) is left out, as are external targets.
std::vector<automation::EmbeddedMediaPart> FindTranscodableMedia(const package::Package& pkg);

// Content type for a media extension ("mp4" -> "video/mp4"); application/octet-stream when unknown.
std::string MediaContentType(const std::string& extension);

// Replaces the part's bytes. With another extension the bytes go to a new part named like the old one
// ("/ppt/media/media3.mkv" -> "/ppt/media/mediaN.mp4"), every relationship to the old part is pointed
// at it and the old part is removed (its content-type override with it). Returns the new name.
std::string ReplaceMediaPart(package::Package& pkg, const std::string& partName, package::Bytes bytes,
                             const std::string& newExtension);

} // namespace office::media
