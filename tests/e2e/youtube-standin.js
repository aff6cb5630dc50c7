// SPDX-License-Identifier: GPL-3.0-or-later

// A local stand-in for the part of YouTube's IFrame embed API that resources/player.html uses, so
// that the page can be driven in the real web engine without a network. Injected as a
// document-start user script; it defines window.YT before the page's own script runs.
//
// A test configures it through window.__standin, read at each use, so a config script may come
// before or after this one:
//   videos:       { videoId: mediaURL }        what each ID plays
//   titles:       { videoId: title }           optional; "Stand-in <id>" otherwise
//   playlists:    { listId: [videoId, ...] }
//   errorFor:     { videoId: errorCode }       loading that ID raises onError with the code
//   neverReady:   true                         the player never fires onReady
//   readyDelayMs: number                       delay before onReady (50 by default)
//   deferApi:     true                         YT appears only when the document has been parsed,
//                                              as with YouTube's own loader, so the page must
//                                              wait for onYouTubeIframeAPIReady
(function () {
  'use strict';

  if (window.YT && typeof window.YT.Player === 'function') {
    return;
  }

  var State = { UNSTARTED: -1, ENDED: 0, PLAYING: 1, PAUSED: 2, BUFFERING: 3, CUED: 5 };
  // YouTube's answer for an ID it does not know.
  var NOT_FOUND = 100;
  // YouTube's answer when the HTML5 player fails to play the media.
  var HTML5_ERROR = 5;

  function config() {
    return window.__standin || {};
  }

  function lookup(table, key) {
    var map = config()[table];
    return map && Object.prototype.hasOwnProperty.call(map, key) ? map[key] : undefined;
  }

  function later(fn) {
    window.setTimeout(fn, 0);
  }

  // WebKitGTK's media player opens only network, file and blob URLs, and an https page may not
  // read file:// at all; so the media are fetched (from the harness's own scheme) and played from
  // a blob. Each URL is fetched once per page.
  var blobs = {};
  function mediaSource(url) {
    if (/^(blob|data):/.test(url)) {
      return Promise.resolve(url);
    }
    if (!blobs[url]) {
      blobs[url] = window.fetch(url).then(function (response) {
        if (!response.ok) {
          throw new Error('HTTP ' + response.status);
        }
        return response.blob();
      }).then(function (blob) {
        return URL.createObjectURL(blob);
      });
      blobs[url].catch(function () { delete blobs[url]; });
    }
    return blobs[url];
  }

  function Player(target, options) {
    var element = typeof target === 'string' ? document.getElementById(target) : target;
    if (!element || !element.parentNode) {
      throw new Error('YT.Player: no element ' + target);
    }
    options = options || {};
    // Counted, so that a test can tell that a page built exactly one player.
    window.__standinPlayers = (window.__standinPlayers || 0) + 1;
    this._events = options.events || {};
    this._playerVars = options.playerVars || {};
    this._placeholder = element;
    this._video = null;
    this._state = State.UNSTARTED;
    this._videoId = '';
    this._list = null;
    this._listId = '';
    this._index = -1;
    this._volume = 100;
    this._muted = false;
    this._pendingSeek = null;
    this._playWhenLoaded = false;
    this._attach();

    var self = this;
    if (!config().neverReady) {
      var delay = Number(config().readyDelayMs);
      window.setTimeout(function () { self._fire('onReady'); }, isFinite(delay) ? delay : 50);
    }
  }

  Player.prototype._fire = function (name, data) {
    var handler = this._events[name];
    if (typeof handler === 'string') {
      handler = window[handler];
    }
    if (typeof handler === 'function') {
      handler({ target: this, data: data });
    }
  };

  // Events go out asynchronously, as YouTube's do (they cross frames by postMessage), but the
  // state the getters report changes at once.
  Player.prototype._setState = function (state) {
    if (state === this._state) {
      return;
    }
    this._state = state;
    var self = this;
    later(function () { self._fire('onStateChange', state); });
  };

  Player.prototype._raise = function (code) {
    var self = this;
    later(function () { self._fire('onError', code); });
  };

  // Each entry gets a fresh element, so that events of the previous media (its pause on being
  // replaced, a late "ended") cannot leak into the new one.
  Player.prototype._attach = function () {
    var old = this._video || this._placeholder;
    var video = document.createElement('video');
    video.id = old.id;
    video.className = old.className;
    video.setAttribute('playsinline', '');
    video.preload = 'auto';
    video.controls = false;
    video.style.background = '#000';
    video.style.objectFit = 'contain';
    video.volume = this._volume / 100;
    video.muted = this._muted;
    if (old.parentNode) {
      old.parentNode.replaceChild(video, old);
    }
    if (this._video) {
      this._video.removeAttribute('src');
      this._video.load();
    }
    this._video = video;

    var self = this;
    function current() {
      return self._video === video;
    }
    video.addEventListener('loadedmetadata', function () {
      if (current() && self._pendingSeek !== null) {
        var target = self._pendingSeek;
        self._pendingSeek = null;
        if (isFinite(video.duration)) {
          target = Math.min(target, video.duration);
        }
        video.currentTime = target;
      }
    });
    video.addEventListener('playing', function () {
      if (current()) {
        self._setState(State.PLAYING);
      }
    });
    video.addEventListener('waiting', function () {
      if (current() && !video.paused) {
        self._setState(State.BUFFERING);
      }
    });
    video.addEventListener('pause', function () {
      if (current() && !video.ended && self._state !== State.CUED) {
        self._setState(State.PAUSED);
      }
    });
    video.addEventListener('ended', function () {
      if (current()) {
        self._ended();
      }
    });
    video.addEventListener('error', function () {
      if (current()) {
        console.error('stand-in: media error ' + (video.error && video.error.code) + ' for ' +
                      video.currentSrc);
        self._raise(HTML5_ERROR);
      }
    });
    return video;
  };

  Player.prototype._open = function (videoId, startSeconds, autoplay) {
    this._videoId = videoId;
    var start = Number(startSeconds);
    this._pendingSeek = isFinite(start) && start > 0 ? start : null;
    var code = lookup('errorFor', videoId);
    var url = lookup('videos', videoId);
    if (code === undefined && typeof url !== 'string') {
      code = NOT_FOUND;
    }
    this._setState(State.UNSTARTED);
    var video = this._attach();
    if (code !== undefined) {
      this._raise(Number(code));
      return;
    }
    this._playWhenLoaded = autoplay;
    this._setState(autoplay ? State.BUFFERING : State.CUED);
    var self = this;
    mediaSource(url).then(function (source) {
      if (self._video !== video) {
        return;
      }
      video.src = source;
      if (self._playWhenLoaded) {
        self._play(video);
      }
    }, function (error) {
      if (self._video === video) {
        console.error('stand-in: cannot fetch ' + url + ': ' + error);
        self._raise(HTML5_ERROR);
      }
    });
  };

  Player.prototype._play = function (video) {
    var self = this;
    var promise = video.play();
    if (promise && typeof promise.catch === 'function') {
      promise.catch(function (error) {
        if (self._video === video) {
          console.error('stand-in: play() refused: ' + error);
        }
      });
    }
  };

  Player.prototype._openEntry = function (index, startSeconds, autoplay) {
    this._index = index;
    this._open(this._list[index], startSeconds, autoplay);
  };

  Player.prototype._ended = function () {
    this._setState(State.ENDED);
    if (this._list && this._index < this._list.length - 1) {
      var self = this;
      var next = this._index + 1;
      later(function () { self._openEntry(next, 0, true); });
    }
  };

  Player.prototype._loadList = function (args, autoplay) {
    var list = args[0];
    var index = args[1];
    var start = args[2];
    var listId = '';
    if (list && typeof list === 'object' && !Array.isArray(list)) {
      index = list.index;
      start = list.startSeconds;
      list = list.list;
    }
    if (typeof list === 'string' && Array.isArray(lookup('playlists', list))) {
      listId = list;
      list = lookup('playlists', list);
    } else if (typeof list === 'string') {
      // A list the stand-in does not know: YouTube would not find it either.
      this._list = null;
      this._listId = '';
      this._index = -1;
      this._videoId = '';
      this._setState(State.UNSTARTED);
      this._raise(NOT_FOUND);
      return;
    }
    if (!Array.isArray(list) || list.length === 0) {
      return;
    }
    this._list = list.slice();
    this._listId = listId;
    var i = Math.floor(Number(index));
    i = isFinite(i) ? Math.min(Math.max(i, 0), this._list.length - 1) : 0;
    this._openEntry(i, start, autoplay);
  };

  Player.prototype._loadVideo = function (args, autoplay) {
    var id = args[0];
    var start = args[1];
    if (id && typeof id === 'object') {
      start = id.startSeconds;
      id = id.videoId;
    }
    this._list = null;
    this._listId = '';
    this._index = -1;
    this._open(String(id), start, autoplay);
  };

  Player.prototype.loadVideoById = function () { this._loadVideo(arguments, true); };
  Player.prototype.cueVideoById = function () { this._loadVideo(arguments, false); };
  Player.prototype.loadPlaylist = function () { this._loadList(arguments, true); };
  Player.prototype.cuePlaylist = function () { this._loadList(arguments, false); };

  Player.prototype.playVideo = function () {
    var video = this._video;
    if (!video || !this._videoId) {
      return;
    }
    this._playWhenLoaded = true;
    if (!video.src) {
      this._setState(State.BUFFERING);
      return;
    }
    if (video.ended) {
      video.currentTime = 0;
    }
    if (this._state === State.CUED) {
      this._setState(State.BUFFERING);
    }
    this._play(video);
  };

  Player.prototype.pauseVideo = function () {
    this._playWhenLoaded = false;
    if (!this._video) {
      return;
    }
    if (!this._video.src && this._state === State.BUFFERING) {
      this._setState(State.PAUSED);
    }
    this._video.pause();
  };

  Player.prototype.stopVideo = function () {
    this._playWhenLoaded = false;
    if (this._video) {
      this._video.pause();
    }
    this._setState(State.CUED);
  };

  Player.prototype.seekTo = function (seconds) {
    var target = Math.max(0, Number(seconds) || 0);
    var video = this._video;
    if (!video) {
      return;
    }
    if (video.readyState < 1) {
      this._pendingSeek = target;
      return;
    }
    if (isFinite(video.duration)) {
      target = Math.min(target, video.duration);
    }
    video.currentTime = target;
  };

  Player.prototype.nextVideo = function () {
    if (this._list && this._index < this._list.length - 1) {
      this._openEntry(this._index + 1, 0, true);
    }
  };

  Player.prototype.previousVideo = function () {
    if (this._list && this._index > 0) {
      this._openEntry(this._index - 1, 0, true);
    }
  };

  Player.prototype.playVideoAt = function (index) {
    var i = Math.floor(Number(index));
    if (this._list && i >= 0 && i < this._list.length) {
      this._openEntry(i, 0, true);
    }
  };

  Player.prototype.setVolume = function (volume) {
    var v = Math.min(100, Math.max(0, Number(volume) || 0));
    this._volume = v;
    if (this._video) {
      this._video.volume = v / 100;
    }
  };

  Player.prototype.getVolume = function () { return this._volume; };

  // The rates YouTube offers most videos; each new entry starts at 1, as YouTube's do.
  Player.prototype.getAvailablePlaybackRates = function () {
    return [0.25, 0.5, 0.75, 1, 1.25, 1.5, 1.75, 2];
  };
  Player.prototype.getPlaybackRate = function () {
    return this._video ? this._video.playbackRate : 1;
  };
  Player.prototype.setPlaybackRate = function (rate) {
    var value = Number(rate);
    if (this._video && this.getAvailablePlaybackRates().indexOf(value) >= 0) {
      this._video.playbackRate = value;
    }
  };

  Player.prototype.mute = function () {
    this._muted = true;
    if (this._video) {
      this._video.muted = true;
    }
  };

  Player.prototype.unMute = function () {
    this._muted = false;
    if (this._video) {
      this._video.muted = false;
    }
  };

  Player.prototype.isMuted = function () { return this._muted; };

  Player.prototype.getPlayerState = function () { return this._state; };

  Player.prototype.getCurrentTime = function () {
    return this._video ? this._video.currentTime || 0 : 0;
  };

  Player.prototype.getDuration = function () {
    var d = this._video ? this._video.duration : NaN;
    return isFinite(d) ? d : 0;
  };

  Player.prototype.getVideoData = function () {
    var title = lookup('titles', this._videoId);
    return {
      video_id: this._videoId,
      title: typeof title === 'string' ? title : this._videoId ? 'Stand-in ' + this._videoId : '',
      author: ''
    };
  };

  Player.prototype.getPlaylist = function () { return this._list ? this._list.slice() : null; };
  Player.prototype.getPlaylistIndex = function () { return this._list ? this._index : -1; };
  Player.prototype.getPlaylistId = function () { return this._listId || null; };
  Player.prototype.getIframe = function () { return this._video; };

  Player.prototype.destroy = function () {
    if (this._video) {
      this._video.removeAttribute('src');
      this._video.load();
    }
    this._events = {};
  };

  function install() {
    window.YT = { Player: Player, PlayerState: State, loaded: 1 };
    window.YT.ready = function (fn) {
      if (document.readyState === 'loading') {
        document.addEventListener('DOMContentLoaded', fn);
      } else {
        later(fn);
      }
    };
  }

  if (!config().deferApi) {
    install();
  }
  // YouTube's loader announces itself through this callback, also to a page that already built
  // its player from an injected YT; such a page must not build a second one.
  document.addEventListener('DOMContentLoaded', function () {
    if (config().deferApi) {
      install();
    }
    if (typeof window.onYouTubeIframeAPIReady === 'function') {
      window.onYouTubeIframeAPIReady();
    }
  });
})();
