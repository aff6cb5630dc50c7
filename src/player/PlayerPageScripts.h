// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <string>
#include <string_view>

namespace orvel::PlayerPageScripts {

// The origin the player page is loaded under: neither a YouTube host, Disney+ nor a video file,
// so the progress script treats the page as none of them.
inline constexpr std::string_view kPlayerPageBaseURL = "https://orvel-player.invalid/";

// Every resume script begins with this text, so a new one can replace the old.
inline constexpr std::string_view kResumeScriptPrefix = "window.nativeResumeTime = ";

// Hides scroll bars and YouTube's subtitle button; injected at document end into every frame.
const std::string& styleScript();

// Reports the playing video's position and state to the native side; injected at document end
// into the main frame of every page.
const std::string& progressScript();

// Tells the native side when a page asks for a key system of protected playback (DRM) and the web
// engine refuses it, unless the page finds another that the engine grants; injected at document
// start into the main frame of every page, before the page's own scripts.
const std::string& keySystemScript();

// Hands a start position and the source URL to the progress script of the next page.
std::string resumeScript(double startTime, std::string_view sourceURL);

// A JavaScript string literal holding the text.
std::string jsString(std::string_view text);

// A number as a JavaScript literal that always shows a decimal part ("42.0"), so page code reads
// it as the seconds it is; non-finite values become 0.0.
std::string jsNumber(double value);

}  // namespace orvel::PlayerPageScripts
