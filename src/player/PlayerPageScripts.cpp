// SPDX-License-Identifier: GPL-3.0-or-later

#include "player/PlayerPageScripts.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <nlohmann/json.hpp>
#include <string>

#include "media/MediaHosts.h"
#include "media/ResumePoint.h"

namespace orvel::PlayerPageScripts {

namespace {

std::string youTubeHostArray() {
  std::string array = "[";
  for (std::string_view host : MediaHosts::kYouTubeHosts) {
    if (array.size() > 1) {
      array += ", ";
    }
    array += jsString(host);
  }
  return array + "]";
}

// The report routine and its triggers. The host constants are filled in from the media hosts so
// the page and the resolver agree on what counts as YouTube and Disney+.
constexpr std::string_view kProgressScriptBody = R"JS(
  var handlers = window.webkit && window.webkit.messageHandlers;
  if (!handlers || !handlers.videoProgress) { return; }
  var host = (location.hostname || '').toLowerCase();
  var onYouTube = youTubeHosts.some(function (h) { return host === h || host.endsWith('.' + h); });
  var youTubeInHost = youTubeHosts.some(function (h) { return host.indexOf(h) >= 0; });
  var onDisney = host === disneyDomain || host.endsWith('.' + disneyDomain);
  function pathExtension() {
    var path = location.pathname || '';
    var dot = path.lastIndexOf('.');
    return dot < 0 ? '' : path.slice(dot + 1).toLowerCase();
  }
  var extension = pathExtension();
  var isFilePage = extension === 'mp4' || extension === 'webm';
  // A local file may be shown through a link of another name; the player knows it by its own.
  var pageURL = location.protocol === 'file:' && typeof window.nativeSourceURL === 'string' &&
      window.nativeSourceURL.indexOf('file:') === 0 ? window.nativeSourceURL : location.href;
  function post(channel, body) {
    try { if (handlers[channel]) { handlers[channel].postMessage(body); } } catch (e) {}
  }
  window.nativeVideoZoom = 1;
  window.setNativeVideoZoom = function (value) {
    if (onYouTube) { return; }
    var zoom = Number(value);
    if (isNaN(zoom)) { zoom = 1; }
    zoom = Math.min(3, Math.max(1, zoom));
    window.nativeVideoZoom = zoom;
    if (document.documentElement) { document.documentElement.style.background = '#000'; }
    if (document.body) { document.body.style.background = '#000'; }
    var videos = document.querySelectorAll('video');
    for (var i = 0; i < videos.length; i++) {
      videos[i].style.background = '#000';
      videos[i].style.transformOrigin = 'center center';
      videos[i].style.transform = 'scale(' + zoom + ')';
    }
  };
  function mediaID() {
    if (youTubeInHost) {
      var v = new URLSearchParams(location.search).get('v');
      if (v) { return v; }
      var segments = (location.pathname || '').split('/').filter(function (s) { return s.length > 0; });
      return segments.length ? segments[segments.length - 1] : '';
    }
    if (onDisney) { return 'disneyplus:' + (location.pathname || '/'); }
    if (isFilePage) { return extension + ':' + pageURL; }
    return '';
  }
  function report() {
    var video = document.querySelector('video');
    if (!video) { return; }
    if (video.error) {
      var code = video.error.code;
      if (code !== 1 && video.nativeReportedError !== code) {
        video.nativeReportedError = code;
        post('playerBridge', {event: 'mediaError', code: code,
                              sourceURL: window.nativeSourceURL || location.href});
      }
      return;
    }
    video.nativeReportedError = undefined;
    if (video.readyState < 1) { return; }
    if (window.nativeResumeTime > 0) {
      // The length the engine read decides whether the video was watched to its end, whatever
      // the store knew of it.
      var start = window.nativeResumeTime;
      if (isFinite(video.duration) && start >= video.duration - finishedMargin) { start = 0; }
      if (start > 0) { video.currentTime = start; }
      window.nativeResumeTime = 0;
    }
    if (isFilePage) {
      video.classList.remove('media-document', 'audio');
      if (!video.nativePrepared) {
        video.nativePrepared = true;
        video.controls = false;
        video.setAttribute('style', 'position:fixed;inset:0;width:100vw;height:100vh;max-width:none;max-height:none;margin:0;object-fit:contain');
        video.addEventListener('ended', function () {
          if (!video.error) { post('playerBridge', {event: 'mediaEnded', sourceURL: pageURL}); }
        });
      }
    }
    window.setNativeVideoZoom(window.nativeVideoZoom);
    var rate = Number(window.nativePlaybackRate);
    if (rate > 0 && isFinite(rate) && video.playbackRate !== rate) {
      video.preservesPitch = true;
      video.playbackRate = rate;
    }
    var id = mediaID();
    if (!id) { return; }
    var heading = document.querySelector('ytd-watch-metadata h1 yt-formatted-string');
    var title = heading && heading.textContent && heading.textContent.trim() ? heading.textContent : document.title;
    title = (title || '').trim();
    var time = Number(video.currentTime);
    if (isNaN(time)) { time = 0; }
    post('videoProgress', {videoId: id, currentTime: time, title: title});
    if (/^(mp4|webm|disneyplus):/.test(id)) {
      var duration = isFinite(video.duration) ? video.duration : 0;
      var state = video.ended ? 0 : (video.paused ? 2 : 1);
      post('playerBridge', {event: 'mediaTime', videoId: id, currentTime: time, duration: duration,
                            state: state, title: title});
    }
  }
  window.nativePostPlaybackProgress = report;
  report();
  setInterval(report, 1000);
  var present = document.querySelector('video');
  if (present) {
    ['error', 'loadedmetadata', 'pause', 'seeking', 'seeked', 'ended'].forEach(function (name) {
      present.addEventListener(name, report);
    });
  }
  document.addEventListener('visibilitychange', report);
  ['pagehide', 'beforeunload', 'yt-navigate-start', 'yt-navigate-finish'].forEach(function (name) {
    window.addEventListener(name, report);
  });
  if (isFilePage && window.MutationObserver && document.documentElement) {
    new MutationObserver(report).observe(document.documentElement, {childList: true, subtree: true});
  }
)JS";

}  // namespace

