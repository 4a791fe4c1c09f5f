// The headers of a course's pictures, sounds and clips, read without decoding the media: what
// the player would fail on, and a picture's size.
#pragma once

#include <string>

namespace check {

enum class Media { kPicture, kSound, kClip };

// Why the file at native_path is not a valid picture (BMP), sound (WAV) or clip (AVI); "" when
// its header is sound.
std::string MediaProblem(const std::string& native_path, Media kind);
// The width and height of a BMP; false when its header cannot be read.
bool BitmapSize(const std::string& native_path, int& width, int& height);

}  // namespace check
