// Test page for the native bridge: calls native objects before the channel is
// up, and fires bursts of calls on demand.
(function () {
  'use strict';
  window.quivTest = {
    value: -1,
    label: 'bridge',
    early: [],
    // One burst of n calls; the value changes with each call.
    fire: function (n) {
      for (var i = 0; i < n; i++) {
        window.quivTest.value = i;
        window.TestScriptObject.ping(i);
      }
      return n;
    },
    // Keeps the renderer busy for ms milliseconds, starting after this call returns.
    hang: function (ms) {
      setTimeout(function () {
        var end = Date.now() + ms;
        while (Date.now() < end) { }
      }, 0);
      return ms;
    }
  };
  // A bare player for native commands: it records what it is told.
  var track = { name: 'Test Song', key: 't1', artist: 'Tester', album: 'Tests', duration: 300, baseIcon: '' };
  window.Q = {
    player: {
      pauses: 0,
      positions: [],
      playState: function () { return 1; },
      repeat: function () { return 0; },
      shuffle: function () { return false; },
      volume: function () { return 0.5; },
      position: function (seconds) {
        if (arguments.length === 0) { return 0; }
        this.positions.push(seconds);
        return undefined;
      },
      pause: function () { this.pauses++; },
      isMaster: function () { return true; },
      playingTrack: function () { return { get: function (key) { return track[key]; } }; }
    }
  };
  // At document start, before the web channel's handshake.
  if (window.TestScriptObject) {
    window.TestScriptObject.ping('early-1');
    window.TestScriptObject.ping('early-2', 2, true, null, {k: 'v'}, [1, 'two']);
  }
})();