const std::string& styleScript() {
  static const std::string source =
      "var style = document.createElement('style');\nstyle.textContent = `"
      "::-webkit-scrollbar { display: none !important; }\n"
      "html, body { overflow: hidden !important; margin: 0 !important; background: #000 "
      "!important; }\n"
      ".ytp-subtitles-button { display: none !important; }"
      "`;\ndocument.head.appendChild(style);";
  return source;
}

const std::string& keySystemScript() {
  // A page may try several key systems in turn; only when none was granted a moment after a
  // refusal is the refusal told, once per page. An engine built without protected playback at
  // all answers every request with the same refusal.
  static const std::string source = R"JS((function () {
  var handlers = window.webkit && window.webkit.messageHandlers;
  if (!handlers || !handlers.playerBridge || !window.navigator) { return; }
  var granted = false;
  var told = false;
  function refused(keySystem) {
    window.setTimeout(function () {
      if (granted || told) { return; }
      told = true;
      try {
        handlers.playerBridge.postMessage({event: 'keySystemUnavailable',
                                           keySystem: String(keySystem).slice(0, 100)});
      } catch (e) {}
    }, 2000);
  }
  var original = navigator.requestMediaKeySystemAccess;
  navigator.requestMediaKeySystemAccess = function (keySystem) {
    if (typeof original !== 'function') {
      refused(keySystem);
      return Promise.reject(new DOMException('Unsupported keySystem or supportedConfigurations.',
                                             'NotSupportedError'));
    }
    var asked = original.apply(navigator, arguments);
    asked.then(function () { granted = true; }, function () { refused(keySystem); });
    return asked;
  };
})();
)JS";
  return source;
}

const std::string& progressScript() {
  static const std::string source =
      "(function () {\n  var youTubeHosts = " + youTubeHostArray() +
      ";\n  var disneyDomain = " + jsString(MediaHosts::kDisneyPlusDomain) +
      ";\n  var finishedMargin = " + jsNumber(ResumePoint::kFinishedMargin) + ";" +
      std::string(kProgressScriptBody) + "})();\n";
  return source;
}

std::string resumeScript(double startTime, std::string_view sourceURL) {
  std::string source;
  try {
    source = nlohmann::json(std::string(sourceURL)).dump();
  } catch (const nlohmann::json::exception&) {
    source = "null";
  }
  const double start = std::isfinite(startTime) && startTime > 0 ? startTime : 0;
  return std::string(kResumeScriptPrefix) + jsNumber(start) +
         "; window.nativeSourceURL = " + source + ";";
}

std::string jsString(std::string_view text) {
  try {
    std::string array = nlohmann::json::array({std::string(text)}).dump();
    return array.substr(1, array.size() - 2);
  } catch (const nlohmann::json::exception&) {
    return "\"\"";
  }
}

std::string jsNumber(double value) {
  if (!std::isfinite(value)) {
    return "0.0";
  }
  // The shortest text that reads back as the same number, with a point whatever the user's
  // locale: a decimal comma would make "seek(12,5)" two arguments.
  char buffer[64];
  const auto written = std::to_chars(buffer, buffer + sizeof buffer, value);
  std::string text(buffer, written.ptr);
  if (text.find_first_of(".eEn") == std::string::npos) {
    text += ".0";
  }
  return text;
}

}  // namespace orvel::PlayerPageScripts
