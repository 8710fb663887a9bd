// Quiv demo web application: the player. Its state is the <audio> element's
// own (paused, ended, currentTime, volume, muted); only the queue, shuffle and
// repeat are kept here.
(function (window, $) {
    'use strict';

    var Q = window.Q;

    // Raw play states as the desktop client reads them (it adds one to each):
    //   -1 no track loaded
    //    0 paused part-way through a track
    //    1 playing
    //    2 stopped: a track is loaded at its start and was not started, or was stopped
    //    3 buffering: asked to play, waiting for data
    //    4 inactive: the queue played to its end
    var PlayState = { NONE: -1, PAUSED: 0, PLAYING: 1, STOPPED: 2, BUFFERING: 3, INACTIVE: 4 };
    // Repeat modes, the same numbers on both sides: none, the track, the queue.
    var Repeat = { NONE: 0, ONE: 1, ALL: 2 };
    // The '.repeat' control steps through these.
    var repeatCycle = [Repeat.NONE, Repeat.ALL, Repeat.ONE];
    var RESTART_THRESHOLD = 3; // seconds after which "previous" restarts the track

    function Player(audio) {
        this.audio = audio;
        this.queue = []; // catalogue tracks
        this.index = -1;
        this.track = null; // Q.Model of the loaded track
        this.source = null; // Q.Model of what was asked to play
        this.station = null; // the station being played, as listed in Q.stationList
        this.history = []; // indices played, for "previous" while shuffling
        this.shuffleOn = false;
        this.repeatMode = Repeat.NONE;
        this.reported = { state: PlayState.NONE, second: -1, muted: audio.muted };
        // Tells a stopped track from a paused one; whether anything plays is
        // always read from the element.
        this.stoppedAtStart = false;

        var self = this;
        $(audio).on('play playing pause waiting emptied loadstart loadeddata canplay stalled error', function () {
            self._reportState();
        });
        // Move on before reporting, so the client never sees a passing "inactive".
        $(audio).on('ended', function () {
            self._onEnded();
            self._reportState();
        });
        $(audio).on('timeupdate', function () { self._reportPosition(false); });
        $(audio).on('seeked', function () { self._reportPosition(true); });
        $(audio).on('volumechange', function () { self._onVolumeChange(); });
    }

    Player.PlayState = PlayState;
    Player.Repeat = Repeat;

    Player.prototype.playState = function () {
        var audio = this.audio;
        if (!this.track) {
            return PlayState.NONE;
        }
        if (audio.ended) {
            return PlayState.INACTIVE;
        }
        if (!audio.paused) {
            return audio.readyState < audio.HAVE_FUTURE_DATA ? PlayState.BUFFERING : PlayState.PLAYING;
        }
        return this.stoppedAtStart && audio.currentTime === 0 ? PlayState.STOPPED : PlayState.PAUSED;
    };

    Player.prototype.isPlaying = function () {
        var state = this.playState();
        return state === PlayState.PLAYING || state === PlayState.BUFFERING;
    };

    // position(): whole seconds into the track; position(n): seek to n seconds.
    Player.prototype.position = function (seconds) {
        if (arguments.length === 0) {
            return this.track ? Math.floor(this.audio.currentTime || 0) : 0;
        }
        var target = Number(seconds);
        if (!this.track || !isFinite(target)) {
            return undefined;
        }
        var end = this.track.get('duration');
        this.audio.currentTime = Math.min(Math.max(0, target), end > 0 ? end : 0);
        return undefined;
    };

    // volume(): 0.0 to 1.0; volume(x) sets it, clamped.
    Player.prototype.volume = function (level) {
        if (arguments.length === 0) {
            return this.audio.volume;
        }
        var value = Number(level);
        if (typeof level === 'boolean' || level === null || level === '' || !isFinite(value)) {
            return undefined;
        }
        this.audio.volume = Math.min(Math.max(0, value), 1);
        return undefined;
    };

    Player.prototype.mute = function (muted) {
        if (arguments.length === 0) {
            return this.audio.muted;
        }
        if (typeof muted === 'boolean') {
            this.audio.muted = muted;
        }
        return undefined;
    };

    Player.prototype.shuffle = function (on) {
        if (arguments.length === 0) {
            return this.shuffleOn;
        }
        if (typeof on !== 'boolean' || on === this.shuffleOn) {
            return undefined;
        }
        this.shuffleOn = on;
        this.history = [];
        Q.native.desktop('onShuffleChanged');
        Q.native.player('onShuffleChanged', on);
        $(window).trigger('quiv:player');
        return undefined;
    };

    Player.prototype.repeat = function (mode) {
        if (arguments.length === 0) {
            return this.repeatMode;
        }
        var value = Number(mode);
        if (typeof mode === 'boolean' || [Repeat.NONE, Repeat.ONE, Repeat.ALL].indexOf(value) === -1 ||
            value === this.repeatMode) {
            return undefined;
        }
        this.repeatMode = value;
        Q.native.desktop('onRepeatChanged');
        Q.native.player('onRepeatChanged', value);
        $(window).trigger('quiv:player');
        return undefined;
    };

    Player.prototype.cycleRepeat = function () {
        var next = repeatCycle[(repeatCycle.indexOf(this.repeatMode) + 1) % repeatCycle.length];
        this.repeat(next);
    };

    Player.prototype.togglePause = function () {
        if (!this.track) {
            return;
        }
        if (this.audio.paused || this.audio.ended) {
            this._startAudio();
        } else {
            this.audio.pause();
        }
        this._reportState();
    };

    Player.prototype.pause = function () {
        if (this.track && !this.audio.paused) {
            this.audio.pause();
            this._reportState();
        }
    };

    // play({'source': key}) with a track, album, artist or station key; an
    // optional 'index' starts an album or station at that track. Signed-out
    // visitors cannot play.
    Player.prototype.play = function (options) {
        var key = options && typeof options === 'object' ? options.source : undefined;
        var kind = Q.kindOfKey(key);
        if (!kind || !Q.currentUser) {
            return false;
        }
        var item = Q.lookup(key);
        var queue;
        var start = 0;
        if (kind === 'track') {
            queue = Q.albumTracks(Q.lookup(item.albumKey, 'a'));
            start = Math.max(0, queue.indexOf(item));
        } else if (kind === 'album') {
            queue = Q.albumTracks(item);
        } else if (kind === 'artist') {
            queue = Q.artistTracks(key);
        } else {
            queue = Q.albumTracks(item);
        }
        if (queue.length === 0) {
            return false;
        }
        var index = Number(options.index);
        if (kind !== 'track' && Number.isInteger(index) && index >= 0 && index < queue.length) {
            start = index;
        }
        this.queue = queue;
        this.history = [];
        this.source = new Q.Model({ key: key, type: kind, name: item.name, url: item.url || '' });
        Q.native.player('onPlayingSourceChanged');
        this._setStation(kind === 'station' ? key : null);
        this._load(start, true);
        return true;
    };

    Player.prototype.next = function () {
        if (!this.track) {
            return false;
        }
        var index = this._nextIndex();
        if (index === -1) {
            return false;
        }
        this.history.push(this.index);
        this._load(index, this.isPlaying() || this.audio.ended);
        return true;
    };

    Player.prototype.previous = function () {
        if (!this.track) {
            return false;
        }
        var playing = this.isPlaying();
        if (this.audio.currentTime > RESTART_THRESHOLD || this.queue.length < 2) {
            this.audio.currentTime = 0;
            return true;
        }
        var index;
        if (this.shuffleOn && this.history.length) {
            index = this.history.pop();
        } else if (this.index > 0) {
            index = this.index - 1;
        } else if (this.repeatMode === Repeat.ALL) {
            index = this.queue.length - 1;
        } else {
            this.audio.currentTime = 0;
            return true;
        }
        this._load(index, playing);
        return true;
    };

    Player.prototype.playingTrack = function () {
        return this.track;
    };

    Player.prototype.playingSource = function () {
        return this.source;
    };

    // The demo has no other devices: this page is the account's player as soon
    // as it has a track.
    Player.prototype.isMaster = function () {
        return !!this.track;
    };
    Player.prototype.isNotMaster = function () {
        return false;
    };
    Player.prototype.noKnownMaster = function () {
        return !this.track;
    };

    // Stops and forgets the queue (sign-out).
    Player.prototype.unload = function () {
        var hadTrack = !!this.track;
        this.audio.pause();
        this.audio.removeAttribute('src');
        this.audio.load();
        this.queue = [];
        this.index = -1;
        this.track = null;
        this.source = null;
        this._setStation(null);
        if (hadTrack) {
            Q.native.desktop('onPlayingTrackChanged');
            Q.native.player('onPlayingTrackChanged');
        }
        this._reportState();
        $(window).trigger('quiv:player');
    };

    // Stops playback where it is and rewinds the track (turning a station off).
    Player.prototype.stop = function () {
        if (!this.track) {
            return;
        }
        this.audio.pause();
        this.audio.currentTime = 0;
        this.stoppedAtStart = true;
        this.source = null;
        this._setStation(null);
        this._reportState();
    };

    Player.prototype.stationKey = function () {
        return this.station ? this.station.key : null;
    };

    Player.prototype._setStation = function (key) {
        var station = null;
        if (key) {
            Q.stationList.forEach(function (item) {
                if (item.key === key) {
                    station = item;
                }
            });
        }
        if ((station && station.key) === (this.station && this.station.key)) {
            return;
        }
        this.station = station;
        Q.native.player('onStationChanged', station ? $.extend(true, {}, station) : null);
        $(window).trigger('quiv:player');
    };

    Player.prototype._nextIndex = function () {
        var count = this.queue.length;
        if (this.shuffleOn && count > 1) {
            var pick = Math.floor(Math.random() * (count - 1));
            return pick >= this.index ? pick + 1 : pick;
        }
        if (this.index + 1 < count) {
            return this.index + 1;
        }
        return this.repeatMode === Repeat.ALL ? 0 : -1;
    };

    Player.prototype._load = function (index, autoplay) {
        var track = this.queue[index];
        this.index = index;
        this.track = new Q.Model({
            name: track.name,
            key: track.key,
            id: track.id,
            artist: track.artist,
            artistKey: track.artistKey,
            album: track.album,
            albumKey: track.albumKey,
            url: track.url,
            artistUrl: track.artistUrl,
            albumUrl: track.albumUrl,
            baseIcon: track.baseIcon,
            icon: Q.serverInfo.get('is_address') + '?m=' + encodeURIComponent(track.baseIcon) + '&w=200&h=200',
            duration: track.duration,
            trackNum: track.trackNum,
            canStream: true
        });
        this.audio.src = track.audioUrl;
        this.stoppedAtStart = true;
        this.reported.second = -1;
        Q.native.desktop('onPlayingTrackChanged');
        Q.native.player('onPlayingTrackChanged');
        if (autoplay) {
            this._startAudio();
        }
        this._reportState();
        this._reportPosition(true);
        $(window).trigger('quiv:player');
    };

    Player.prototype._startAudio = function () {
        var self = this;
        this.stoppedAtStart = false;
        var started = this.audio.play();
        if (started && typeof started.catch === 'function') {
            started.catch(function (error) {
                // A browser that wants a click first, or a load that was replaced.
                if (error && error.name === 'NotAllowedError') {
                    Q.toast('Press play to start listening.');
                }
                self._reportState();
            });
        }
    };

    Player.prototype._onEnded = function () {
        if (this.repeatMode === Repeat.ONE) {
            this.audio.currentTime = 0;
            this._startAudio();
            return;
        }
        var index = this._nextIndex();
        if (index !== -1) {
            this.history.push(this.index);
            this._load(index, true);
        }
    };

    Player.prototype._reportState = function () {
        var state = this.playState();
        if (state !== this.reported.state) {
            this.reported.state = state;
            Q.native.desktop('onPlayStateChanged');
            if (state >= 0) {
                Q.native.player('onPlayStateChanged', state);
            }
        }
        $(window).trigger('quiv:state');
    };

    // About once a second while playing, and after every seek.
    Player.prototype._reportPosition = function (always) {
        if (!this.track) {
            return;
        }
        var second = Math.floor(this.audio.currentTime || 0);
        if (!always && second === this.reported.second) {
            return;
        }
        this.reported.second = second;
        // Both bridges hear the position as a fraction of the track.
        var end = this.track.get('duration');
        var fraction = end > 0 ? Math.min(Math.max((this.audio.currentTime || 0) / end, 0), 1) : 0;
        Q.native.desktop('onPositionChanged');
        Q.native.player('onPositionChanged', fraction);
        $(window).trigger('quiv:position');
    };

    Player.prototype._onVolumeChange = function () {
        Q.native.desktop('onVolumeChanged');
        Q.native.player('onVolumeChanged', this.audio.volume);
        if (this.audio.muted !== this.reported.muted) {
            this.reported.muted = this.audio.muted;
            Q.native.player('onMuteChanged', this.audio.muted);
        }
        $(window).trigger('quiv:volume');
    };

    Q.Player = Player;
    // The element need not be in the document to play; creating it here lets
    // Q.player exist before the page body is parsed.
    var audio = document.createElement('audio');
    audio.preload = 'auto';
    Q.player = new Player(audio);

    // Station switching as the desktop client's station menu does it: a
    // station object (as in Q.stationList) plays it, null turns stations off.
    window.setStation = function (station) {
        if (station === null || station === undefined) {
            if (Q.player.stationKey()) {
                Q.player.stop();
            }
            return true;
        }
        var key = station && typeof station === 'object' ? station.key : station;
        if (Q.kindOfKey(key) !== 'station') {
            return false;
        }
        return Q.player.play({ source: key });
    };
})(window, jQuery);
